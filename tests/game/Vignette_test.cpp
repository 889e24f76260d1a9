// The vignette over a grey room, drawn on the off-screen GL device through the room's frame and
// read back: it multiplies what is on the screen, so its black edge turns the grey to black and
// its white middle leaves the grey as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "EmbeddedGame.h"
#include "assets/ImageDecode.h"
#include "assets/Particle_Main.h"
#include "assets/Sprite_Main.h"
#include "game/Game_Assets.h"
#include "graphics/TextureTestSupport.h"
#include "room/Room_Draw.h"
#include "runner/GameLoopTestSupport.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

constexpr int32_t kWidth = 1280, kHeight = 720;  // view port 0 of the game's rooms
constexpr uint32_t kGrey = 0x808080;

// The game world of the loop tests, kept beside the device fixture.
struct World : gameloop_test::GameLoopTest {
    using GameLoopTest::SetUp;
    using GameLoopTest::Start;
    using GameLoopTest::TearDown;
    void TestBody() override {}
};

class VignetteTest : public GlTextureTest {
protected:
    void SetUp() override {
        GlTextureTest::SetUp();
        m_world.SetUp();
        ClearParticles();  // systems and particles earlier tests of the game made
        gametest::RegisterBuiltins();
        Image_InstallTextureReader();  // the game's texture pages are PNG files
        Open(0, kWidth, kHeight);
        ASSERT_TRUE(Start_Frame());
        ASSERT_TRUE(gametest::LoadEmbedded()) << (Form_LoadError() ? Form_LoadError() : "");
        g_Switches.headless = false;  // a headless run would end after the room's creation code
        World::Start();
        // Nothing of the room is drawn but its grey and one vignette: no particles the room's
        // creation made, no other instance.
        ClearParticles();
        CRoom* room = Run_Room();
        ASSERT_NE(room, nullptr);
        room->colour = kGrey;
        room->showColour = true;
        for (CInstance* i = room->active.head; i; i = i->depthNext) {
            if (i->object_index == OBJ_obj_vignette && !m_vignette) {
                m_vignette = i;
                continue;
            }
            i->visible = 0;
        }
        ASSERT_NE(m_vignette, nullptr);
    }
    void TearDown() override {
        m_world.TearDown();
        ClearParticles();
        Sprite_FreeAll();
        GlTextureTest::TearDown();
    }

    static void ClearParticles() {
        ParticleSystem_DestroyAll();
        ParticleType_DestroyAll();
    }

    // One frame of the room, its colours as 0xRRGGBB, rows top first.
    static std::vector<uint32_t> DrawFrame() {
        Draw_Frame();
        EXPECT_TRUE(End_Frame(true));
        std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
        for (uint32_t& p : pixels) p &= 0xFFFFFF;
        EXPECT_TRUE(Start_Frame());
        return pixels;
    }

    static uint32_t At(const std::vector<uint32_t>& pixels, int32_t x, int32_t y) {
        return pixels[static_cast<size_t>(y) * kWidth + x];
    }

    World m_world;
    CInstance* m_vignette = nullptr;
};

TEST_F(VignetteTest, BlackEdgeMultipliesToZeroAndWhiteMiddleKeepsTheGrey) {
    m_vignette->visible = 0;
    const std::vector<uint32_t> bare = DrawFrame();
    ASSERT_EQ(bare.size(), size_t{kWidth} * kHeight);
    for (uint32_t p : bare) ASSERT_EQ(p, kGrey) << "only the room's colour without the vignette";

    m_vignette->visible = 1;
    const std::vector<uint32_t> shaded = DrawFrame();
    ASSERT_EQ(shaded.size(), size_t{kWidth} * kHeight);
    // The corners of the port lie in the picture's black border.
    for (auto [x, y] :
         {std::pair{0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}, {8, 8}})
        EXPECT_EQ(At(shaded, x, y), 0u) << x << ", " << y;
    // Its white middle: the grey comes through unchanged.
    for (auto [x, y] :
         {std::pair{kWidth / 2, kHeight / 2}, {kWidth / 2 - 200, kHeight / 2 + 100}, {kWidth / 2, 200}})
        EXPECT_EQ(At(shaded, x, y), kGrey) << x << ", " << y;
    // Between them the grey darkens toward the edge, never brightens.
    uint32_t previous = kGrey;
    for (int32_t x = kWidth / 2; x >= 0; x -= 16) {
        const uint32_t green = (At(shaded, x, kHeight / 2) >> 8) & 0xFF;
        EXPECT_LE(green, previous) << x;
        previous = green;
    }
    EXPECT_LT(previous, 0x80u);
}

}  // namespace
