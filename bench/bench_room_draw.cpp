// The room's drawing on the off-screen GL device, each against a baseline in the same run:
//  - a 1000 x 1000-cell tilemap layer drawn through a 640 x 480 view (quads written straight
//    into the batch, only the visible cells) against drawing the same visible cells one
//    background part at a time;
//  - a legacy room of 5,000 depth-sorted instances drawn by Draw_Frame (passes, views, the
//    application surface and its copy to the window) against drawing the same sprites in a
//    plain loop.
// Each reports frames per second of both and the ratio baseline time / ours.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchRatio.h"
#include "assets/Background_Main.h"
#include "assets/Sprite_Main.h"
#include "core/RunSwitches.h"
#include "formpack/FormWriter.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Texture.h"
#include "room/Layer_Tilemap.h"
#include "room/Room_Draw.h"
#include "room/Room_LayerDraw.h"
#include "base/GEN8.h"
#include "base/GameCode.h"
#include "base/GameFile.h"
#include "world/GameWorld.h"
#include "app/HalvaneM.h"
#include "app/MainLoop.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/TimeLine.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kTile = 16, kCells = 1000;
constexpr int kInstances = 5000, kObjects = 10;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<uint8_t> RawBlob(int w, int h, uint32_t rgba) {
    std::vector<uint8_t> blob(16 + size_t(w) * h * 4);
    const uint32_t header[4] = {0x20574152u, uint32_t(w), uint32_t(h), 0};
    std::memcpy(blob.data(), header, 16);
    for (size_t i = 16; i < blob.size(); i += 4) {
        blob[i] = uint8_t(rgba >> 24), blob[i + 1] = uint8_t(rgba >> 16);
        blob[i + 2] = uint8_t(rgba >> 8), blob[i + 3] = uint8_t(rgba);
    }
    return blob;
}

// Page 0: a 64 x 16 strip of four 16 x 16 tiles (background 0, the tile set); page 1: a 16 x 16
// sprite. Objects 0 .. 9 draw the sprite at depths 0, 10, ..; the room holds 5,000 of them.
formpack::FormFile Game() {
    formpack::FormFile file;
    file.header.major = 2;
    file.header.format = 14;
    file.header.lastInstanceId = 200000;
    file.header.windowWidth = kWidth, file.header.windowHeight = kHeight;
    file.header.roomOrder = {0};
    file.textures = std::vector<formpack::TexturePage>{{0, RawBlob(64, 16, 0x20A040FFu)},
                                                       {0, RawBlob(16, 16, 0xFF2020FFu)}};
    file.pageEntries = std::vector<formpack::PageEntry>{{0, 0, 64, 16, 0, 0, 64, 16, 64, 16, 0},
                                                        {0, 0, 16, 16, 0, 0, 16, 16, 16, 16, 1}};
    formpack::Background set;
    set.name = "ts_bench";
    set.pageEntry = 0;
    formpack::BackgroundTileSet t;
    t.tileWidth = t.tileHeight = kTile;
    t.columns = 4;
    t.tileCount = 4;
    t.tileIds = {0, 1, 2, 3};
    set.tileSet = t;
    file.backgrounds = std::vector<std::optional<formpack::Background>>{set};
    formpack::Sprite sprite;
    sprite.name = "spr_bench";
    sprite.width = sprite.height = 16;
    sprite.frames = {1};
    file.sprites = std::vector<std::optional<formpack::Sprite>>{sprite};
    std::vector<std::optional<formpack::Object>> objects;
    for (int i = 0; i < kObjects; ++i) {
        formpack::Object o;
        o.name = "obj" + std::to_string(i);
        o.sprite = 0;
        o.depth = i * 10;
        objects.push_back(o);
    }
    file.objects = objects;
    formpack::Room room;
    room.name = "room0";
    room.width = kWidth, room.height = kHeight;
    for (int i = 0; i < kInstances; ++i) {
        formpack::RoomInstance r;
        r.object = i % kObjects;
        r.id = 100001 + i;
        r.x = (i * 7919) % (kWidth - 16);
        r.y = (i * 104729) % (kHeight - 16);
        room.instances.push_back(r);
    }
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    file.code.emplace().empty = true;
    return file;
}

std::vector<uint8_t> g_bytes;

