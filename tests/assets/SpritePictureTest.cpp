// Sprites made and grown from the screen and from surfaces, alpha taken from another sprite,
// and the texture prefetch and flush rows, on the GL device.
#include "SpriteDrawSupport.h"
#include "assets/Function_Sprite_Resource.h"
#include "assets/Graphics_Bitmap32.h"
#include "graphics/Graphics_Clear.h"

#include <cstring>

namespace spritetest {
namespace {

constexpr uint32_t kHalfRed = 0x800000FFu;  // 0xAABBGGRR
constexpr uint32_t kBlue = 0xFFFF0000u;

class SpritePictureTest : public SpriteDrawFixture<GlTextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        static const bool registered = (InitSpriteResourceFunctions(), true);
        (void)registered;
        Log().clear();
        Console_SetDebuggerSink([](const char* text) { Log() += text; });
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        SpriteDrawFixture::TearDown();
    }

    void OpenFrame() {
        Open(0, 80, 80);
        ASSERT_TRUE(Start_Frame());
        GR_Set_Viewport(0, 0, 80, 80);
        GR_D3D_Set_View_Projection(0, 0, 80, 80, 0);
    }

    // A w x h surface cleared to the colour (0xAABBGGRR).
    static int32_t Surface(int32_t w, int32_t h, uint32_t colour) {
        const int32_t id = static_cast<int32_t>(CallReal("surface_create", {R(w), R(h)}));
        EXPECT_TRUE(GR_Surface_Set_Target(0, id));
        GR_D3D_Clear(colour, 1.0f, 0, 7);
        EXPECT_TRUE(GR_Surface_Reset_Target());
        return id;
    }

    static uint32_t Pixel(int32_t sprite, int32_t frame, int32_t x, int32_t y) {
        const CSprite* s = Sprite_Get(sprite);
        if (!s || frame >= s->m_bitmapCount) return 0x12345678u;
        return s->m_bitmaps[frame]->GetPixels()[y * s->m_width + x];
    }
};

TEST_F(SpritePictureTest, SpritesFromASurfaceOrTheScreenTakeTheRectangleWithTheirFlags) {
    OpenFrame();
    const int32_t surface = Surface(16, 16, kHalfRed);
    GR_D3D_Clear(kHalfRed, 1.0f, 0, 7);  // the back buffer
    struct Case {
        const char* name;
        std::vector<double> args;
        bool precise, preload, transparent;
        int32_t originX;
        uint32_t pixel;  // 0xAARRGGBB
    } cases[] = {
        // Short forms: precise; keep alpha unless the background is removed.
        {"sprite_create_from_surface", {0, 4, 4, 8, 6, 0, 0, 3, 2}, true, false, false, 3, 0x80FF0000u},
        {"sprite_create_from_surface", {0, 4, 4, 8, 6, 1, 0, 3, 2}, true, false, true, 3, 0x00FF0000u},
        // Long form: every flag named, alpha kept.
        {"sprite_create_from_surface", {0, 4, 4, 8, 6, 0, 0, 0, 1, 5, 2}, false, true, false, 5, 0x80FF0000u},
        {"sprite_create_from_screen", {4, 4, 8, 6, 0, 0, 3, 2}, true, true, false, 3, 0x80FF0000u},
        // The screen's long form reads the pixels opaque.
        {"sprite_create_from_screen", {4, 4, 8, 6, 1, 0, 0, 0, 1, 2}, true, false, false, 1, 0xFFFF0000u},
    };
    for (const Case& c : cases) {
        std::vector<RValue> args;
        for (double a : c.args) args.push_back(R(a));
        if (std::strstr(c.name, "surface")) args[0] = R(surface);
        const int32_t index = static_cast<int32_t>(CallReal(c.name, args));
        ASSERT_TRUE(Sprite_Exists(index)) << c.name;
        const CSprite* sprite = Sprite_Get(index);
        SCOPED_TRACE(testing::Message() << c.name << " with " << c.args.size() << " arguments");
        EXPECT_EQ(sprite->m_frameCount, 1);
        EXPECT_EQ(sprite->m_width, 8);
        EXPECT_EQ(sprite->m_height, 6);
        EXPECT_EQ(sprite->m_precise, c.precise);
        EXPECT_EQ(sprite->m_preload, c.preload);
        EXPECT_EQ(sprite->m_transparent, c.transparent);
        EXPECT_EQ(sprite->m_originX, c.originX);
        EXPECT_EQ(sprite->m_originY, 2);
        EXPECT_EQ(Pixel(index, 0, 7, 5), c.pixel);
        EXPECT_STREQ(sprite->GetName(), ("__newsprite" + std::to_string(index)).c_str());
        EXPECT_EQ(Sprite_Find(sprite->GetName()), index);
    }
    // Nothing to read still gives a new, empty sprite.
    for (const char* name : {"sprite_create_from_screen", "sprite_create_from_surface"}) {
        const std::vector<RValue> args =
            std::strstr(name, "surface")
                ? std::vector<RValue>{R(99), R(0), R(0), R(8), R(8), R(0), R(0), R(0), R(0)}
                : std::vector<RValue>{R(0), R(0), R(0), R(8), R(0), R(0), R(0), R(0)};
        const double index = CallReal(name, args);
        ASSERT_TRUE(Sprite_Exists(int32_t(index))) << name;
        EXPECT_EQ(Sprite_Get(int32_t(index))->m_frameCount, 0) << name;
    }
    EXPECT_TRUE(Reports().empty());
    ASSERT_TRUE(End_Frame(true));
}

