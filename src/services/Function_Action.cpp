#include "services/Function_Action.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "assets/Background_Main.h"
#include "assets/Graphics_Text.h"
#include "assets/Particle_Effects.h"
#include "assets/Particle_Main.h"
#include "assets/Sprite_Main.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Main.h"
#include "audio/Sound_Builtins.h"
#include "audio/Sound_Main.h"
#include "base/Error_Report.h"
#include "base/GameOptions.h"
#include "base/RunState.h"
#include "base/Runner.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Window.h"
#include "io/LoadSave.h"
#include "platform/PlatformOS.h"
#include "room/Room_Draw.h"
#include "services/Function_Interaction.h"
#include "services/InputQuery.h"
#include "services/Run_Score.h"
#include "world/Event_Main.h"
#include "world/Function_IO.h"
#include "world/GameLoopServices.h"
#include "world/GameSave.h"
#include "world/IO_Main.h"
#include "world/Motion_Planning.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/Run_Command.h"

namespace {

#define ACTION(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

constexpr int32_t kEventCreate = 0;
constexpr int32_t kEventDestroy = 1;
constexpr int32_t kEventOther = 7;
constexpr int32_t kNoMoreLives = 6;
constexpr int32_t kNoMoreHealth = 9;
constexpr uint32_t kWhite = 0xFFFFFF;

// --- the relative flag ------------------------------------------------------------------

bool Relative() {
    return g_ActionRelative;
}
float RelX(const CInstance* self, float x) {
    return Relative() && self != nullptr ? self->x + x : x;
}
float RelY(const CInstance* self, float y) {
    return Relative() && self != nullptr ? self->y + y : y;
}
float RelValue(float current, float value) {
    return Relative() ? current + value : value;
}

// The action's position fields at n and n + 1, relative-aware.
float ArgX(const CInstance* self, RValue* args, int32_t n) {
    return RelX(self, Arg_GetFloat(args, n));
}
float ArgY(const CInstance* self, RValue* args, int32_t n) {
    return RelY(self, Arg_GetFloat(args, n));
}

// An argument's text form (the `string` built-in's), optionally with "#" made a line break.
// The caller frees it.
char* ValueText(const RValue* args, int32_t n, bool convertHashes) {
    char* base = nullptr;
    char* cursor = nullptr;
    int32_t capacity = 0;
    RValue_AppendText(cursor, base, capacity, &args[n]);
    if (base == nullptr) base = MEM_COPY_TEXT("");
    if (convertHashes) String_ConvertHashNewlines(base);
    return base;
}

int32_t RoomWidth() {
    const CRoom* room = Run_Room();
    return room != nullptr ? room->width : 0;
}
int32_t RoomHeight() {
    const CRoom* room = Run_Room();
    return room != nullptr ? room->height : 0;
}

// Operation 1 less, 2 greater, anything else equal.
bool Compare(double value, double against, int32_t operation) {
    if (operation == 1) return value < against;
    if (operation == 2) return value > against;
    return value == against;
}

// --- empty actions ------------------------------------------------------------------------

ACTION(ActionNothing) {}

// --- motion -------------------------------------------------------------------------------

ACTION(ActionSetRelative) {
    g_ActionRelative = Arg_GetBool(args, 0);
}

// The nine characters are a 3 x 3 grid read from the bottom row up: the direction of each
// cell, the centre meaning stop.
constexpr float kGridDirections[9] = {225, 270, 315, 180, 0, 0, 135, 90, 45};
constexpr int32_t kGridCentre = 4;

ACTION(ActionMove) {
    const char* directions = Arg_GetString(args, 0);
    if (directions == nullptr || std::strlen(directions) != 9) {
        Error_Report("Wrong argument to action_move().", false);
        return;
    }
    if (std::strchr(directions, '1') == nullptr) return;
    self->SetSpeed(RelValue(self->speed, Arg_GetFloat(args, 1)));
    int32_t cell = 0;
    do {
        cell = static_cast<int32_t>(Random_IntMod(9));
    } while (directions[cell] != '1');
    if (cell == kGridCentre) {
        self->SetDirection(0);
        self->SetSpeed(0);
        return;
    }
    self->SetDirection(kGridDirections[cell]);
}

ACTION(ActionSetMotion) {
    const float direction = Arg_GetFloat(args, 0), speed = Arg_GetFloat(args, 1);
    if (Relative()) {
        self->AddMotion(direction, speed);
        return;
    }
    self->SetDirection(direction);
    self->SetSpeed(speed);
}
ACTION(ActionSetHSpeed) {
    self->SetHSpeed(RelValue(self->hspeed, Arg_GetFloat(args, 0)));
}
ACTION(ActionSetVSpeed) {
    self->SetVSpeed(RelValue(self->vspeed, Arg_GetFloat(args, 0)));
}
ACTION(ActionSetGravity) {
    self->gravity_direction = RelValue(self->gravity_direction, Arg_GetFloat(args, 0));
    self->gravity = RelValue(self->gravity, Arg_GetFloat(args, 1));
}
ACTION(ActionSetFriction) {
    self->friction = RelValue(self->friction, Arg_GetFloat(args, 0));
}
ACTION(ActionMovePoint) {
    Command_MoveTowardsPoint(self, ArgX(self, args, 0), ArgY(self, args, 1), Arg_GetFloat(args, 2));
}
ACTION(ActionMoveTo) {
    self->SetPosition(ArgX(self, args, 0), ArgY(self, args, 1));
}
ACTION(ActionMoveStart) {
    self->SetPosition(self->xstart, self->ystart);
}

// A coordinate drawn in [low, high) and snapped down to the grid. An empty range (the box as
// wide as the room, or wider) has no values to draw from: the low end keeps the box in the room.
float RandomCoordinate(int32_t low, int32_t high, int32_t snap) {
    double value = low;
    if (high > low) value = static_cast<uint32_t>(low + static_cast<int32_t>(Random_IntMod(high - low)));
    if (snap > 0) value = snap * std::floor(value / snap);
    return static_cast<float>(value);
}

ACTION(ActionMoveRandom) {
    const int32_t hsnap = Arg_GetInt32(args, 0), vsnap = Arg_GetInt32(args, 1);
    int32_t xmin = 0, xmax = RoomWidth(), ymin = 0, ymax = RoomHeight();
    if (Sprite_Exists(self->sprite_index) || Sprite_Exists(self->mask_index)) {
        if (self->boxDirty) self->ComputeBoundingBox(true);
        xmin = static_cast<int32_t>(std::nearbyint(self->x - self->bbox_left));
        xmax = static_cast<int32_t>(std::nearbyint(xmax + self->x - self->bbox_right));
        ymin = static_cast<int32_t>(std::nearbyint(self->y - self->bbox_top));
        ymax = static_cast<int32_t>(std::nearbyint(ymax + self->y - self->bbox_bottom));
    }
    for (int32_t attempt = 0; attempt < 99; ++attempt) {
        const float nx = RandomCoordinate(xmin, xmax, hsnap);
        const float ny = RandomCoordinate(ymin, ymax, vsnap);
        if (Command_PlaceFree(self, nx, ny)) {
            self->SetPosition(nx, ny);
            return;
        }
    }
}

ACTION(ActionSnap) {
    Command_MoveSnap(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1));
}
ACTION(ActionWrap) {
    const int32_t choice = Arg_GetInt32(args, 0);
    Command_MoveWrap(self, choice == 0 || choice == 2, choice == 1 || choice == 2);
}
ACTION(ActionReverseXDir) {
    self->SetHSpeed(-self->hspeed);
}
ACTION(ActionReverseYDir) {
    self->SetVSpeed(-self->vspeed);
}
ACTION(ActionMoveContact) {
    Command_MoveContact(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetBool(args, 2));
}
ACTION(ActionBounce) {
    Command_MoveBounce(self, Arg_GetBool(args, 0), Arg_GetBool(args, 1));
}
ACTION(ActionPath) {
    self->StartPath(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), 1, 0, !Arg_GetBool(args, 3),
                    Arg_GetInt32(args, 2));
}
ACTION(ActionPathEnd) {
    self->StartPath(-1, 0, 1, 0, false, 0);
}
ACTION(ActionPathPosition) {
    self->SetPathPosition(RelValue(self->path_position, Arg_GetFloat(args, 0)));
}
ACTION(ActionPathSpeed) {
    self->SetPathSpeed(RelValue(self->path_speed, Arg_GetFloat(args, 0)));
}
ACTION(ActionLinearStep) {
    Command_MpLinearStep(self, ArgX(self, args, 0), ArgY(self, args, 1), Arg_GetFloat(args, 2), kFilterAll,
                         Arg_GetBool(args, 3));
}
ACTION(ActionPotentialStep) {
    Command_MpPotentialStep(self, ArgX(self, args, 0), ArgY(self, args, 1), Arg_GetFloat(args, 2), kFilterAll,
                            Arg_GetInt32(args, 3) > 0);
}