bool LoadGame() {
    GameWorld_Init();
    GameCode_Install();
    Sprite_InstallHooks();
    Background_InstallHooks();
    Room_InstallDrawHooks();
    g_bytes = formpack::Build(Game());
    if (g_bytes.empty() || !Form_SetData(g_bytes.data(), uint32_t(g_bytes.size())) ||
        !Form_FirstPass(Form_Base(), Form_Size()) || !LoadGameData(Form_Base(), Form_Size()))
        return false;
    if (!TimeLine_Prepare() || !Object_Prepare() || !Room_Prepare()) return false;
    g_GameHeader.layerModel = false;  // the room below is a legacy one
    g_RunnerRunning = 1;
    StartGame();
    return Run_Room() != nullptr;
}

template <typename Draw>
double TimeFrame(Draw draw) {
    const auto start = std::chrono::steady_clock::now();
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    draw();
    End_Frame(true);
    glFinish();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ReportPair(benchmark::State& state, const char* ours, const char* baseline, std::vector<double>& a,
                std::vector<double>& b) {
    const double oursTime = Median(a), baseTime = Median(b);
    state.counters[ours] = 1.0 / oursTime;
    state.counters[baseline] = 1.0 / baseTime;
    state.counters["ratio"] = baseTime / oursTime;
}

void BM_TilemapThroughCamera(benchmark::State& state) {
    std::vector<TileCell> cells(size_t(kCells) * kCells);
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = (1 + uint32_t(i % 3)) | (i % 5 == 0 ? kTileMirrorBit : 0);
    LayerTilemapElement map;
    map.tileSet = 0;
    map.width = map.height = kCells;
    map.cells = cells.data();
    const GRBounds view{4000, 4000, 4000 + kWidth, 4000 + kHeight};
    auto ours = [&] {
        GR_D3D_Set_View_Projection(4000, 4000, kWidth, kHeight, 0);
        Draw_Tilemap(view, nullptr, &map, 0, 0, 0);
    };
    CBackground* background = Background_Get(0);
    auto baseline = [&] {
        GR_D3D_Set_View_Projection(4000, 4000, kWidth, kHeight, 0);
        for (int row = 4000 / kTile; row <= (4000 + kHeight) / kTile; ++row)
            for (int column = 4000 / kTile; column <= (4000 + kWidth) / kTile; ++column) {
                const uint32_t tile = cells[size_t(row) * kCells + column] & kTileIndexMask;
                background->DrawPart(float(tile * kTile), 0, kTile, kTile, float(column * kTile),
                                     float(row * kTile), 1, 1, 0xFFFFFF, 1);
            }
    };
    std::vector<double> a, b;
    for (auto _ : state) {
        a.push_back(TimeFrame(ours));
        b.push_back(TimeFrame(baseline));
    }
    ReportPair(state, "tilemap_fps", "part_per_tile_fps", a, b);
}

void BM_LegacyRoomOfInstances(benchmark::State& state) {
    CSprite* sprite = Sprite_Get(0);
    CRoom* room = Run_Room();
    auto ours = [&] { Draw_Frame(); };
    auto baseline = [&] {
        GR_Set_Viewport(0, 0, kWidth, kHeight);
        GR_D3D_Set_View_Projection(0, 0, kWidth, kHeight, 0);
        for (CInstance* i = room->active.tail; i; i = i->depthPrev) sprite->Draw(0, i->x, i->y);
    };
    std::vector<double> a, b;
    for (auto _ : state) {
        a.push_back(TimeFrame(ours));
        b.push_back(TimeFrame(baseline));
    }
    ReportPair(state, "room_fps", "plain_loop_fps", a, b);
}

BENCHMARK(BM_TilemapThroughCamera)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LegacyRoomOfInstances)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    UseSoftwareGl();
    g_Switches.headless = true;
    benchmark::Initialize(&argc, argv);
    GR_Texture_Startup();
    if (!GR_D3D_Init(nullptr, kWidth, kHeight, 0)) {
        std::fprintf(stderr, "no GL device\n");
        return 1;
    }
    if (!LoadGame()) {
        std::fprintf(stderr, "the game did not load\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    reporter.PrintCounter("tilemap through a camera, baseline / ours time", "BM_TilemapThroughCamera",
                          "ratio");
    reporter.PrintCounter("legacy room of instances, baseline / ours time", "BM_LegacyRoomOfInstances",
                          "ratio");
    GR_D3D_Shutdown();
    return 0;
}
