// Visible virtual keys are drawn over the frame as white rectangles placed in GUI coordinates.
#include <cstring>
#include <utility>
#include <vector>

#include "../graphics/GraphicsFixture.h"
#include "room/Room_Draw.h"
#include "world/IO_Main.h"

namespace {

class VirtualKeyDraw : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        g_BatchMethod = 2;  // user-pointer draws, whose vertices the trace device keeps
        OpenInFrame();      // 640 x 480
        IO_Init();
        g_DisplayMapping = DisplayMapping{};
        Trace().drawnVertices.clear();
    }
    void TearDown() override {
        IO_End();
        g_DisplayMapping = DisplayMapping{};
        GraphicsTest::TearDown();
    }

    VirtualKey* AddKey(int32_t x, int32_t y, int32_t w, int32_t h, bool visible) {
        VirtualKey* key = IO_VirtualKey(IO_AddVirtualKeySlot());
        key->left = x, key->top = y, key->right = x + w, key->bottom = y + h;
        key->flags = VIRTUAL_KEY_IN_USE | (visible ? VIRTUAL_KEY_VISIBLE : 0);
        return key;
    }

    // Corners of every drawn triangle list, with the colour and depth of each vertex checked.
    std::vector<std::pair<float, float>> Drawn() {
        std::vector<std::pair<float, float>> points;
        for (const auto& d : Trace().drawnVertices) {
            EXPECT_EQ(d.kind, 4u);  // triangle list
            for (size_t at = 0; at + d.stride <= d.bytes.size(); at += d.stride) {
                float xyz[3];
                uint32_t colour;
                std::memcpy(xyz, &d.bytes[at], 12);
                std::memcpy(&colour, &d.bytes[at + 12], 4);
                EXPECT_EQ(xyz[2], 0.5f);
                EXPECT_EQ(colour, 0xFFFFFFFFu);
                points.push_back({xyz[0], xyz[1]});
            }
        }
        return points;
    }
};

TEST_F(VirtualKeyDraw, OnlyVisibleKeysAreDrawnTwoTrianglesEach) {
    AddKey(10, 20, 30, 40, false);
    Draw_VirtualKeys();
    EXPECT_TRUE(Drawn().empty());

    AddKey(100, 50, 20, 10, true);
    Draw_VirtualKeys();
    const std::vector<std::pair<float, float>> expected = {{100, 50}, {120, 50}, {120, 60},
                                                           {120, 60}, {100, 60}, {100, 50}};
    EXPECT_EQ(Drawn(), expected);
}

TEST_F(VirtualKeyDraw, TheGuiSizeScalesKeysOntoTheWindow) {
    g_DisplayMapping.guiWidth = 320;  // half the window: everything doubles
    g_DisplayMapping.guiHeight = 240;
    AddKey(10, 20, 30, 40, true);
    Draw_VirtualKeys();
    const std::vector<std::pair<float, float>> points = Drawn();
    ASSERT_EQ(points.size(), 6u);
    EXPECT_EQ(points[0], std::make_pair(20.0f, 40.0f));
    EXPECT_EQ(points[2], std::make_pair(80.0f, 120.0f));
}

}  // namespace