// --- instances and sprites ------------------------------------------------------------------

ACTION(ActionKillObject) {
    Action_KillObject(self);
}

// The new instance's Create event runs after the motion is set, so it sees that motion.
CInstance* CreateObject(int32_t object, float x, float y) {
    CRoom* room = Run_Room();
    if (!Object_Exists(object)) {
        char message[64];
        std::snprintf(message, sizeof message, "Creating instance for non-existing object: %d", object);
        Error_Report(message, false);
        return nullptr;
    }
    return room != nullptr ? room->CreateInstance(x, y, object) : nullptr;
}
void PerformCreate(CInstance* instance) {
    PerformEvent_Instance(instance, instance, kEventCreate, 0);
    instance->created = 1;
}

ACTION(ActionCreateObject) {
    if (CInstance* made = CreateObject(Arg_GetInt32(args, 0), ArgX(self, args, 1), ArgY(self, args, 2)))
        PerformCreate(made);
}
ACTION(ActionCreateObjectMotion) {
    CInstance* made = CreateObject(Arg_GetInt32(args, 0), ArgX(self, args, 1), ArgY(self, args, 2));
    if (made == nullptr) return;
    made->SetSpeed(Arg_GetFloat(args, 3));
    made->SetDirection(Arg_GetFloat(args, 4));
    PerformCreate(made);
}
ACTION(ActionCreateObjectRandom) {
    int32_t objects[4];
    bool any = false;
    for (int32_t i = 0; i < 4; ++i) {
        objects[i] = Arg_GetInt32(args, i);
        any = any || Object_Exists(objects[i]);
    }
    if (!any) return;
    int32_t pick = 0;
    do {
        pick = objects[Random_IntMod(4)];
    } while (!Object_Exists(pick));
    if (CInstance* made = CreateObject(pick, ArgX(self, args, 4), ArgY(self, args, 5))) PerformCreate(made);
}
ACTION(ActionChangeObject) {
    Command_InstanceChange(self, Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}
ACTION(ActionKillPosition) {
    Command_PositionDestroy(ArgX(self, args, 0), ArgY(self, args, 1));
}
ACTION(ActionSetSprite) {
    Command_SetSprite(self, Arg_GetInt32(args, 0));
    const float scale = Arg_GetFloat(args, 1);
    if (scale <= 0) return;
    self->SetImageXScale(scale);
    self->SetImageYScale(scale);
}
ACTION(ActionSpriteSet) {
    Command_SetSprite(self, Arg_GetInt32(args, 0));
    const int32_t subimage = Arg_GetInt32(args, 1);
    if (subimage >= 0) self->image_index = static_cast<float>(subimage);
    self->image_speed = Arg_GetFloat(args, 2);
}
ACTION(ActionSpriteTransform) {
    const float xscale = Arg_GetFloat(args, 0), yscale = Arg_GetFloat(args, 1);
    const int32_t mirror = Arg_GetInt32(args, 3);
    self->SetImageXScale(mirror == 1 || mirror == 3 ? -xscale : xscale);
    self->SetImageYScale(mirror == 2 || mirror == 3 ? -yscale : yscale);
    self->SetImageAngle(Arg_GetFloat(args, 2));
}
ACTION(ActionSpriteColour) {
    self->image_blend = Arg_GetColour(args, 0);
    self->image_alpha = Arg_GetFloat(args, 1);
}

// The replace actions need both the resource and the file; each missing one has its message.
bool CanReplace(bool exists, const char* file) {
    if (!exists) {
        Error_Report("Trying to replace non-existing resource.", false);
        return false;
    }
    if (file == nullptr || !(LoadSave_BundleFileExists(file) || LoadSave_SaveFileExists(file))) {
        Error_Report("File does not exist.", false);
        return false;
    }
    return true;
}

ACTION(ActionReplaceSprite) {
    const int32_t index = Arg_GetInt32(args, 0);
    const char* file = Arg_GetString(args, 1);
    if (!CanReplace(Sprite_Exists(index), file)) return;
    const CSprite* sprite = Sprite_Get(index);
    SpriteLoadOptions options;
    options.frames = Arg_GetInt32(args, 2);
    options.precise = sprite->m_precise;
    options.removeBackground = sprite->m_transparent;
    options.smooth = sprite->m_smooth;
    options.preload = sprite->m_preload;
    options.originX = sprite->m_originX;
    options.originY = sprite->m_originY;
    Sprite_Replace(index, file, options);
}
ACTION(ActionReplaceSound) {
    const int32_t index = Arg_GetInt32(args, 0);
    const char* file = Arg_GetString(args, 1);
    if (!CanReplace(Sound_Exists(index), file)) return;
    const CSound* sound = Sound_Get(index);
    Sound_Replace(index, file, sound->kind, sound->preload);
}
ACTION(ActionReplaceBackground) {
    const int32_t index = Arg_GetInt32(args, 0);
    const char* file = Arg_GetString(args, 1);
    if (!CanReplace(Background_Exists(index), file)) return;
    const CBackground* background = Background_Get(index);
    Background_Replace(index, file, background->GetTransparent(), background->GetSmooth(),
                       background->GetPreload());
}

// --- sound, rooms, time and game ------------------------------------------------------------

ACTION(ActionSound) {
    const int32_t index = Arg_GetInt32(args, 0);
    const bool loop = Arg_GetBool(args, 1);
    if (Audio_UsingNewSystem()) {
        Audio_PlaySimpleSound(index, 1, loop ? 1 : 0);
        return;
    }
    CSound* sound = Sound_Get(index);
    if (sound == nullptr) {
        Error_Report("Trying to play non-existing sound.", false);
        return;
    }
    SND_Play(sound->fileName, sound->GetSoundId(), loop);
}
ACTION(ActionEndSound) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (Audio_UsingNewSystem()) {
        Audio_StopSound(index);
        return;
    }
    CSound* sound = Sound_Get(index);
    if (sound == nullptr) {
        Error_Report("Trying to stop non-existing sound.", false);
        return;
    }
    SND_Stop(sound->fileName, sound->GetSoundId());
}
ACTION(ActionIfSound) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (Audio_UsingNewSystem()) return Result_SetFlag(result, Audio_IsPlaying(index));
    CSound* sound = Sound_Get(index);
    Result_SetFlag(result, sound != nullptr && SND_IsPlaying(sound->fileName, sound->GetSoundId()));
}
ACTION(ActionAnotherRoom) {
    Command_RoomGoto(Arg_GetInt32(args, 0));
}
ACTION(ActionCurrentRoom) {
    Command_RoomRestart();
}
ACTION(ActionPreviousRoom) {
    Command_RoomGotoPrevious();
}
ACTION(ActionNextRoom) {
    Command_RoomGotoNext();
}
ACTION(ActionIfPreviousRoom) {
    Result_SetFlag(result, Run_RoomIndex() != Room_First());
}
ACTION(ActionIfNextRoom) {
    Result_SetFlag(result, Run_RoomIndex() != Room_Last());
}
ACTION(ActionSetAlarm) {
    const int32_t alarm = Arg_GetInt32(args, 1);
    int32_t steps = Arg_GetInt32(args, 0);
    const int32_t current = self->GetAlarm(alarm);
    if (Relative() && current >= 0) steps += current;
    self->SetAlarm(alarm, steps);
}
ACTION(ActionSleep) {
    if (Arg_GetBool(args, 1)) {
        Draw_Frame();
        End_Frame(true);
        Start_Frame();
    }
    Timing_Wait(static_cast<int64_t>(std::nearbyint(Arg_GetReal(args, 0) * 1000)));
}
ACTION(ActionSetTimeline) {
    self->timeline_index = Arg_GetInt32(args, 0);
    self->timeline_position = RelValue(self->timeline_position, Arg_GetFloat(args, 1));
    self->timeline_running = 1;
}
ACTION(ActionSetTimelinePosition) {
    self->timeline_position = RelValue(self->timeline_position, Arg_GetFloat(args, 0));
}
ACTION(ActionSetTimelineSpeed) {
    self->timeline_speed = RelValue(self->timeline_speed, Arg_GetFloat(args, 0));
}
ACTION(ActionTimelineSet) {
    self->timeline_index = Arg_GetInt32(args, 0);
    self->timeline_position = RelValue(self->timeline_position, Arg_GetFloat(args, 1));
    self->timeline_running = Arg_GetInt32(args, 2) == 0 ? 1 : 0;
    self->timeline_loop = Arg_GetInt32(args, 3) == 1 ? 1 : 0;
}
ACTION(ActionTimelineStart) {
    self->timeline_running = 1;
}
ACTION(ActionTimelinePause) {
    self->timeline_running = 0;
}
ACTION(ActionTimelineStop) {
    self->timeline_position = 0;
    self->timeline_running = 0;
}
ACTION(ActionMessage) {
    char* text = ValueText(args, 0, true);
    IO_ShowMessage(text);
    MEM_FREE(text);
    IO_Clear();
}
ACTION(ActionShowInfo) {
    IO_Clear();
}
// No video is ever shown here: the fullscreen and loop fields have nothing to act on.
ACTION(ActionShowVideo) {
    IO_ShowVideo();
    IO_Clear();
}
ACTION(ActionEndGame) {
    NewRoomCode = ROOM_END_GAME;
}
ACTION(ActionRestartGame) {
    NewRoomCode = ROOM_RESTART_GAME;
}
ACTION(ActionSaveGame) {
    GameSave_File(Arg_GetString(args, 0));
}
ACTION(ActionLoadGame) {
    GameLoad_File(Arg_GetString(args, 0));
}
ACTION(ActionFullscreen) {
    const int32_t choice = Arg_GetInt32(args, 0);
    if (choice == 1) return Window_Set_Fullscreen(false);
    if (choice == 2) return Window_Set_Fullscreen(true);
    Window_Set_Fullscreen(!Window_Get_Fullscreen());
}
ACTION(ActionSetCursor) {
    const bool show = Arg_GetInt32(args, 1) > 0;
    g_RunState.cursorSprite = Arg_GetInt32(args, 0);
    g_GameOptions.showCursor = show;
    Window_Set_Cursor(show ? 0 : -1);
}
// Handed to the desktop's URL handler, never to a shell.
ACTION(ActionWebpage) {
    const char* address = Arg_GetString(args, 0);
    if (address == nullptr || !PlatformOS_OpenWithHandler(address))
        Error_Report("Failed to open the webpage.", false);
}
ACTION(ActionSnapshot) {
    Command_SaveScreen(Arg_GetString(args, 0));
}
ACTION(ActionSetCaption) {
    g_RunState.showScore = Arg_GetBool(args, 0);
    Highscore_SetText(g_RunState.captionScore, Arg_GetString(args, 1));
    g_RunState.showLives = Arg_GetBool(args, 2);
    Highscore_SetText(g_RunState.captionLives, Arg_GetString(args, 3));
    g_RunState.showHealth = Arg_GetBool(args, 4);
    Highscore_SetText(g_RunState.captionHealth, Arg_GetString(args, 5));
    g_RunState.captionSet = true;
}
ACTION(ActionCdPlay) {
    F_CdPlay(result, self, other, argc, args);
}
ACTION(ActionCdStop) {
    F_CdStop(result, self, other, 0, args);
}
ACTION(ActionCdPause) {
    F_CdPause(result, self, other, 0, args);
}
ACTION(ActionCdResume) {
    F_CdResume(result, self, other, 0, args);
}
ACTION(ActionCdPresent) {
    RValue answer = RValue_Real(0);
    F_CdPresent(answer, self, other, 0, args);
    Result_SetFlag(result, RValue_ToReal(&answer) > 0.5);
    RValue_Free(&answer);
}
ACTION(ActionCdPlaying) {
    RValue answer = RValue_Real(0);
    F_CdPlaying(answer, self, other, 0, args);
    Result_SetFlag(result, RValue_ToReal(&answer) > 0.5);
    RValue_Free(&answer);
}

