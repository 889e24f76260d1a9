// Surfaces on the GL device: drawing into one through the target stack and what a reset puts
// back, drawing one like an image, reading it back, ids, the application surface, and the
// messages of the surface built-ins.
#include "SpriteDrawSupport.h"
#include "graphics/TBitmap.h"

namespace spritetest {
namespace {

constexpr uint32_t kRed = 0xFF0000FFu;  // 0xAABBGGRR

class SurfaceTest : public SpriteDrawFixture<GlTextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        Open(0, 80, 80);
        ASSERT_TRUE(Start_Frame());
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
        GR_Set_Viewport(0, 0, 80, 80);
        GR_D3D_Set_View_Projection(0, 0, 80, 80, 0);
    }

    static int32_t Create(int32_t w, int32_t h) {
        return static_cast<int32_t>(CallReal("surface_create", {R(w), R(h)}));
    }
};

TEST_F(SurfaceTest, ASurfaceClearedRedThroughTheStackDrawsRedWhereItLands) {
    const int32_t s = Create(64, 64);
    EXPECT_EQ(CallReal("surface_set_target", {R(s)}), 1);
    EXPECT_EQ(g_Viewport.width, 64);
    EXPECT_FLOAT_EQ(g_ViewRecord.width, 64);
    GR_D3D_Clear(kRed, 1.0f, 0, 7);
    EXPECT_EQ(CallReal("surface_reset_target", {}), 1);
    EXPECT_EQ(g_Viewport.x, 0);
    EXPECT_EQ(g_Viewport.width, 80);
    EXPECT_EQ(g_Viewport.height, 80);
    EXPECT_FLOAT_EQ(g_ViewRecord.width, 80);
    EXPECT_FLOAT_EQ(g_ViewRecord.height, 80);
    EXPECT_EQ(GR_Surface_Current(0), -1);
    Call("draw_surface", {R(s), R(5), R(5)});
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    for (int i = 0; i < 80; ++i) {
        const bool inside = i >= 5 && i <= 68;
        EXPECT_EQ(pixels[i * 80 + i], inside ? 0xFFFF0000u : 0xFF000000u) << i;
        EXPECT_EQ(pixels[30 * 80 + i], inside ? 0xFFFF0000u : 0xFF000000u) << i;
    }
    EXPECT_TRUE(Reports().empty());
}

TEST_F(SurfaceTest, EightNestedTargetsSucceedAndTheNinthIsRefused) {
    std::vector<int32_t> ids;
    for (int i = 0; i < 9; ++i) ids.push_back(Create(8, 8));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(GR_Surface_Set_Target(0, ids[i])) << i;
    EXPECT_FALSE(GR_Surface_Set_Target(0, ids[8]));
    EXPECT_EQ(Reports(),
              std::vector<std::string>{"surface stack is full - ensure surface_reset_target() is called "
                                       "for each surface_set_target()."});
    EXPECT_EQ(GR_Surface_Stack_Depth(), 8);
    EXPECT_EQ(GR_Target_Depth(), 8);
    EXPECT_EQ(GR_Surface_Current(0), ids[7]);
    for (int i = 7; i >= 0; --i) {
        ASSERT_TRUE(GR_Surface_Reset_Target());
        EXPECT_EQ(GR_Surface_Current(0), i ? ids[i - 1] : -1);
    }
    EXPECT_EQ(GR_Target_Current(0), nullptr);  // the back buffer again
    EXPECT_FALSE(GR_Surface_Reset_Target());   // nothing left to undo
    EXPECT_EQ(g_Viewport.width, 80);
}

TEST_F(SurfaceTest, AResetRestoresTheViewWholeNumberedWithItsAngleAndTheOrthographicFlag) {
    GR_D3D_Set_View_Projection(10.75f, 20.5f, 100.9f, 50.2f, 33.3f);
    g_SpriteCullBypass = true;
    const int32_t s = Create(16, 16);
    ASSERT_TRUE(GR_Surface_Set_Target(0, s));
    g_SpriteCullBypass = false;
    ASSERT_TRUE(GR_Surface_Reset_Target());
    EXPECT_EQ(g_ViewRecord.x, 10.0f);
    EXPECT_EQ(g_ViewRecord.y, 20.0f);
    EXPECT_EQ(g_ViewRecord.width, 100.0f);
    EXPECT_EQ(g_ViewRecord.height, 50.0f);
    EXPECT_EQ(g_ViewRecord.angle, 33.3f);
    EXPECT_TRUE(g_SpriteCullBypass);
}