TEST_F(SpritePictureTest, FramesAddedFromASurfaceAreResizedToTheSprite) {
    OpenFrame();
    const int32_t red = Surface(16, 16, kHalfRed), blue = Surface(4, 4, kBlue);
    // A sprite without frames takes the first picture's size.
    const int32_t index = int32_t(
        CallReal("sprite_create_from_surface", {R(99), R(0), R(0), R(8), R(8), R(0), R(0), R(0), R(0)}));
    Call("sprite_add_from_surface", {R(index), R(red), R(0), R(0), R(8), R(6), R(0), R(0)});
    Call("sprite_add_from_surface", {R(index), R(blue), R(0), R(0), R(4), R(4), R(0), R(0)});
    Call("sprite_add_from_screen", {R(index), R(0), R(0), R(8), R(8), R(0), R(0)});
    const CSprite* sprite = Sprite_Get(index);
    ASSERT_EQ(sprite->m_frameCount, 3);
    EXPECT_EQ(sprite->m_bitmapCount, 3);
    EXPECT_EQ(sprite->m_width, 8);
    EXPECT_EQ(sprite->m_height, 6);
    EXPECT_EQ(sprite->m_bitmaps[1]->GetWidth(), 8);
    EXPECT_EQ(Pixel(index, 0, 7, 5), 0x80FF0000u);
    EXPECT_EQ(Pixel(index, 1, 7, 5), 0xFF0000FFu);  // the 4 x 4 blue picture, stretched
    EXPECT_NE(sprite->GetTextureId(2), -1);
    EXPECT_NE(sprite->GetPageEntry(2), nullptr);
    // A missing sprite or surface changes nothing and says nothing.
    Call("sprite_add_from_surface", {R(777), R(red), R(0), R(0), R(8), R(6), R(0), R(0)});
    Call("sprite_add_from_surface", {R(index), R(99), R(0), R(0), R(8), R(6), R(0), R(0)});
    EXPECT_EQ(Sprite_Get(index)->m_frameCount, 3);
    EXPECT_TRUE(Reports().empty());
    ASSERT_TRUE(End_Frame(true));
}