// --- tests and control ------------------------------------------------------------------------

ACTION(ActionIfEmpty) {
    const float x = ArgX(self, args, 0), y = ArgY(self, args, 1);
    Result_SetFlag(
        result, Arg_GetInt32(args, 2) == 0 ? Command_PlaceFree(self, x, y) : Command_PlaceEmpty(self, x, y));
}
ACTION(ActionIfCollision) {
    const float x = ArgX(self, args, 0), y = ArgY(self, args, 1);
    Result_SetFlag(result, Arg_GetInt32(args, 2) == 0 ? !Command_PlaceEmpty(self, x, y)
                                                      : !Command_PlaceFree(self, x, y));
}
ACTION(ActionIfObject) {
    Result_SetFlag(
        result, Command_PlaceMeeting(self, Arg_GetInt32(args, 0), ArgX(self, args, 1), ArgY(self, args, 2)));
}
ACTION(ActionIfNumber) {
    const int32_t count = Command_InstanceNumber(Arg_GetInt32(args, 0));
    Result_SetFlag(result, Compare(count, Arg_GetReal(args, 1), Arg_GetInt32(args, 2)));
}
// The chance is 1001 in round(sides x 1000).
ACTION(ActionIfDice) {
    const double sides = Arg_GetReal(args, 0);
    if (sides <= 1) return Result_SetFlag(result, true);
    const auto n = static_cast<int32_t>(std::nearbyint(sides * 1000));
    Result_SetFlag(result, Random_IntMod(n) <= 1000);
}
ACTION(ActionIfQuestion) {
    char* text = ValueText(args, 0, true);
    const bool yes = Dialog_ShowQuestion("", text);
    MEM_FREE(text);
    IO_Clear();
    Result_SetFlag(result, yes);
}
ACTION(ActionIfMouse) {
    const int32_t button = Arg_GetInt32(args, 0);
    if (button >= 1 && button <= 3)
        return Result_SetFlag(result, IO_MouseButtonDown(button, 0) || IO_MouseButtonReleased(button, 0));
    Result_SetFlag(result, IO_GetMouseButton(0) == 0);
}
bool OffGrid(float position, double snap) {
    return snap > 0 && std::fabs(position - std::nearbyint(position / snap) * snap) >= 0.001;
}
ACTION(ActionIfAligned) {
    Result_SetFlag(result,
                   !OffGrid(self->x, Arg_GetReal(args, 0)) && !OffGrid(self->y, Arg_GetReal(args, 1)));
}

