// Speech bubbles in the running game: words typed with a voice each, a press that completes
// the text without voices, a press that closes it into a mirrored poof with a pop, and the help
// bubble's pop.
#include <cmath>

#include "GameWorld.h"
#include "game/Game_Actions.h"
#include "game/Game_Functions.h"

namespace {

using namespace hvs;

constexpr const char* kThankYou =
    "[\"Thank\", \"you.\", \"I\", \"really\", \"needed\", {\"word\": \"that!\", \"delay\": 60}, \"(purr)\"]";

class SpeechTest : public gametest::GameWorldTest {
protected:
    // A bubble made by the script over the player in a conversation, as the cats make theirs:
    // Space then reaches the bubble and not the player's jump.
    CInstance* Bubble(const char* words) {
        SetSlot(First(OBJ_obj_state_manager), S_state, 1);
        CInstance* dude = First(OBJ_obj_dude);
        RValue a[5] = {RValue_Real(dude->x), RValue_Real(dude->y - 40), RValue_Undefined(), RValue_Real(1),
                       RValue_Real(SND_snd_purr)};
        RValue_CreateString(&a[2], words);
        RValue* args[5] = {&a[0], &a[1], &a[2], &a[3], &a[4]};
        RValue result = RValue_Undefined();
        hvs_Script_scr_create_speech(nullptr, nullptr, &result, 5, args);
        RValue_Release(&a[2]);
        CInstance* bubble = Instance_Find(static_cast<int32_t>(RValue_ToReal(&result)));
        RValue_Release(&result);
        return bubble;
    }
    static std::string Text(CInstance* bubble) {
        const char* text = RValue_GetStringText(bubble->SlotRef(S_text));
        return text ? text : "";
    }
};

TEST_F(SpeechTest, WordsTypeWithAVoiceEachAPressCompletesThemSilentlyAndTheNextCloses) {
    StartGame();
    CInstance* bubble = Bubble(kThankYou);
    ASSERT_NE(bubble, nullptr);
    Frames(6);
    EXPECT_EQ(Text(bubble), "");
    Frames(1);  // the script's first alarm: 7 steps
    EXPECT_EQ(Text(bubble), " Thank");
    EXPECT_EQ(Plays(SND_snd_purr), 1);
    Frames(7);
    EXPECT_EQ(Text(bubble), " Thank you.");
    EXPECT_EQ(Plays(SND_snd_purr), 2);

    // The rest at once: no voice, no wait for the word's own delay.
    Press(kVkSpace);
    EXPECT_EQ(Text(bubble), " Thank you. I really needed that! (purr)");
    EXPECT_EQ(Slot(bubble, S_current), 7);
    Frames(80);
    EXPECT_EQ(Plays(SND_snd_purr), 2);
    EXPECT_EQ(Count(OBJ_obj_speech), 1);

    bubble->image_xscale = 1, bubble->image_yscale = -1;
    Press(kVkSpace);
    EXPECT_EQ(Count(OBJ_obj_speech), 0);
    CInstance* poof = First(OBJ_obj_speech_poof);
    ASSERT_NE(poof, nullptr);
    EXPECT_EQ(std::fabs(poof->image_xscale), 2.0f);
    EXPECT_EQ(poof->image_yscale, -2.0f);
    EXPECT_EQ(poof->image_speed, 0.25f);
    EXPECT_EQ(Plays(SND_snd_speech_pop), 1);
    // 11 frames at a quarter speed.
    Frames(43);
    EXPECT_EQ(Count(OBJ_obj_speech_poof), 1);
    Frames(1);
    EXPECT_EQ(Count(OBJ_obj_speech_poof), 0);
    EXPECT_EQ(Errors(), "");
}

TEST_F(SpeechTest, APressInTheStepOfTheLastWordClosesTheBubble) {
    StartGame();
    CInstance* bubble = Bubble("[\"Hi\"]");
    ASSERT_NE(bubble, nullptr);
    Frames(6);
    IO_OnKeyDown(kVkSpace, false);
    Frames(1);  // the alarm types the only word before the step reads the press
    IO_OnKeyUp(kVkSpace);
    EXPECT_EQ(Count(OBJ_obj_speech), 0);
    EXPECT_EQ(Count(OBJ_obj_speech_poof), 1);
    EXPECT_EQ(Errors(), "");
}

TEST_F(SpeechTest, TheHelpBubblePopsIntoADoubleSizePoofWithASound) {
    StartGame();
    CInstance* help = First(OBJ_obj_help);
    ASSERT_NE(help, nullptr) << "the state manager puts it over the player";
    const float x = help->x;
    Frames(3);
    gametest::Played().sounds.clear();
    Game_InstanceDestroyDirect(help);
    CInstance* poof = First(OBJ_obj_help_poof);
    ASSERT_NE(poof, nullptr);
    EXPECT_EQ(poof->x, x);
    EXPECT_EQ(poof->image_xscale, 2.0f);
    EXPECT_EQ(poof->image_yscale, 2.0f);
    EXPECT_EQ(Plays(SND_snd_speech_pop), 1);
    Frames(27);
    EXPECT_EQ(Count(OBJ_obj_help_poof), 1);
    Frames(1);
    EXPECT_EQ(Count(OBJ_obj_help_poof), 0);
    EXPECT_EQ(Errors(), "");
}

}  // namespace