TEST_F(SpritePictureTest, SpritesWithoutPicturesOfTheirOwnAndVectorSpritesAreRefused) {
    OpenFrame();
    ASSERT_TRUE(
        Load(StripFile(8, 8, {0xFF0000FFu, 0x00FF00FFu}, 0, 0)));  // sprite 0 on the data file's pages
    const int32_t red = Surface(8, 8, kHalfRed);
    const int32_t own = int32_t(
        CallReal("sprite_create_from_surface", {R(red), R(0), R(0), R(8), R(8), R(0), R(0), R(0), R(0)}));
    const int32_t vector = int32_t(
        CallReal("sprite_create_from_surface", {R(red), R(0), R(0), R(8), R(8), R(0), R(0), R(0), R(0)}));
    Sprite_Get(vector)->m_kind = SPRITE_VECTOR;
    struct Case {
        const char* name;
        std::vector<double> args;
        const char* report;
    } cases[] = {
        {"sprite_add_from_surface",
         {0, double(red), 0, 0, 8, 8, 0, 0},
         "sprite_add_from_surface() requires the sprite to have been duplicated"},
        {"sprite_add_from_screen",
         {0, 0, 0, 8, 8, 0, 0},
         "sprite_add_from_screen() requires the sprite to have been duplicated"},
        {"sprite_add_from_surface",
         {double(vector), double(red), 0, 0, 8, 8, 0, 0},
         "sprite_add_from_surface: not supported with vector sprites"},
        {"sprite_add_from_screen",
         {double(vector), 0, 0, 8, 8, 0, 0},
         "sprite_add_from_screen: not supported with vector sprites"},
        {"sprite_set_alpha_from_sprite",
         {0, double(own)},
         "sprite_set_alpha_from_sprite() requires the destination sprite to have been duplicated"},
        {"sprite_set_alpha_from_sprite",
         {double(own), 0},
         "sprite_set_alpha_from_sprite() requires the source sprite to have been duplicated"},
        {"sprite_set_alpha_from_sprite",
         {double(vector), double(own)},
         "sprite_set_alpha_from_sprite: not supported with vector sprites - sprite to change is a vector "
         "sprite"},
        {"sprite_set_alpha_from_sprite",
         {double(own), double(vector)},
         "sprite_set_alpha_from_sprite: not supported with vector sprites - sprite to derive transparency "
         "from is a vector sprite"},
    };
    for (const Case& c : cases) {
        Reports().clear();
        std::vector<RValue> args;
        for (double a : c.args) args.push_back(R(a));
        Call(c.name, args);
        EXPECT_EQ(Reports(), std::vector<std::string>{c.report}) << c.name;
    }
    EXPECT_EQ(Sprite_Get(0)->m_frameCount, 2);
    EXPECT_EQ(Sprite_Get(own)->m_frameCount, 1);
    Sprite_Get(vector)->m_kind = SPRITE_BITMAP;
    ASSERT_TRUE(End_Frame(true));
}

TEST_F(SpritePictureTest, AlphaFromAnotherSpriteIsLimitedByItsBrightnessFrameByFrame) {
    OpenFrame();
    // Destination: two opaque frames; source: one frame of grey 0x60 (brightness 0x60).
    const int32_t white = Surface(4, 4, 0xFFFFFFFFu), grey = Surface(4, 4, 0xFF606060u);
    const int32_t dark = Surface(4, 4, 0xFF202020u);
    const int32_t index = int32_t(
        CallReal("sprite_create_from_surface", {R(white), R(0), R(0), R(4), R(4), R(0), R(0), R(0), R(0)}));
    Call("sprite_add_from_surface", {R(index), R(dark), R(0), R(0), R(4), R(4), R(0), R(0)});
    const int32_t source = int32_t(
        CallReal("sprite_create_from_surface", {R(grey), R(0), R(0), R(4), R(4), R(0), R(0), R(0), R(0)}));
    Call("sprite_set_alpha_from_sprite", {R(index), R(source)});
    EXPECT_EQ(Pixel(index, 0, 1, 1), 0x60FFFFFFu);
    EXPECT_EQ(Pixel(index, 1, 1, 1), 0x60202020u);  // the one source frame serves both
    EXPECT_NE(Sprite_Get(index)->GetTextureId(0), -1);
    // From itself: each pixel's alpha limited by its own brightness.
    Call("sprite_set_alpha_from_sprite", {R(index), R(index)});
    EXPECT_EQ(Pixel(index, 1, 1, 1), 0x20202020u);
    // Missing sprites: nothing, silently.
    Call("sprite_set_alpha_from_sprite", {R(index), R(777)});
    Call("sprite_set_alpha_from_sprite", {R(777), R(index)});
    EXPECT_TRUE(Reports().empty());
    ASSERT_TRUE(End_Frame(true));
}

// ---- prefetch and flush --------------------------------------------------------------------

RValue Array(std::vector<RValue> items, int32_t rows = 1) {
    RValue array = RValue_Undefined();
    for (int32_t r = 0; r < rows; ++r)
        for (size_t i = 0; i < items.size(); ++i)
            RValue_SetIndexed(&array, &items[i], r * ARRAY_ROW_STRIDE + int32_t(i));
    for (RValue& item : items) RValue_Release(&item);
    return array;
}