// -1, 0 or 1 as the texts compare byte by byte; the same record is equal, a missing text greater.
int32_t CompareTexts(const RValue& a, const RValue& b) {
    if (a.str == b.str) return 0;
    const char* left = RValue_GetStringText(&a);
    const char* right = RValue_GetStringText(&b);
    if (left == nullptr || right == nullptr) return 1;
    const int order = std::strcmp(left, right);  // strcmp compares as unsigned bytes
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool Action_CompareValues(const RValue* a, const RValue* b, int32_t operation) {
    if (RValue_Kind(a) != RValue_Kind(b)) {
        Error_Report("Cannot compare arguments.", false);
        return false;
    }
    double d = 0;
    if (RValue_IsString(a)) {
        d = CompareTexts(*a, *b);
    } else {
        d = RValue_ToReal(const_cast<RValue*>(a)) - RValue_ToReal(const_cast<RValue*>(b));
    }
    switch (operation) {
        case 1:
            return d < 0;
        case 2:
            return d > 0;
        case 3:
            return d <= 0;
        case 4:
            return d >= 0;
        default:
            return d == 0;
    }
}

ACTION(ActionIfVariable) {
    Result_SetFlag(result, Action_CompareValues(&args[0], &args[1], Arg_GetInt32(args, 2)));
}
ACTION(ActionIf) {
    RValue_Assign(&result, &args[0]);
}
ACTION(ActionIfScore) {
    Result_SetFlag(result, Compare(g_RunState.score, Arg_GetReal(args, 0), Arg_GetInt32(args, 1)));
}
ACTION(ActionIfLife) {
    Result_SetFlag(result, Compare(g_RunState.lives, Arg_GetReal(args, 0), Arg_GetInt32(args, 1)));
}
ACTION(ActionIfHealth) {
    Result_SetFlag(result, Compare(g_RunState.health, Arg_GetReal(args, 0), Arg_GetInt32(args, 1)));
}
ACTION(ActionInherited) {
    const CurrentEvent running = g_CurrentEvent;
    if (!Object_Exists(running.object)) return;
    const int32_t parent = Object_Find(running.object)->parentIndex;
    if (!Object_Exists(parent)) return;
    PerformEvent_Object(self, other, parent, running.type, running.number);
}
ACTION(ActionExecuteScript) {
    constexpr int32_t kArguments = 5;
    RValue copies[kArguments];
    for (int32_t i = 0; i < kArguments; ++i) {
        copies[i] = RValue_Undefined();
        if (i + 1 < argc) RValue_Assign(&copies[i], &args[i + 1]);
    }
    RValue local = RValue_Undefined();
    Script_Run(Arg_GetInt32(args, 0), self, other, kArguments, &local, copies);
    if (g_RuntimeErrorFlag) Error_Report(Runtime_ErrorText(), false);
    for (RValue& copy : copies) RValue_Free(&copy);
    RValue_Release(&result);
    result = local;
}

// --- score, lives, health and drawing ---------------------------------------------------------

ACTION(ActionSetScore) {
    const int32_t value = Arg_GetInt32(args, 0);
    g_RunState.score = Relative() ? g_RunState.score + value : value;
}
ACTION(ActionSetLife) {
    const int32_t old = g_RunState.lives, value = Arg_GetInt32(args, 0);
    g_RunState.lives = Relative() ? old + value : value;
    if (old > 0 && g_RunState.lives <= 0) PerformEvent_All(kEventOther, kNoMoreLives);
}
ACTION(ActionSetHealth) {
    const double old = g_RunState.health, value = Arg_GetReal(args, 0);
    g_RunState.health = Relative() ? old + value : value;
    if (old > 0 && g_RunState.health <= 0) PerformEvent_All(kEventOther, kNoMoreHealth);
}
void DrawCaptionAndNumber(CInstance* self, RValue* args, long long number) {
    char* caption = ValueText(args, 2, true);
    const size_t length = std::strlen(caption) + 24;
    auto* text = static_cast<char*>(MEM_ALLOC_RAW(length));
    std::snprintf(text, length, "%s%lld", caption, number);
    Text_Draw(ArgX(self, args, 0), ArgY(self, args, 1), text, -1, -1);
    MEM_FREE(text);
    MEM_FREE(caption);
}
ACTION(ActionDrawScore) {
    DrawCaptionAndNumber(self, args, g_RunState.score);
}
ACTION(ActionDrawLife) {
    DrawCaptionAndNumber(self, args, g_RunState.lives);
}
ACTION(ActionDrawLifeImages) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 2));
    if (sprite == nullptr) return;
    const float x = ArgX(self, args, 0), y = ArgY(self, args, 1);
    for (int32_t i = 0; i < g_RunState.lives; ++i)
        sprite->DrawExt(0, x + static_cast<float>(i * sprite->m_width), y, 1, 1, 0, kWhite, 1);
}

