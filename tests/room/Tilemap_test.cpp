// Tilemap cells: the cell bits, range-checked reads and writes, and pixel to cell on a 16 x 16
// tile set.
#include <gtest/gtest.h>

#include "room/Layer_Manager.h"
#include "room/Layer_Tilemap.h"

namespace {

TEST(TileCells, BitsAndIndex) {
    const TileCell mirrored5 = 5 | kTileMirrorBit;
    EXPECT_EQ(TileCell_SetIndex(mirrored5, 7), 7u | kTileMirrorBit);
    // A larger index spills into the unused bits and reads back as its low 19 bits.
    const TileCell spilled = TileCell_SetIndex(mirrored5, 0x80001);
    EXPECT_EQ(spilled & (1u << 19), 1u << 19);
    EXPECT_EQ(TileCell_GetIndex(spilled), 1u);
    EXPECT_TRUE(TileCell_IsEmpty(TileCell_SetEmpty(spilled)));
    const TileCell all = TileCell_SetBit(
        TileCell_SetBit(TileCell_SetBit(9, kTileMirrorBit, true), kTileFlipBit, true), kTileRotateBit, true);
    EXPECT_EQ(all, 9u | 0x70000000u);
    EXPECT_TRUE(TileCell_GetBit(all, kTileRotateBit));
    EXPECT_EQ(TileCell_GetIndex(all), 9u);
    EXPECT_EQ(TileCell_SetBit(all, kTileFlipBit, false), 9u | kTileMirrorBit | kTileRotateBit);
    // Bit 31 is cleared by the default masks when drawn.
    EXPECT_EQ(TileCell_Masked(0x80000001u | kTileFlipBit, kTileDefaultMask), 1u | kTileFlipBit);
    EXPECT_EQ(TileCell_Masked(all, 0), 0u);
}

class TilemapCells : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Tilemap_AllocateCells(&tilemap, 4, 3));
        tilemap.width = 4;
        tilemap.height = 3;
    }
    void TearDown() override { Tilemap_FreeCells(&tilemap); }

    LayerTilemapElement tilemap;
    CLayer layer;
};

TEST_F(TilemapCells, ReadsAndWritesWithRangeChecks) {
    struct Case {
        int32_t x, y;
        TilemapCellStatus status;
    };
    const Case cases[] = {
        {0, 0, TILEMAP_CELL_OK},          {3, 2, TILEMAP_CELL_OK},          {-1, 0, TILEMAP_CELL_X_NEGATIVE},
        {4, 0, TILEMAP_CELL_X_TOO_LARGE}, {0, -1, TILEMAP_CELL_Y_NEGATIVE}, {0, 3, TILEMAP_CELL_Y_TOO_LARGE},
    };
    const TileCell data = 3 | kTileMirrorBit | kTileFlipBit | kTileRotateBit;
    for (const Case& c : cases) {
        EXPECT_EQ(Tilemap_SetCell(&tilemap, data, c.x, c.y, 10), c.status) << c.x << "," << c.y;
        TileCell out = 0;
        EXPECT_EQ(Tilemap_GetCell(&tilemap, c.x, c.y, &out), c.status);
        if (c.status == TILEMAP_CELL_OK) {
            EXPECT_EQ(out, data);
        }
    }
    EXPECT_EQ(tilemap.cells[3 + 2 * 4], data);  // row by row

    // The index is tested against the tile count; without a tile set it is not.
    EXPECT_EQ(Tilemap_SetCell(&tilemap, 10, 1, 1, 10), TILEMAP_CELL_BAD_INDEX);
    EXPECT_EQ(Tilemap_SetCell(&tilemap, 9, 1, 1, 10), TILEMAP_CELL_OK);
    EXPECT_EQ(Tilemap_SetCell(&tilemap, 500, 1, 1, -1), TILEMAP_CELL_OK);
    // Bit 31 reads back unsigned.
    Tilemap_SetCell(&tilemap, 0x80000001u, 2, 1, -1);
    TileCell out = 0;
    Tilemap_GetCell(&tilemap, 2, 1, &out);
    EXPECT_EQ(static_cast<double>(out), 2147483649.0);

    EXPECT_TRUE(Tilemap_Clear(&tilemap, 0));
    for (int32_t i = 0; i < 12; ++i) EXPECT_EQ(tilemap.cells[i], 0u);

    LayerTilemapElement corrupted;
    EXPECT_EQ(Tilemap_GetCell(&corrupted, 0, 0, &out), TILEMAP_CELL_NO_CELLS);
    EXPECT_FALSE(Tilemap_Clear(&corrupted, 1));
    EXPECT_FALSE(Tilemap_AllocateCells(&corrupted, 0x10000, 0x10000));
    EXPECT_FALSE(Tilemap_AllocateCells(&corrupted, -1, 4));
}

TEST_F(TilemapCells, PixelToCellOnSixteenPixelTiles) {
    layer.x = 100.0f;
    tilemap.x = 32.0f;  // the first column starts at 132
    struct Case {
        float x, y;
        bool inside;
        int32_t column, row;
    };
    const Case cases[] = {
        {132.0f, 0.0f, true, 0, 0},   {147.99f, 15.99f, true, 0, 0}, {148.0f, 16.0f, true, 1, 1},
        {195.9f, 47.9f, true, 3, 2},  {196.0f, 0.0f, false, 0, 0},   {131.99f, 0.0f, false, 0, 0},
        {140.0f, 48.0f, false, 0, 0}, {140.0f, -0.01f, false, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t column = -1, row = -1;
        EXPECT_EQ(Tilemap_PixelToCell(&tilemap, &layer, 16, 16, c.x, c.y, &column, &row), c.inside)
            << c.x << "," << c.y;
        if (!c.inside) continue;
        EXPECT_EQ(column, c.column) << c.x;
        EXPECT_EQ(row, c.row) << c.y;
    }
    // No tile size or no layer: nothing is under the pixel.
    int32_t column = 0, row = 0;
    EXPECT_FALSE(Tilemap_PixelToCell(&tilemap, &layer, 0, 16, 140.0f, 0.0f, &column, &row));
    EXPECT_FALSE(Tilemap_PixelToCell(&tilemap, nullptr, 16, 16, 140.0f, 0.0f, &column, &row));

    column = 9;
    row = -2;
    Tilemap_ClampCell(&tilemap, &column, &row);
    EXPECT_EQ(column, 3);
    EXPECT_EQ(row, 0);
}

}  // namespace