TEST_F(SurfaceTest, OtherSlotsPushNothingAndFreeingTheCurrentTargetPopsFirst) {
    const int32_t a = Create(8, 8), b = Create(8, 8);
    ASSERT_TRUE(GR_Surface_Set_Target(0, a));
    ASSERT_TRUE(GR_Surface_Set_Target(1, b));
    EXPECT_EQ(GR_Surface_Stack_Depth(), 1);
    EXPECT_EQ(GR_Surface_Current(1), b);
    Call("surface_free", {R(a)});
    EXPECT_FALSE(GR_Surface_Exists(a));
    EXPECT_EQ(GR_Surface_Stack_Depth(), 0);
    EXPECT_EQ(GR_Surface_Current(0), -1);
    EXPECT_EQ(GR_Surface_Current(1), -1);  // the frame put back the ids from before the set
    EXPECT_FALSE(GR_Surface_Set_Target(4, b));
    EXPECT_FALSE(GR_Surface_Set_Target(0, 99));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(SurfaceTest, IdsAreNotReusedAndADeviceResetForgetsEverySurface) {
    const int32_t first = Create(4, 4);
    Call("surface_free", {R(first)});
    const int32_t second = Create(4, 4);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    g_RunState.applicationSurface = second;
    GR_Surface_Release_All();
    EXPECT_EQ(CallReal("surface_exists", {R(second)}), 0);
    EXPECT_EQ(GR_Surface_Count(), 0);
    EXPECT_EQ(GR_Surface_Application_Id(), GR_NO_APPLICATION_SURFACE);
    EXPECT_EQ(Create(4, 4), 2);
}

TEST_F(SurfaceTest, TheApplicationSurfaceAnswersItsRememberedSizeAndSurvivesAPlainFree) {
    const int32_t app = Create(32, 24);
    g_RunState.applicationSurface = app;
    ASSERT_EQ(GR_Surface_Create(32, 24, app), app);
    EXPECT_EQ(CallReal("surface_get_width", {R(app)}), 32);
    EXPECT_EQ(CallReal("surface_get_height", {R(app)}), 24);
    Call("surface_free", {R(app)});
    EXPECT_TRUE(GR_Surface_Exists(app));
    // The built-in only asks the room drawing to make it again at the next frame.
    EXPECT_EQ(CallReal("surface_resize", {R(app), R(100), R(50)}), 1);
    EXPECT_EQ(g_RunState.pendingSurfaceWidth, 100);
    EXPECT_EQ(g_RunState.pendingSurfaceHeight, 50);
    EXPECT_EQ(GR_Surface_Get_Width(app), 32);
    ASSERT_TRUE(GR_Surface_Resize(app, 100, 50));
    EXPECT_EQ(GR_Surface_Get_Width(app), 100);
    GR_Surface_Free(app, true);
    EXPECT_FALSE(GR_Surface_Exists(app));
    g_RunState.pendingSurfaceWidth = g_RunState.pendingSurfaceHeight = -1;
}

TEST_F(SurfaceTest, PixelsReadBackInGameColourOrder) {
    const int32_t s = Create(8, 8);
    ASSERT_TRUE(GR_Surface_Set_Target(0, s));
    GR_D3D_Clear(kRed, 1.0f, 0, 7);
    ASSERT_TRUE(GR_Surface_Reset_Target());
    EXPECT_EQ(CallReal("surface_getpixel_ext", {R(s), R(3), R(3)}), 4278190335.0);
    EXPECT_EQ(CallReal("surface_getpixel", {R(s), R(3), R(3)}), 255);
    RValue texture = Call("surface_get_texture", {R(s)});
    EXPECT_EQ(texture.kind, VALUE_PTR);
    EXPECT_EQ(reinterpret_cast<intptr_t>(texture.ptr), GR_Surface_Get_Texture(s));

    const int32_t copy = Create(8, 8);
    Call("surface_copy", {R(copy), R(0), R(0), R(s)});
    EXPECT_EQ(CallReal("surface_getpixel", {R(copy), R(7), R(7)}), 255);
    TBitmap* bitmap = GR_Surface_To_Bitmap(s, 0, 0, 4, 2);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetWidth(), 4);
    EXPECT_EQ(bitmap->GetHeight(), 2);
    delete bitmap;
    EXPECT_EQ(GR_Surface_To_Bitmap(77, 0, 0, 4, 2), nullptr);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(SurfaceTest, MissingSurfacesAndBadSizesAreReportedInTheirOwnWords) {
    EXPECT_EQ(CallReal("surface_create_ext", {R(1), R(1), R(1)}), -1);
    EXPECT_EQ(Call("surface_resize", {R(5), R(0), R(10)}).kind, VALUE_UNDEFINED);
    Call("surface_resize", {R(5), R(10), R(8193)});
    Call("surface_resize", {R(5), R(10), R(10)});
    Call("draw_surface", {R(5), R(0), R(0)});
    Call("draw_surface_part", {R(5), R(0), R(0), R(4), R(4), R(0), R(0)});
    Call("surface_copy", {R(5), R(0), R(0), R(6)});
    EXPECT_EQ(CallReal("surface_getpixel", {R(5), R(0), R(0)}), 0);
    EXPECT_EQ(Call("surface_getpixel_ext", {R(5), R(0), R(0)}).kind, VALUE_UNDEFINED);
    EXPECT_EQ(CallReal("surface_get_width", {R(5)}), -1);
    EXPECT_EQ(CallReal("surface_set_target", {R(5)}), 0);
    const std::string missing = "Trying to use non-existing surface.";
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{"surface_create_ext() not supported", "Invalid surface dimensions",
                                        "Invalid surface dimensions", "Surface does not exist", missing,
                                        missing, missing, missing, missing}));
}

TEST_F(SurfaceTest, StretchingToNothingDrawsNothing) {
    const int32_t s = Create(8, 8);
    ASSERT_TRUE(GR_Surface_Set_Target(0, s));
    GR_D3D_Clear(kRed, 1.0f, 0, 7);
    ASSERT_TRUE(GR_Surface_Reset_Target());
    Call("draw_surface_stretched", {R(s), R(10), R(10), R(0), R(20)});
    Call("draw_surface_stretched", {R(s), R(40), R(40), R(16), R(16)});
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    EXPECT_EQ(pixels[15 * 80 + 10], 0xFF000000u);
    EXPECT_EQ(pixels[55 * 80 + 55], 0xFFFF0000u);
    EXPECT_EQ(pixels[56 * 80 + 56], 0xFF000000u);
}

}  // namespace
}  // namespace spritetest
