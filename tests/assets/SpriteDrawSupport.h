// Sprite and surface drawing on the device layer: formpack files with texture pages loaded
// through the chunk pass, the drawing built-ins called by name, and the reports they make.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SpriteTestSupport.h"
#include "assets/Function_Sprite_Draw.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/TextureTestSupport.h"
#include "world/Run.h"

namespace spritetest {

// A string value the caller owns.
inline RValue Text(const char* text) {
    RValue v = RValue_Undefined();
    RValue_SetString(&v, text);
    return v;
}

// A "RAW " texture blob: width x height pixels of the bytes red, green, blue, alpha.
inline std::vector<uint8_t> RawBlob(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgba) {
    const uint32_t header[4] = {0x20574152u, width, height, 0};
    std::vector<uint8_t> blob(16);
    std::memcpy(blob.data(), header, 16);
    for (uint32_t pixel : rgba) {
        blob.insert(blob.end(),
                    {uint8_t(pixel >> 24), uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)});
    }
    return blob;
}

// One page of `frames` w x h frames side by side, frame i filled with colours[i] (0xRRGGBBAA),
// and sprite 0 drawing them.
inline formpack::FormFile StripFile(int32_t w, int32_t h, const std::vector<uint32_t>& colours,
                                    int32_t originX, int32_t originY) {
    const auto frames = static_cast<int32_t>(colours.size());
    std::vector<uint32_t> page;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w * frames; ++x) page.push_back(colours[x / w]);
    formpack::Sprite sprite;
    sprite.name = "spr_strip";
    sprite.width = w;
    sprite.height = h;
    sprite.originX = originX;
    sprite.originY = originY;
    std::vector<formpack::PageEntry> entries;
    for (int32_t i = 0; i < frames; ++i) {
        sprite.frames.push_back(i);
        entries.push_back({int16_t(i * w), 0, int16_t(w), int16_t(h), 0, 0, int16_t(w), int16_t(h),
                           int16_t(w), int16_t(h), 0});
    }
    formpack::FormFile file = SpriteFile({sprite}, entries);
    file.textures = std::vector<formpack::TexturePage>{{0, RawBlob(uint32_t(w * frames), uint32_t(h), page)}};
    return file;
}

inline std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

template <typename Base>
class SpriteDrawFixture : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        static const bool registered = (InitSpriteDrawFunctions(), true);
        (void)registered;
        Form_Free();
        Form_ResetChunkReaders();
        Sprite_InstallHooks();
        GR_Surface_Reset_State();
        g_RunState.applicationSurface = GR_NO_APPLICATION_SURFACE;
        Reports().clear();
        m_previousReport = Runtime_SetNonFatalReporter([](const char* m) { Reports().push_back(m); });
        Runtime_SetReportHooks(nullptr, [](const char* text, bool) { Reports().push_back(text); });
        GR_Draw_Set_Alpha(1.0f);
        GR_Draw_Set_Colour(0xFFFFFF);
    }
    void TearDown() override {
        Runtime_SetNonFatalReporter(m_previousReport);
        Runtime_SetReportHooks(nullptr, nullptr);
        GR_Surface_Reset_State();
        Form_Free();
        Form_ResetChunkReaders();
        Sprite_FreeAll();
        Base::TearDown();
    }

    static bool Load(const formpack::FormFile& file) {
        const std::vector<uint8_t> bytes = BuildFile(file);
        if (!Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
        if (!Form_FirstPass(Form_Base(), Form_Size())) return false;
        return LoadGameData(Form_Base(), Form_Size());
    }

    // Calls the built-in row of that name as game code would.
    static RValue Call(const char* name, std::vector<RValue> args, CInstance* self = nullptr) {
        RValue result = RValue_Undefined();
        int32_t id = -1;
        const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
        EXPECT_NE(row, nullptr) << name;
        if (row) {
            Builtin_Current = row;
            row->function(result, self, self, static_cast<int32_t>(args.size()), args.data());
            Builtin_Current = nullptr;
        }
        for (RValue& a : args) RValue_Release(&a);
        return result;
    }
    static double CallReal(const char* name, std::vector<RValue> args) {
        RValue result = Call(name, std::move(args));
        EXPECT_EQ(result.kind, VALUE_REAL) << name;
        return result.kind == VALUE_REAL ? result.val : -12345;
    }

private:
    RuntimeErrorReporter m_previousReport = nullptr;
};

inline RValue R(double d) {
    return RValue_Real(d);
}

}  // namespace spritetest