class SpritePrefetchTest : public SpritePictureTest {
protected:
    void SetUp() override {
        SpritePictureTest::SetUp();
        Open(0, 80, 80);
        g_Switches.createTexturesOnDemand = true;
        // Sprites 0 and 1 share the one page; sprite 2 stands in for a vector sprite.
        formpack::FormFile file = StripFile(8, 8, {0xFF0000FFu, 0x00FF00FFu}, 0, 0);
        auto& sprites = *file.sprites;
        for (const char* name : {"spr_other", "spr_vector"}) {
            sprites.push_back(sprites[0]);
            sprites.back()->name = name;
        }
        ASSERT_TRUE(Load(file));
        Sprite_Get(2)->m_kind = SPRITE_VECTOR;
        Log().clear();
    }
    void TearDown() override {
        if (Sprite_Get(2)) Sprite_Get(2)->m_kind = SPRITE_BITMAP;
        SpritePictureTest::TearDown();
    }
    static TextureRecord* Page() { return GR_Texture_Get(Sprite_Get(0)->GetPageEntry(0)->texture); }
};

TEST_F(SpritePrefetchTest, PrefetchMakesThePageTextureAndFlushReleasesIt) {
    ASSERT_NE(Page(), nullptr);
    EXPECT_EQ(Page()->texture, nullptr);
    EXPECT_EQ(CallReal("sprite_prefetch", {R(0)}), 0);
    EXPECT_NE(Page()->texture, nullptr);
    EXPECT_EQ(CallReal("sprite_flush", {R(1)}), 0);
    EXPECT_EQ(Page()->texture, nullptr);
    EXPECT_EQ(Log(), "");
    struct Case {
        const char* name;
        double index, result;
        const char* log;
    } cases[] = {
        {"sprite_prefetch", 9, 0, "sprite_prefetch: Sprite id 9 not found\n"},
        {"sprite_flush", -1, 0, "sprite_flush: Sprite id -1 not found\n"},
        {"sprite_prefetch", 2, -1, "sprite_prefetch: not supported for vector sprites (sprite id 2)\n"},
        {"sprite_flush", 2, -1, "sprite_flush: not supported for vector sprites (sprite id 2)\n"},
    };
    for (const Case& c : cases) {
        Log().clear();
        EXPECT_EQ(CallReal(c.name, {R(c.index)}), c.result) << c.name << " " << c.index;
        EXPECT_EQ(Log(), c.log);
    }
    EXPECT_EQ(Page()->texture, nullptr);
}

TEST_F(SpritePrefetchTest, TheArrayFormsCheckTheirArrayAndEachEntry) {
    struct Case {
        const char* name;
        RValue argument;
        double result;
        bool made;
        std::string log;
    };
    std::vector<Case> cases;
    cases.push_back({"sprite_prefetch_multi", Array({R(0), Text("a"), R(9), R(1)}), 0, true,
                     "sprite_prefetch_multi: array entry 1 has wrong type\n"
                     "sprite_prefetch_multi: Sprite id 9 not found\n"});
    cases.push_back({"sprite_prefetch_multi", R(0), -1, false,
                     "sprite_prefetch_multi: parameter should be array of sprite indices\n"});
    cases.push_back({"sprite_prefetch_multi", Array({R(0)}, 2), -1, false,
                     "sprite_prefetch_multi: array parameter invalid\n"});
    // A vector sprite ends the call; the entries before it are done.
    cases.push_back({"sprite_prefetch_multi", Array({R(1), R(2), R(0)}), -1, true,
                     "sprite_prefetch_multi: not supported for vector sprites (sprite id 2)\n"});
    cases.push_back({"sprite_flush_multi", Array({R(2), R(0)}), -1, true,
                     "sprite_flush_multi: not supported for vector sprites (sprite id 2)\n"});
    cases.push_back({"sprite_flush_multi", Array({Text("b"), R(0)}), 0, false,
                     "sprite_flush_multi: array entry 0 has wrong type\n"});
    for (Case& c : cases) {
        GR_Texture_Release_Device(Page());
        if (std::string(c.name) == "sprite_flush_multi") GR_Texture_Prefetch(Page());
        Log().clear();
        EXPECT_EQ(CallReal(c.name, {c.argument}), c.result) << c.log;
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(Page()->texture != nullptr, c.made) << c.log;
    }
}

}  // namespace
}  // namespace spritetest