// The action palette (0xBBGGRR): background choice n and bar choice n + 1 name colour n - 1.
constexpr uint32_t kPalette[16] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000080, 0x008000,
                                   0x008080, 0x800000, 0x800080, 0x808000, 0x0000FF, 0x00FF00,
                                   0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00};
constexpr uint32_t kRed = 0x0000FF, kYellow = 0x00FFFF, kLime = 0x00FF00;
constexpr uint32_t kBlack = 0x000000, kGray = 0x808080;

uint32_t PaletteColour(int32_t number) {
    return number >= 1 && number <= 16 ? kPalette[number - 1] : kBlack;
}

ACTION(ActionDrawHealth) {
    const int32_t back = Arg_GetInt32(args, 4), bar = Arg_GetInt32(args, 5);
    uint32_t stops[3];
    if (bar == 0) {
        stops[0] = kRed, stops[1] = kYellow, stops[2] = kLime;
    } else if (bar == 1) {
        stops[0] = kBlack, stops[1] = kGray, stops[2] = kWhite;
    } else {
        stops[0] = stops[1] = stops[2] = PaletteColour(bar - 1);
    }
    GR_Draw_Healthbar(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2), ArgY(self, args, 3),
                      static_cast<float>(g_RunState.health), PaletteColour(back), stops[0], stops[1],
                      stops[2], 0, Arg_GetBool(args, 4), true);
}
ACTION(ActionDrawVariable) {
    char* text = ValueText(args, 0, false);
    Text_Draw(ArgX(self, args, 1), ArgY(self, args, 2), text, -1, -1);
    MEM_FREE(text);
}
ACTION(ActionHighscoreShow) {
    const int32_t cx = RoomWidth() / 2, cy = RoomHeight() / 2;
    Interaction_DrawHighscore(cx - 100, cy - 100, cx + 100, cy + 100);
}
ACTION(ActionHighscoreClear) {
    Highscore_Clear();
}
ACTION(ActionDrawSprite) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    if (sprite == nullptr) {
        Error_Report("Trying to draw a non-existing sprite.", false);
        return;
    }
    int32_t frame = Arg_GetInt32(args, 3);
    if (frame < 0) frame = static_cast<int32_t>(self->image_index);
    sprite->DrawExt(frame, ArgX(self, args, 1), ArgY(self, args, 2), 1, 1, 0, kWhite, 1);
}
ACTION(ActionDrawBackground) {
    CBackground* background = Background_Get(Arg_GetInt32(args, 0));
    if (background == nullptr) {
        Error_Report("Trying to draw a non-existing background.", false);
        return;
    }
    const bool tiled = Arg_GetInt32(args, 3) > 0;
    background->DrawTiled(ArgX(self, args, 1), ArgY(self, args, 2), 1, 1, tiled, tiled, 0, 0,
                          static_cast<float>(RoomWidth()), static_cast<float>(RoomHeight()), kWhite, 1);
}
ACTION(ActionDrawText) {
    char* text = ValueText(args, 0, true);
    Text_Draw(ArgX(self, args, 1), ArgY(self, args, 2), text, -1, -1);
    MEM_FREE(text);
}
ACTION(ActionDrawTextTransformed) {
    char* text = ValueText(args, 0, true);
    Text_DrawTransformed(ArgX(self, args, 1), ArgY(self, args, 2), text, -1, -1, Arg_GetFloat(args, 3),
                         Arg_GetFloat(args, 4), Arg_GetFloat(args, 5));
    MEM_FREE(text);
}
ACTION(ActionDrawRectangle) {
    GR_Draw_Rectangle(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2), ArgY(self, args, 3),
                      Arg_GetInt32(args, 4) > 0);
}
ACTION(ActionDrawGradientHor) {
    const uint32_t left = Arg_GetColour(args, 4), right = Arg_GetColour(args, 5);
    GR_Draw_Rectangle_Colour(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2),
                             ArgY(self, args, 3), left, right, right, left, false);
}
ACTION(ActionDrawGradientVert) {
    const uint32_t top = Arg_GetColour(args, 4), bottom = Arg_GetColour(args, 5);
    GR_Draw_Rectangle_Colour(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2),
                             ArgY(self, args, 3), top, top, bottom, bottom, false);
}
ACTION(ActionDrawEllipse) {
    GR_Draw_Ellipse(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2), ArgY(self, args, 3),
                    Arg_GetBool(args, 4));
}
ACTION(ActionDrawEllipseGradient) {
    GR_Draw_Ellipse_Colour(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2), ArgY(self, args, 3),
                           Arg_GetColour(args, 4), Arg_GetColour(args, 5), false);
}
ACTION(ActionDrawLine) {
    GR_Draw_Line(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2), ArgY(self, args, 3));
}
ACTION(ActionDrawArrow) {
    GR_Draw_Arrow(ArgX(self, args, 0), ArgY(self, args, 1), ArgX(self, args, 2), ArgY(self, args, 3),
                  Arg_GetFloat(args, 4));
}
ACTION(ActionColour) {
    GR_Draw_Set_Colour(Arg_GetColour(args, 0));
}
ACTION(ActionFont) {
    Text_SetFont(Arg_GetInt32(args, 0));
    Text_SetHAlign(Arg_GetInt32(args, 1));
}
ACTION(ActionEffect) {
    Effect_Create(Arg_GetBool(args, 5), Arg_GetInt32(args, 0), ArgX(self, args, 1), ArgY(self, args, 2),
                  Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
}

// --- the action particle system ---------------------------------------------------------------

constexpr int32_t kParticleSlots = 16;

struct ActionParticles {
    int32_t system = -1;
    int32_t types[kParticleSlots] = {};
    int32_t emitters[kParticleSlots] = {};
};
ActionParticles g_particles;

bool ValidSlot(int32_t slot) {
    return slot >= 0 && slot < kParticleSlots;
}
int32_t System() {
    if (g_particles.system < 0) g_particles.system = ParticleSystem_Create();
    return g_particles.system;
}
// The type of the slot, made on first use; -1 for a slot outside the table.
int32_t TypeSlot(int32_t slot) {
    if (!ValidSlot(slot)) return -1;
    if (g_particles.types[slot] < 0) g_particles.types[slot] = ParticleType_Create();
    return g_particles.types[slot];
}
int32_t ReadTypeSlot(int32_t slot) {
    return ValidSlot(slot) ? g_particles.types[slot] : -1;
}

ACTION(ActionPartsystCreate) {
    const int32_t system = System();
    ParticleSystem_Clear(system);
    ParticleSystem_SetDepth(system, Arg_GetFloat(args, 0));
    for (int32_t& type : g_particles.types) type = -1;
    for (int32_t& emitter : g_particles.emitters) emitter = -1;
}
ACTION(ActionPartsystDestroy) {
    if (g_particles.system >= 0) ParticleSystem_Destroy(g_particles.system);
    g_particles.system = -1;
}
ACTION(ActionPartsystClear) {
    if (g_particles.system >= 0) Particles_Clear(g_particles.system);
}
ACTION(ActionParttypeCreateOld) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type < 0) return;
    ParticleType_Shape(type, Arg_GetInt32(args, 1));
    ParticleType_Size(type, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), 0, 0);
    ParticleType_Colour2(type, Arg_GetInt32(args, 4), Arg_GetInt32(args, 5));
}
ACTION(ActionParttypeCreate) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type < 0) return;
    ParticleType_Shape(type, Arg_GetInt32(args, 1));
    ParticleType_Sprite(type, Arg_GetInt32(args, 2), true, false, false);
    ParticleType_Size(type, Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), 0);
}
ACTION(ActionParttypeColour) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type < 0) return;
    if (Arg_GetInt32(args, 1) == 0)
        ParticleType_ColourMix(type, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3));
    else
        ParticleType_Colour2(type, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3));
    ParticleType_Alpha2(type, Arg_GetFloat(args, 4), Arg_GetFloat(args, 5));
}
ACTION(ActionParttypeLife) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type >= 0) ParticleType_Life(type, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}
ACTION(ActionParttypeSpeed) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type < 0) return;
    ParticleType_Speed(type, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), -Arg_GetFloat(args, 5), 0);
    ParticleType_Direction(type, Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), 0, 0);
}
ACTION(ActionParttypeGravity) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type >= 0) ParticleType_Gravity(type, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}
ACTION(ActionParttypeSecondary) {
    const int32_t type = TypeSlot(Arg_GetInt32(args, 0));
    if (type < 0) return;
    ParticleType_Step(type, Arg_GetInt32(args, 2), ReadTypeSlot(Arg_GetInt32(args, 1)));
    ParticleType_Death(type, Arg_GetInt32(args, 4), ReadTypeSlot(Arg_GetInt32(args, 3)));
}
ACTION(ActionPartemitCreate) {
    const int32_t slot = Arg_GetInt32(args, 0);
    if (!ValidSlot(slot)) return;
    const int32_t system = System();
    int32_t& emitter = g_particles.emitters[slot];
    if (emitter < 0) emitter = ParticleEmitter_Create(system);
    ParticleEmitter_Region(system, emitter, ArgX(self, args, 2), ArgX(self, args, 3), ArgY(self, args, 4),
                           ArgY(self, args, 5), Arg_GetInt32(args, 1), 0);
}
ACTION(ActionPartemitDestroy) {
    const int32_t slot = Arg_GetInt32(args, 0);
    if (ValidSlot(slot) && g_particles.emitters[slot] >= 0)
        ParticleEmitter_Destroy(System(), g_particles.emitters[slot]);
}
// The emitter of the slot, or -1 after the message when nothing was made for it.
int32_t MadeEmitter(int32_t slot) {
    if (ValidSlot(slot) && g_particles.emitters[slot] >= 0) return g_particles.emitters[slot];
    Error_Report("The particle emitter must first be created.", false);
    return -1;
}
ACTION(ActionPartemitBurst) {
    const int32_t emitter = MadeEmitter(Arg_GetInt32(args, 0));
    if (emitter >= 0)
        ParticleEmitter_Burst(System(), emitter, TypeSlot(Arg_GetInt32(args, 1)), Arg_GetInt32(args, 2));
}
ACTION(ActionPartemitStream) {
    const int32_t emitter = MadeEmitter(Arg_GetInt32(args, 0));
    if (emitter >= 0)
        ParticleEmitter_Stream(System(), emitter, TypeSlot(Arg_GetInt32(args, 1)), Arg_GetInt32(args, 2));
}

