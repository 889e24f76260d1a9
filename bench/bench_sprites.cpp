// draw_sprite through the built-in table (argument reading, the sprite table, culling, the
// page-entry quad, the vertex batch and its flush) against raw GL drawing the same number of
// quads of the same size from one prepared vertex array with a program of its own, into the
// same back buffer of the same off-screen context. Each iteration draws one frame each way and
// waits for it; the ratio is raw GL's median frame time over ours. The aim is 0.7 or better.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchRatio.h"
#include "RawGlQuads.h"
#include "assets/Function_Sprite_Draw.h"
#include "assets/Sprite_Main.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "formpack/FormWriter.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "base/GameFile.h"

namespace {

constexpr int kSide = 256;
constexpr int kSprite = 16;
constexpr int kDraws = 100000;

std::vector<RawVertex> g_quads;  // six vertices a quad
std::vector<float> g_positions;  // x, y per draw
BuiltinProc g_drawSprite = nullptr;

float PositionX(int i) {
    return static_cast<float>(i * 7 % (kSide - kSprite));
}
float PositionY(int i) {
    return static_cast<float>(i * 13 % (kSide - kSprite));
}

void PrepareQuads() {
    for (int i = 0; i < kDraws; ++i) {
        const float x = PositionX(i), y = PositionY(i), s = kSprite;
        const uint32_t colour = 0xFFFF0000u;
        const RawVertex quad[6] = {{x, y, 0, colour, 0, 0},         {x + s, y, 0, colour, 1, 0},
                                   {x, y + s, 0, colour, 0, 1},     {x + s, y, 0, colour, 1, 0},
                                   {x + s, y + s, 0, colour, 1, 1}, {x, y + s, 0, colour, 0, 1}};
        g_quads.insert(g_quads.end(), quad, quad + 6);
    }
}

// One 16 x 16 red sprite on its own page, read through the chunk pass.
bool LoadSprite() {
    formpack::FormFile file;
    formpack::Sprite sprite;
    sprite.name = "spr_bench";
    sprite.width = sprite.height = kSprite;
    sprite.frames = {0};
    file.sprites = std::vector<std::optional<formpack::Sprite>>{sprite};
    file.pageEntries = std::vector<formpack::PageEntry>{
        {0, 0, kSprite, kSprite, 0, 0, kSprite, kSprite, kSprite, kSprite, 0}};
    std::vector<uint8_t> blob(16 + kSprite * kSprite * 4, 0xFF);
    const uint32_t header[4] = {0x20574152u, kSprite, kSprite, 0};
    std::memcpy(blob.data(), header, 16);
    file.textures = std::vector<formpack::TexturePage>{{0, blob}};
    const std::vector<uint8_t> bytes = formpack::Build(file);
    Sprite_InstallHooks();
    return Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size())) &&
           Form_FirstPass(Form_Base(), Form_Size()) && LoadGameData(Form_Base(), Form_Size()) &&
           Sprite_Exists(0);
}

void SpriteFrame() {
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 1);
    RValue args[4] = {RValue_Real(0), RValue_Real(0), RValue_Real(0), RValue_Real(0)};
    RValue result = RValue_Undefined();
    for (int i = 0; i < kDraws; ++i) {
        args[2].val = PositionX(i);
        args[3].val = PositionY(i);
        g_drawSprite(result, nullptr, nullptr, 4, args);
    }
    End_Frame(true);
    glFinish();
}

void BM_DrawSpriteAgainstRawGl(benchmark::State& state) {
    SpriteFrame();  // the first frame binds the device's back buffer; both draw into it
    RawGl raw(true);
    raw.Frame(g_quads);
    const PairedMedians times = TimeAlternately(
        state, [&] { SpriteFrame(); }, [&] { raw.Frame(g_quads); });
    const double sprite = times.ours, rawTime = times.baseline;
    const double ratio = rawTime / sprite;
    state.counters["draw_sprite_per_s"] = kDraws / sprite;
    state.counters["raw_quads_per_s"] = kDraws / rawTime;
    state.counters["ratio"] = ratio;
}

BENCHMARK(BM_DrawSpriteAgainstRawGl)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    UseSoftwareGl();
    benchmark::Initialize(&argc, argv);
    PrepareQuads();
    GR_Texture_Startup();
    if (!GR_D3D_Init(nullptr, kSide, kSide, 0)) {
        std::fprintf(stderr, "no GL device\n");
        return 1;
    }
    InitSpriteDrawFunctions();
    int32_t id = -1;
    if (!LoadSprite() || !Code_Function_Find("draw_sprite", &id)) {
        std::fprintf(stderr, "the sprite did not load\n");
        return 1;
    }
    g_drawSprite = Code_Function_Row(id)->function;
    GR_Draw_Set_Alpha(1.0f);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintCounter("ratio draw_sprite/raw GL quads per second (target >= 0.70)",
                          "BM_DrawSpriteAgainstRawGl", "ratio");
    Form_Free();
    GR_D3D_Shutdown();
    return 0;
}
