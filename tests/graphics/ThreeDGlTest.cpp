// Fixed-function lighting on the real GL device: a block face lit head-on by a white
// directional light, with no ambient light, shows its vertex colour; unlit it is black.
#include <vector>

#include "GraphicsFixture.h"
#include "graphics/Graphics_Light.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Primitive3D.h"
#include "support/GpuTestSupport.h"

namespace {

class ThreeDGlTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        UseSoftwareGl();
        GR_Hooks_Reset();  // the real device
    }
    void TearDown() override {
        GR_D3D_Set_Lighting(false);
        GraphicsTest::TearDown();
    }

    // The centre pixel of a 32 x 32 frame holding a block seen from above (its top face,
    // normal (0, 0, 1), drawn last), lit by one light pointing down -z when `lightOn`.
    uint32_t LitBlockCentre(bool lightOn) {
        Open(0, 32, 32);
        Start_Frame();
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
        GR_D3D_Light_Define_Ambient(0);
        GR_D3D_Light_Define_Direction(0, 0, 0, -1, 0xFFFFFFFFu);
        GR_D3D_Light_Enable(0, lightOn);
        GR_D3D_Set_Lighting(true);
        GR_Draw_Set_Colour(0x4080C0);
        GR_D3D_Draw_Block(4, 4, 0, 28, 28, 10, -1, 1, 1);
        End_Frame(true);
        return ReadBackBuffer(g_D3D.device)[16 * 32 + 16];
    }
};

TEST_F(ThreeDGlTest, FaceLitHeadOnByWhiteLightShowsItsVertexColour) {
    const uint32_t pixel = LitBlockCentre(true);
    EXPECT_NEAR(static_cast<int>(pixel >> 16 & 0xFF), 0xC0, 1);
    EXPECT_NEAR(static_cast<int>(pixel >> 8 & 0xFF), 0x80, 1);
    EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 0x40, 1);
}

TEST_F(ThreeDGlTest, FaceWithoutLightOrAmbientIsBlack) {
    EXPECT_EQ(LitBlockCentre(false) & 0xFFFFFFu, 0u);
}

}  // namespace
