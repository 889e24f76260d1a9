// Tilemaps drawn off-screen on the GL device: exact tile pixels with mirror, flip and rotate,
// cells the tile table cannot answer skipped, and only the view's range of cells sent.
#include "assets/Background_Main.h"
#include "assets/SpriteDrawSupport.h"
#include "graphics/GPUState.h"
#include "room/Layer_Tilemap.h"
#include "room/Room_LayerDraw.h"
#include "base/GEN8.h"

using namespace spritetest;

namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu,
                   kBlack = 0xFF000000u;

// An 8 x 4 page of two 4 x 4 tiles: tile 0 grey filler, tile 1 in quadrants red, green (top),
// blue, white (bottom). Background 0 is the tile set: tile index 1 shows tile number 1.
formpack::FormFile TileSetFile() {
    std::vector<uint32_t> page(8 * 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int qx = (x - 4) / 2, qy = y / 2;
            const uint32_t quadrant[4] = {0xFF0000FFu, 0x00FF00FFu, 0x0000FFFFu, 0xFFFFFFFFu};  // RGBA
            page[y * 8 + x] = x < 4 ? 0x808080FFu : quadrant[qy * 2 + qx];
        }
    }
    formpack::FormFile file = SpriteFile({}, {{0, 0, 8, 4, 0, 0, 8, 4, 8, 4, 0}}, 2);
    file.sprites.reset();
    file.textures = std::vector<formpack::TexturePage>{{0, RawBlob(8, 4, page)}};
    formpack::Background set;
    set.name = "ts_quadrants";
    set.pageEntry = 0;
    formpack::BackgroundTileSet t;
    t.tileWidth = 4;
    t.tileHeight = 4;
    t.columns = 2;
    t.framesPerTile = 1;
    t.tileCount = 2;
    t.tileIds = {0, 1};
    set.tileSet = t;
    file.backgrounds = std::vector<std::optional<formpack::Background>>{set};
    return file;
}

class TilemapDrawTest : public SpriteDrawFixture<GlTextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        Background_InstallHooks();
        Open(0, 40, 8);
        ASSERT_TRUE(Start_Frame());
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
        GR_Set_Viewport(0, 0, 40, 8);
        GR_D3D_Set_View_Projection(0, 0, 40, 8, 0);
        GR_Texture_Set_Interpolation(false);
        ASSERT_TRUE(Load(TileSetFile())) << Form_LoadError();
    }
    void TearDown() override {
        Background_Shutdown();
        g_GameHeader.layerModel = false;
        SpriteDrawFixture::TearDown();
    }

    // The four quadrant colours of the 4 x 4 cell whose left edge is at x.
    static std::vector<uint32_t> Quadrants(const std::vector<uint32_t>& pixels, int x) {
        return {pixels[0 * 40 + x], pixels[0 * 40 + x + 2], pixels[2 * 40 + x], pixels[2 * 40 + x + 2]};
    }
};

TEST_F(TilemapDrawTest, CellsDrawTheirTilesMirroredFlippedAndTurned) {
    TileCell cells[] = {
        1, 1 | kTileMirrorBit, 1 | kTileMirrorBit | kTileRotateBit, 1 | kTileFlipBit | kTileRotateBit,
        7,  // an index past the tile table: skipped
        0};
    LayerTilemapElement map;
    map.tileSet = 0;
    map.width = 6;
    map.height = 1;
    map.cells = cells;
    Draw_Tilemap(GRBounds{0, 0, 40, 8}, nullptr, &map, 0, 0, 0);
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    using Q = std::vector<uint32_t>;
    EXPECT_EQ(Quadrants(pixels, 0), (Q{kRed, kGreen, kBlue, kWhite})) << "plain";
    EXPECT_EQ(Quadrants(pixels, 4), (Q{kGreen, kRed, kWhite, kBlue})) << "mirrored";
    EXPECT_EQ(Quadrants(pixels, 8), (Q{kWhite, kGreen, kBlue, kRed})) << "mirrored, then turned";
    EXPECT_EQ(Quadrants(pixels, 12), (Q{kRed, kBlue, kGreen, kWhite})) << "flipped, then turned";
    EXPECT_EQ(Quadrants(pixels, 16), (Q{kBlack, kBlack, kBlack, kBlack})) << "bad index";
    EXPECT_EQ(pixels[4 * 40 + 1], kBlack) << "nothing below the row";
    // Every pixel of a tile is its quadrant's colour: no bleeding from the grey neighbour.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixels[y * 40 + x], (Q{kRed, kGreen, kBlue, kWhite}[(y / 2) * 2 + x / 2]));
}

TEST_F(TilemapDrawTest, OneTileFromTheSetTakesTheGlobalMaskAndWrapsTheFrame) {
    Draw_TileFromSet(GRBounds{0, 0, 40, 8}, 0, 1 | kTileMirrorBit, -3, 8, 0, 0);
    const uint32_t mask = TileGlobalMask;
    TileGlobalMask = ~kTileMirrorBit;
    Draw_TileFromSet(GRBounds{0, 0, 40, 8}, 0, 1 | kTileMirrorBit, 0, 16, 0, 0);
    TileGlobalMask = mask;
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    using Q = std::vector<uint32_t>;
    EXPECT_EQ(Quadrants(pixels, 8), (Q{kGreen, kRed, kWhite, kBlue}));
    EXPECT_EQ(Quadrants(pixels, 16), (Q{kRed, kGreen, kBlue, kWhite})) << "the mirror bit masked away";
}

class TilemapBatchTest : public SpriteDrawFixture<TextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        Background_InstallHooks();
        OpenInFrame();
        ASSERT_TRUE(Load(TileSetFile())) << Form_LoadError();
    }
    void TearDown() override {
        Background_Shutdown();
        g_GameHeader.layerModel = false;
        SpriteDrawFixture::TearDown();
    }
};

TEST_F(TilemapBatchTest, AHugeMapSendsOnlyTheCellsOfTheView) {
    std::vector<TileCell> cells(1000 * 1000, 1);
    LayerTilemapElement map;
    map.tileSet = 0;
    map.width = map.height = 1000;
    map.cells = cells.data();
    // 4 x 4 tiles in (0, 0, 320, 240): columns 0 .. 80 and rows 0 .. 60.
    Draw_Tilemap(GRBounds{0, 0, 320, 240}, nullptr, &map, 0, 0, 0);
    const std::vector<TestVertex> vertices = Flushed();
    EXPECT_EQ(vertices.size(), size_t{81} * 61 * 6);
    float maxX = 0, maxY = 0;
    for (const TestVertex& v : vertices) {
        maxX = std::max(maxX, v.x);
        maxY = std::max(maxY, v.y);
    }
    EXPECT_EQ(maxX, 324);
    EXPECT_EQ(maxY, 244);
}

TEST_F(TilemapBatchTest, EmptyCellsGiveTheirReservedQuadsBack) {
    std::vector<TileCell> cells(10 * 10, 0);
    cells[55] = 1;
    LayerTilemapElement map;
    map.tileSet = 0;
    map.width = map.height = 10;
    map.cells = cells.data();
    Draw_Tilemap(GRBounds{0, 0, 640, 480}, nullptr, &map, 100, 50, 0);
    const std::vector<TestVertex> vertices = Flushed();
    ASSERT_EQ(vertices.size(), 6u);
    EXPECT_EQ(vertices[0].x, 120);
    EXPECT_EQ(vertices[0].y, 70);
}

}  // namespace
