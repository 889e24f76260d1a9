// Fixtures for the font and text tests: the texture module on the trace device with every
// flushed batch captured, a font chunk loaded from a formpack-made data file, the built-ins
// called by name, and a sprite table faked through the fonts' sprite seam.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "assets/Font_Class.h"
#include "assets/Font_Main.h"
#include "assets/Function_Graphics_Colour.h"
#include "assets/Function_Graphics_Text.h"
#include "assets/Graphics_Text.h"
#include "assets/ImageDecode.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "formpack/FormWriter.h"
#include "formpack/Png.h"
#include "graphics/TextureTestSupport.h"
#include "io/LoadSave.h"
#include "base/GameFile.h"

namespace texttest {

// A value that releases itself.
struct Owned {
    RValue v = RValue_Undefined();
    Owned() = default;
    ~Owned() { RValue_Release(&v); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    double Real() const {
        EXPECT_EQ(v.kind, VALUE_REAL);
        return v.kind == VALUE_REAL ? v.val : -12345.0;
    }
};

inline RValue R(double d) {
    return RValue_Real(d);
}
inline RValue S(const char* text) {
    RValue v = RValue_Undefined();
    RValue_CreateString(&v, text);
    return v;
}

inline void RegisterBuiltins() {
    static const bool done = (InitColourFunctions(), InitTextFunctions(), true);
    (void)done;
}

// Calls the row of that name, as game code would, and returns its result.
inline double Call(const char* name, std::vector<RValue> args = {}) {
    RegisterBuiltins();
    Owned result;
    int32_t id = -1;
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row) {
        Builtin_Current = row;
        row->function(result.v, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
        Builtin_Current = nullptr;
    }
    for (RValue& a : args) RValue_Release(&a);
    return result.v.kind == VALUE_REAL ? result.v.val : -12345.0;
}

// A monospaced test font: characters 32..126 and U+25AF, each `advance` wide and `height` high,
// laid out in rows of 16 on one 128 x 128 page.
inline formpack::Font FixedFont(const char* name, int16_t advance, int16_t height) {
    formpack::Font font;
    font.name = name;
    font.displayName = "Fixed";
    font.size = 11;
    font.first = 32;
    font.last = 126;
    font.pageEntry = 0;
    for (int c = 32; c <= 126; ++c) {
        const int k = c - 32;
        font.glyphs.push_back(
            {uint16_t(c), int16_t(k % 16 * 8), int16_t(k / 16 * 16), 8, height, advance, 0});
    }
    font.glyphs.push_back({0x25AF, 0, 112, 8, height, int16_t(advance + 3), 0});
    return font;
}

inline formpack::FormFile GameWithFonts(std::vector<std::optional<formpack::Font>> fonts) {
    formpack::FormFile file;
    file.fonts = std::move(fonts);
    file.pageEntries = std::vector<formpack::PageEntry>{{0, 0, 128, 128, 0, 0, 128, 128, 128, 128, 0}};
    file.textures = std::vector<formpack::TexturePage>{
        {0, formpack::EncodePng(128, 128, std::vector<uint8_t>(128 * 128 * 4, 255))}};
    return file;
}

struct SpriteFake {
    int32_t frames = 0, width = 0, height = 0;
    std::vector<std::pair<int32_t, int32_t>> extents;  // per frame: left, right
};

struct SpriteDraw {
    int32_t sprite, frame;
    float x, y, xScale, yScale, angle;
    uint32_t colours[4];
};

class TextTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        Open();
        ASSERT_TRUE(Start_Frame());
        Image_InstallTextureReader();
        Form_Free();
        Form_ResetChunkReaders();
        Font_RegisterChunkReader();
        Font_Init();
        Text_Reset();
        s_sprites.clear();
        s_spriteDraws.clear();
        g_FontSpriteOps = {SpriteExists, SpriteFrames,  SpriteWidth,      SpriteHeight,
                           SpriteExtent, SpriteDrawExt, SpriteDrawGeneral};
        s_reported.clear();
        m_previousReport = Runtime_SetNonFatalReporter([](const char* m) { s_reported.push_back(m); });
    }

    void TearDown() override {
        Runtime_SetNonFatalReporter(m_previousReport);
        Text_Shutdown();
        Font_Shutdown();
        Font_ResetSpriteOps();
        DrawBuiltinHooks_Reset();
        Form_Free();
        Form_ResetChunkReaders();
        TextureTest::TearDown();
    }

    static bool Load(const formpack::FormFile& file) {
        std::string error;
        const std::vector<uint8_t> bytes = formpack::Build(file, &error);
        EXPECT_FALSE(bytes.empty()) << error;
        if (!Form_SetData(bytes.data(), uint32_t(bytes.size()))) return false;
        if (!Form_FirstPass(Form_Base(), Form_Size())) return false;
        const bool ok = LoadGameData(Form_Base(), Form_Size());
        EXPECT_TRUE(ok) << (Form_LoadError() ? Form_LoadError() : "");
        return ok;
    }

    // Top-left corners of the captured glyph quads (every quad is six vertices).
    static std::vector<std::pair<float, float>> QuadCorners() {
        std::vector<TestVertex> all = Flushed();
        std::vector<std::pair<float, float>> corners;
        for (size_t i = 0; i + 5 < all.size(); i += 6) corners.push_back({all[i].x, all[i].y});
        return corners;
    }

    static bool SpriteExists(int32_t s) { return s_sprites.count(s) != 0; }
    static int32_t SpriteFrames(int32_t s) { return s_sprites.at(s).frames; }
    static int32_t SpriteWidth(int32_t s) { return s_sprites.at(s).width; }
    static int32_t SpriteHeight(int32_t s) { return s_sprites.at(s).height; }
    static void SpriteExtent(int32_t s, int32_t frame, int32_t* left, int32_t* right) {
        *left = s_sprites.at(s).extents.at(frame).first;
        *right = s_sprites.at(s).extents.at(frame).second;
    }
    static void SpriteDrawExt(int32_t s, int32_t frame, float x, float y, float xs, float ys, float angle,
                              uint32_t colour, float) {
        s_spriteDraws.push_back({s, frame, x, y, xs, ys, angle, {colour, colour, colour, colour}});
    }
    static void SpriteDrawGeneral(int32_t s, int32_t frame, float, float, float, float, float x, float y,
                                  float xs, float ys, float angle, uint32_t c1, uint32_t c2, uint32_t c3,
                                  uint32_t c4, float) {
        s_spriteDraws.push_back({s, frame, x, y, xs, ys, angle, {c1, c2, c3, c4}});
    }

    static inline std::map<int32_t, SpriteFake> s_sprites;
    static inline std::vector<SpriteDraw> s_spriteDraws;
    static inline std::vector<std::string> s_reported;
    RuntimeErrorReporter m_previousReport = nullptr;
};

}  // namespace texttest
