// draw_highscore with a monospaced test font: names at x1, values right-aligned on x2.
#include "ServicesTestSupport.h"
#include "assets/TextTestSupport.h"
#include "services/Run_Score.h"

using namespace texttest;

namespace {

class HighscoreDrawTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        ASSERT_TRUE(Load(GameWithFonts({FixedFont("fnt_fixed", 8, 15)})));
        Text_SetFont(0);
        Highscore_Init();
    }
    void TearDown() override {
        Highscore_Free();
        TextTest::TearDown();
    }
};

}  // namespace

TEST_F(HighscoreDrawTest, NamesAtTheLeftValuesOnTheRightAndNoNameForANamelessPlace) {
    Highscore_Add(nullptr, 70);
    // Each line (y2 - y1) / 10 below the last, truncated toward zero: 95 / 10 gives 9.
    servicestest::Call("draw_highscore",
                       {RValue_Real(10), RValue_Real(5), RValue_Real(200), RValue_Real(100)});
    const std::vector<std::pair<float, float>> corners = QuadCorners();
    ASSERT_EQ(corners.size(), 2u + 9u * (8u + 1u));
    EXPECT_EQ(corners[0], std::make_pair(184.0f, 5.0f));  // "70", 16 pixels wide, ends on x2
    EXPECT_EQ(corners[1], std::make_pair(192.0f, 5.0f));
    EXPECT_EQ(corners[2], std::make_pair(10.0f, 14.0f));  // "<nobody>" of place 2
    EXPECT_EQ(corners[10], std::make_pair(192.0f, 14.0f));
    EXPECT_EQ(corners.back(), std::make_pair(192.0f, 5.0f + 9 * 9));
}
