// Tilemap cells: allocation, range-checked reads and writes, and the pixel to cell mapping.
#include "room/Layer_Tilemap.h"

#include <cmath>

#include "assets/Background_Main.h"
#include "core/MemoryManager.h"

namespace {

// The memory manager takes 32-bit sizes; a map whose cells would not fit is refused.
constexpr uint64_t kMaxCellBytes = 0xFFFFFFF0u;

}  // namespace

bool TileSet_Get(int32_t tileSet, TileSetInfo* out) {
    if (!Background_Exists(tileSet)) return false;
    const CBackground* background = Background_Get(tileSet);
    if (background == nullptr) return false;
    const BackgroundTileSet& set = background->GetTileSet();
    if (out != nullptr) {
        out->tileWidth = set.tileWidth;
        out->tileHeight = set.tileHeight;
        out->tileCount = set.tileCount;
        out->framesPerTile = set.framesPerTile;
        out->frameTime = set.frameTime;
    }
    return true;
}

bool Tilemap_AllocateCells(LayerTilemapElement* tilemap, int32_t width, int32_t height) {
    if (tilemap == nullptr) return false;
    Tilemap_FreeCells(tilemap);
    if (width < 0 || height < 0) return false;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * sizeof(TileCell);
    if (bytes > kMaxCellBytes) return false;
    // A map of no cells still gets a block, so it does not read as corrupted.
    tilemap->cells = static_cast<TileCell*>(MEM_ALLOC(bytes > 0 ? bytes : sizeof(TileCell)));
    tilemap->cellsInGameData = false;
    return true;
}

void Tilemap_FreeCells(LayerTilemapElement* tilemap) {
    if (tilemap == nullptr) return;
    if (!tilemap->cellsInGameData) MEM_FREE(tilemap->cells);
    tilemap->cells = nullptr;
    tilemap->cellsInGameData = false;
}

namespace {

TilemapCellStatus CheckCell(const LayerTilemapElement* tilemap, int32_t x, int32_t y) {
    if (tilemap == nullptr || tilemap->cells == nullptr) return TILEMAP_CELL_NO_CELLS;
    if (x < 0) return TILEMAP_CELL_X_NEGATIVE;
    if (x >= tilemap->width) return TILEMAP_CELL_X_TOO_LARGE;
    if (y < 0) return TILEMAP_CELL_Y_NEGATIVE;
    if (y >= tilemap->height) return TILEMAP_CELL_Y_TOO_LARGE;
    return TILEMAP_CELL_OK;
}

size_t CellIndex(const LayerTilemapElement* tilemap, int32_t x, int32_t y) {
    return static_cast<size_t>(x) + static_cast<size_t>(y) * static_cast<size_t>(tilemap->width);
}

}  // namespace

TilemapCellStatus Tilemap_GetCell(const LayerTilemapElement* tilemap, int32_t x, int32_t y, TileCell* out) {
    const TilemapCellStatus status = CheckCell(tilemap, x, y);
    if (status == TILEMAP_CELL_OK && out != nullptr) *out = tilemap->cells[CellIndex(tilemap, x, y)];
    return status;
}

TilemapCellStatus Tilemap_SetCell(LayerTilemapElement* tilemap, TileCell data, int32_t x, int32_t y,
                                  int32_t tileCount) {
    const TilemapCellStatus status = CheckCell(tilemap, x, y);
    if (status != TILEMAP_CELL_OK) return status;
    if (tileCount >= 0 && TileCell_GetIndex(data) >= static_cast<uint32_t>(tileCount))
        return TILEMAP_CELL_BAD_INDEX;
    tilemap->cells[CellIndex(tilemap, x, y)] = data;
    return TILEMAP_CELL_OK;
}

bool Tilemap_Clear(LayerTilemapElement* tilemap, TileCell data) {
    if (tilemap == nullptr || tilemap->cells == nullptr) return false;
    if (tilemap->width <= 0 || tilemap->height <= 0) return true;
    const size_t count = static_cast<size_t>(tilemap->width) * static_cast<size_t>(tilemap->height);
    for (size_t i = 0; i < count; ++i) tilemap->cells[i] = data;
    return true;
}

bool Tilemap_PixelToCell(const LayerTilemapElement* tilemap, const CLayer* layer, int32_t tileWidth,
                         int32_t tileHeight, float x, float y, int32_t* column, int32_t* row) {
    if (tilemap == nullptr || layer == nullptr || tileWidth <= 0 || tileHeight <= 0) return false;
    const float mapX = tilemap->x + layer->x;
    const float mapY = tilemap->y + layer->y;
    const float px = x - mapX;
    const float py = y - mapY;
    const float right = static_cast<float>(tileWidth * static_cast<double>(tilemap->width));
    const float bottom = static_cast<float>(tileHeight * static_cast<double>(tilemap->height));
    // NaN fails every comparison below, so it is tested on its own.
    if (std::isnan(px) || std::isnan(py)) return false;
    if (px < 0.0f || px >= right || py < 0.0f || py >= bottom) return false;
    const float invWidth = static_cast<float>(1.0 / tileWidth);
    const float invHeight = static_cast<float>(1.0 / tileHeight);
    const float columnF = std::floor(px * invWidth);
    const float rowF = std::floor(py * invHeight);
    if (column != nullptr) *column = static_cast<int32_t>(columnF);
    if (row != nullptr) *row = static_cast<int32_t>(rowF);
    return true;
}

void Tilemap_ClampCell(const LayerTilemapElement* tilemap, int32_t* column, int32_t* row) {
    if (tilemap == nullptr) return;
    auto clamp = [](int32_t* v, int32_t size) {
        if (v == nullptr) return;
        if (*v > size - 1) *v = size - 1;
        if (*v < 0) *v = 0;
    };
    clamp(column, tilemap->width);
    clamp(row, tilemap->height);
}