const BuiltinRow kRows[] = {
    {"action_path_old", F_ActionNothing, 3, 0},
    {"action_draw_font", F_ActionNothing, 1, 0},
    {"action_draw_font_old", F_ActionNothing, 6, 0},
    {"action_fill_color", F_ActionNothing, 1, 0},
    {"action_fill_colour", F_ActionNothing, 1, 0},
    {"action_line_color", F_ActionNothing, 1, 0},
    {"action_line_colour", F_ActionNothing, 1, 0},
    {"action_highscore", F_ActionNothing, 0, 0},

    {"action_set_relative", F_ActionSetRelative, 1, 0},
    {"action_move", F_ActionMove, 2, 0},
    {"action_set_motion", F_ActionSetMotion, 2, 0},
    {"action_set_hspeed", F_ActionSetHSpeed, 1, 0},
    {"action_set_vspeed", F_ActionSetVSpeed, 1, 0},
    {"action_set_gravity", F_ActionSetGravity, 2, 0},
    {"action_set_friction", F_ActionSetFriction, 1, 0},
    {"action_move_point", F_ActionMovePoint, 3, 0},
    {"action_move_to", F_ActionMoveTo, 2, 0},
    {"action_move_start", F_ActionMoveStart, 0, 0},
    {"action_move_random", F_ActionMoveRandom, 2, 0},
    {"action_snap", F_ActionSnap, 2, 0},
    {"action_wrap", F_ActionWrap, 1, 0},
    {"action_reverse_xdir", F_ActionReverseXDir, 0, 0},
    {"action_reverse_ydir", F_ActionReverseYDir, 0, 0},
    {"action_move_contact", F_ActionMoveContact, 3, 0},
    {"action_bounce", F_ActionBounce, 2, 0},
    {"action_path", F_ActionPath, 4, 0},
    {"action_path_end", F_ActionPathEnd, 0, 0},
    {"action_path_position", F_ActionPathPosition, 1, 0},
    {"action_path_speed", F_ActionPathSpeed, 1, 0},
    {"action_linear_step", F_ActionLinearStep, 4, 0},
    {"action_potential_step", F_ActionPotentialStep, 4, 0},

    {"action_kill_object", F_ActionKillObject, 0, 0},
    {"action_create_object", F_ActionCreateObject, 3, 0},
    {"action_create_object_motion", F_ActionCreateObjectMotion, 5, 0},
    {"action_create_object_random", F_ActionCreateObjectRandom, 6, 0},
    {"action_change_object", F_ActionChangeObject, 2, 0},
    {"action_kill_position", F_ActionKillPosition, 2, 0},
    {"action_set_sprite", F_ActionSetSprite, 2, 0},
    {"action_sprite_set", F_ActionSpriteSet, 3, 0},
    {"action_sprite_transform", F_ActionSpriteTransform, 4, 1},
    {"action_sprite_color", F_ActionSpriteColour, 2, 1},
    {"action_sprite_colour", F_ActionSpriteColour, 2, 1},
    {"action_replace_sprite", F_ActionReplaceSprite, 3, 1},
    {"action_replace_sound", F_ActionReplaceSound, 2, 1},
    {"action_replace_background", F_ActionReplaceBackground, 2, 1},

    {"action_sound", F_ActionSound, 2, 0},
    {"action_end_sound", F_ActionEndSound, 1, 0},
    {"action_if_sound", F_ActionIfSound, 1, 0},
    {"action_another_room", F_ActionAnotherRoom, 1, 0},
    {"action_current_room", F_ActionCurrentRoom, 0, 0},
    {"action_previous_room", F_ActionPreviousRoom, 0, 0},
    {"action_next_room", F_ActionNextRoom, 0, 0},
    {"action_if_previous_room", F_ActionIfPreviousRoom, 0, 0},
    {"action_if_next_room", F_ActionIfNextRoom, 0, 0},
    {"action_set_alarm", F_ActionSetAlarm, 2, 0},
    {"action_sleep", F_ActionSleep, 2, 0},
    {"action_set_timeline", F_ActionSetTimeline, 2, 0},
    {"action_set_timeline_position", F_ActionSetTimelinePosition, 1, 0},
    {"action_set_timeline_speed", F_ActionSetTimelineSpeed, 1, 0},
    {"action_timeline_set", F_ActionTimelineSet, 4, 0},
    {"action_timeline_start", F_ActionTimelineStart, 0, 0},
    {"action_timeline_pause", F_ActionTimelinePause, 0, 0},
    {"action_timeline_stop", F_ActionTimelineStop, 0, 0},
    {"action_message", F_ActionMessage, 1, 0},
    {"action_show_info", F_ActionShowInfo, 0, 0},
    {"action_show_video", F_ActionShowVideo, 3, 1},
    {"action_end_game", F_ActionEndGame, 0, 0},
    {"action_restart_game", F_ActionRestartGame, 0, 0},
    {"action_save_game", F_ActionSaveGame, 1, 0},
    {"action_load_game", F_ActionLoadGame, 1, 0},
    {"action_fullscreen", F_ActionFullscreen, 1, 0},
    {"action_set_cursor", F_ActionSetCursor, 2, 1},
    {"action_webpage", F_ActionWebpage, 1, 1},
    {"action_snapshot", F_ActionSnapshot, 1, 1},
    {"action_set_caption", F_ActionSetCaption, 6, 0},
    {"action_cd_play", F_ActionCdPlay, 2, 1},
    {"action_cd_stop", F_ActionCdStop, 0, 1},
    {"action_cd_pause", F_ActionCdPause, 0, 1},
    {"action_cd_resume", F_ActionCdResume, 0, 1},
    {"action_cd_present", F_ActionCdPresent, 0, 1},
    {"action_cd_playing", F_ActionCdPlaying, 0, 1},

    {"action_if_empty", F_ActionIfEmpty, 3, 0},
    {"action_if_collision", F_ActionIfCollision, 3, 0},
    {"action_if_object", F_ActionIfObject, 3, 0},
    {"action_if_number", F_ActionIfNumber, 3, 0},
    {"action_if_dice", F_ActionIfDice, 1, 0},
    {"action_if_question", F_ActionIfQuestion, 1, 0},
    {"action_if_mouse", F_ActionIfMouse, 1, 0},
    {"action_if_aligned", F_ActionIfAligned, 2, 0},
    {"action_if_variable", F_ActionIfVariable, 3, 0},
    {"action_if", F_ActionIf, 1, 0},
    {"action_if_score", F_ActionIfScore, 2, 0},
    {"action_if_life", F_ActionIfLife, 2, 0},
    {"action_if_health", F_ActionIfHealth, 2, 0},
    {"action_inherited", F_ActionInherited, 0, 0},
    {"action_execute_script", F_ActionExecuteScript, 6, 0},

    {"action_set_score", F_ActionSetScore, 1, 0},
    {"action_set_life", F_ActionSetLife, 1, 0},
    {"action_set_health", F_ActionSetHealth, 1, 0},
    {"action_draw_score", F_ActionDrawScore, 3, 0},
    {"action_draw_life", F_ActionDrawLife, 3, 0},
    {"action_draw_life_images", F_ActionDrawLifeImages, 3, 0},
    {"action_draw_health", F_ActionDrawHealth, 6, 0},
    {"action_draw_variable", F_ActionDrawVariable, 3, 0},
    {"action_highscore_show", F_ActionHighscoreShow, 11, 0},
    {"action_highscore_clear", F_ActionHighscoreClear, 0, 0},
    {"action_draw_sprite", F_ActionDrawSprite, 4, 0},
    {"action_draw_background", F_ActionDrawBackground, 4, 0},
    {"action_draw_text", F_ActionDrawText, 3, 0},
    {"action_draw_text_transformed", F_ActionDrawTextTransformed, 6, 1},
    {"action_draw_rectangle", F_ActionDrawRectangle, 5, 0},
    {"action_draw_gradient_hor", F_ActionDrawGradientHor, 6, 1},
    {"action_draw_gradient_vert", F_ActionDrawGradientVert, 6, 1},
    {"action_draw_ellipse", F_ActionDrawEllipse, 5, 0},
    {"action_draw_ellipse_gradient", F_ActionDrawEllipseGradient, 6, 1},
    {"action_draw_line", F_ActionDrawLine, 4, 0},
    {"action_draw_arrow", F_ActionDrawArrow, 5, 0},
    {"action_color", F_ActionColour, 1, 0},
    {"action_colour", F_ActionColour, 1, 0},
    {"action_font", F_ActionFont, 2, 0},
    {"action_effect", F_ActionEffect, 6, 1},

    {"action_partsyst_create", F_ActionPartsystCreate, 1, 1},
    {"action_partsyst_destroy", F_ActionPartsystDestroy, 0, 1},
    {"action_partsyst_clear", F_ActionPartsystClear, 0, 1},
    {"action_parttype_create_old", F_ActionParttypeCreateOld, 6, 1},
    {"action_parttype_create", F_ActionParttypeCreate, 6, 1},
    {"action_parttype_color", F_ActionParttypeColour, 6, 1},
    {"action_parttype_colour", F_ActionParttypeColour, 6, 1},
    {"action_parttype_life", F_ActionParttypeLife, 3, 1},
    {"action_parttype_speed", F_ActionParttypeSpeed, 6, 1},
    {"action_parttype_gravity", F_ActionParttypeGravity, 3, 1},
    {"action_parttype_secondary", F_ActionParttypeSecondary, 5, 1},
    {"action_partemit_create", F_ActionPartemitCreate, 6, 1},
    {"action_partemit_destroy", F_ActionPartemitDestroy, 1, 1},
    {"action_partemit_burst", F_ActionPartemitBurst, 3, 1},
    {"action_partemit_stream", F_ActionPartemitStream, 3, 1},
};
static_assert(std::size(kRows) == 136);

}  // namespace

void Action_KillObject(CInstance* instance) {
    Command_InstanceDestroy(instance);
}

void InitActionFunctions() {
    g_particles = ActionParticles{};
    Code_Function_AddRows(kRows);
}
