#include "world/Variable_BuiltIn.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "core/Console.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/Timing.h"
#include "core/UTF8.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "data/Function_Date.h"
#include "graphics/Graphics_Window.h"
#include "io/HTTP_Main.h"
#include "io/Support_File.h"
#include "platform/PlatformOS.h"
#include "base/Error_Report.h"
#include "world/Event_Main.h"
#include "world/Function_Game.h"
#include "base/GEN8.h"
#include "base/Runner.h"
#include "world/IO_Main.h"
#include "world/World_Step.h"
#include "world/Object_Class.h"
#include "world/Room_Class.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/Run_Command.h"
#include "world/World_Services.h"
#include "core/Code_Main.h"

extern bool g_ActionRelative;

int32_t BuiltIn_Round(double value) {
    const double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return INT32_MIN;
    return static_cast<int32_t>(r);
}

namespace {

using Getter = BuiltinVarGetter;
using Setter = BuiltinVarSetter;

// --- conversions ------------------------------------------------------------------------------

double AsReal(RValue* v) {
    return RValue_ToReal(v);
}
int32_t Rounded(RValue* v) {
    return BuiltIn_Round(AsReal(v));
}
bool Flag(RValue* v) {
    return Rounded(v) >= 1;
}
float Single(RValue* v) {
    return static_cast<float>(AsReal(v));
}
int32_t Slot(int32_t index) {
    return index < 0 || index > 7 ? 0 : index;
}

bool Real(RValue* out, double value) {
    out->val = value;
    out->flags = 0;
    out->kind = VALUE_REAL;
    return true;
}
bool Text(RValue* out, const char* text) {
    RValue_CreateString(out, text != nullptr ? text : "");
    return true;
}
// The five value keywords release what the out value held.
bool Keyword(RValue* out, uint32_t kind, int64_t payload) {
    RValue_Free(out);
    out->v64 = payload;
    out->flags = 0;
    out->kind = kind;
    return true;
}

CRoom* Room() {
    return Run_Room();
}

// --- table helpers ---------------------------------------------------------------------------

void Add(const char* name, Getter get, Setter set = nullptr) {
    Variable_BuiltIn_Add(name, get, set);
}

// --- working directory --------------------------------------------------------------------------

char* g_workingDirectory = nullptr;
bool g_workingDirectorySet = false;

// --- global rows ---------------------------------------------------------------------------------

void ReplaceCaption(SharedString*& slot, RValue* v) {
    if (!RValue_IsString(v)) return;  // captions take only text
    if (v->str) ++v->str->refCount;
    if (slot) slot->Release();
    slot = v->str;
}
bool ReadCaption(RValue* out, const SharedString* record) {
    return Text(out, record != nullptr ? record->text : "");
}

bool GetRoomSpeed(CInstance*, int32_t, RValue* out) {
    if (g_GameHeader.layerModel) return Real(out, g_GameClock.GetFps());
    return Real(out, Room() ? Room()->speed : 0);
}
bool SetRoomSpeed(CInstance*, int32_t, RValue* v) {
    const double value = AsReal(v);
    if (BuiltIn_Round(value) <= 0) {
        Error_Report("Trying to set the room speed to a value <= 0.", false);
        return false;
    }
    if (g_GameHeader.layerModel) {
        g_GameClock.SetFrameRate(value);
    } else if (Room()) {
        Room()->speed = static_cast<int32_t>(std::trunc(value));
    }
    return true;
}

bool SetLives(CInstance*, int32_t, RValue* v) {
    const int32_t old = g_RunState.lives;
    g_RunState.lives = Rounded(v);
    if (old > 0 && g_RunState.lives <= 0) PerformEvent_All(EVENT_OTHER, 6);
    return true;
}
bool SetHealth(CInstance*, int32_t, RValue* v) {
    const double old = g_RunState.health;
    g_RunState.health = AsReal(v);
    if (old > 0 && g_RunState.health <= 0) PerformEvent_All(EVENT_OTHER, 9);
    return true;
}

bool GetBackgroundSize(int32_t index, bool width, RValue* out) {
    int32_t w = 0, h = 0;
    const RoomBackground* slot = Room() ? &Room()->backgrounds[Slot(index)] : nullptr;
    if (slot == nullptr || World().backgroundSize == nullptr || !World().backgroundSize(slot->index, &w, &h))
        w = h = 0;
    return Real(out, width ? w : h);
}

std::string ProgramDirectory() {
    std::string dir;
    if (char* folder = File_GetDirectory(GetExePath())) {
        dir = folder;
        MEM_FREE(folder);
    }
    if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    return dir;
}

double FpsReal() {
    const int64_t delta = g_FrameTiming.deltaTime;
    return delta > 0 ? static_cast<float>(1000000.0 / static_cast<double>(delta)) : 0.0;
}

bool DateField(RValue* out, int field) {
    const struct tm now = Date_Now();
    switch (field) {
        case 0:
            return Real(out, now.tm_year + 1900);
        case 1:
            return Real(out, now.tm_mon + 1);
        case 2:
            return Real(out, now.tm_mday);
        case 3:
            return Real(out, now.tm_wday);
        case 4:
            return Real(out, now.tm_hour);
        case 5:
            return Real(out, now.tm_min);
        default:
            return Real(out, now.tm_sec);
    }
}

#define G(body) [](CInstance*, int32_t, RValue* out) -> bool { body; }
#define GI(body) [](CInstance*, int32_t index, RValue* out) -> bool { body; }
#define S(body) \
    [](CInstance*, int32_t, RValue* v) -> bool { \
        body; \
        return true; \
    }
#define SI(body) \
    [](CInstance*, int32_t index, RValue* v) -> bool { \
        body; \
        return true; \
    }
#define ROOM_G(expr) G(return Room() ? Real(out, (expr)) : Real(out, 0))
#define ROOM_S(stmt) S(if (CRoom* room = Room()) { stmt; })
#define BG_G(field) GI(return Room() ? Real(out, Room()->backgrounds[Slot(index)].field) : Real(out, 0))
#define VIEW_G(field) GI(return Room() ? Real(out, Room()->views[Slot(index)].field) : Real(out, 0))
#define VIEW_S(field, conv) SI(if (Room()) Room()->views[Slot(index)].field = conv(v))
#define BGS(field, conv) SI(if (Room()) Room()->backgrounds[Slot(index)].field = conv(v))

void RegisterArguments();

void RegisterGameAndRoom() {
    Add("debug_mode", G(return Real(out, (g_GameHeader.flagByte & 1) == 0 ? 1 : 0)));
    Add("pointer_invalid", G(return Keyword(out, VALUE_PTR, -1)));
    Add("pointer_null", G(return Keyword(out, VALUE_PTR, 0)));
    Add("undefined", G(return Keyword(out, VALUE_UNDEFINED, 0)));
    Add("null", G(return Keyword(out, VALUE_NULL, 0)));
    Add("room", G(return Real(out, Run_RoomIndex())), S(Command_RoomGoto(Rounded(v))));
    Add("room_first", G(return Real(out, Room_First())));
    Add("room_last", G(return Real(out, Room_Last())));
    Add("transition_kind", G(return Real(out, g_RunState.transitionKind)), S({
            g_RunState.transitionKind = Rounded(v);
            DebugConsole.Output(
                "BUG: Room transitions don't function well - setting to 0 - look at "
                "Variable_BuiltIn SV_TransitionKind() .\n");
            g_RunState.transitionKind = 0;
        }));
    Add("transition_steps", G(return Real(out, 0)), S((void)v));
    Add("score", G(return Real(out, g_RunState.score)), S(g_RunState.score = Rounded(v)));
    Add("lives", G(return Real(out, g_RunState.lives)), SetLives);
    Add("health", G(return Real(out, g_RunState.health)), SetHealth);
    Add("game_id", G(return Real(out, g_GameHeader.gameId)));
    Add("game_guid", G(return Text(out, "")));
    Add("game_display_name",
        G(return Text(out, g_GameHeader.displayName ? g_GameHeader.displayName : "Made with Halvane")));
    Add("game_project_name", G(return Text(out, "")));
    Add("game_save_id", G(return Text(out, GetSavePrePend())));
    Add("working_directory", G(return Text(out, WorkingDirectory_Get())));
    Add("temp_directory", G(return Text(out, File_GetTempDirectory())));
    Add("program_directory", G(return Text(out, ProgramDirectory().c_str())));
    Add("instance_count", ROOM_G(Room()->active.count));
    Add("instance_id", GI(return Real(out, Instance_IdAt(index))));
    Add("room_width", ROOM_G(Room()->width), ROOM_S(room->width = Rounded(v)));
    Add("room_height", ROOM_G(Room()->height), ROOM_S(room->height = Rounded(v)));
    Add("room_caption", G(return Text(out, Room() ? Room()->caption : "")), ROOM_S({
            MEM_FREE(room->caption);
            room->caption = RValue_IsString(v) ? String_Duplicate(RValue_GetStringText(v)) : nullptr;
        }));
    Add("room_speed", GetRoomSpeed, SetRoomSpeed);
    Add("room_persistent", ROOM_G(Room()->persistent ? 1 : 0), ROOM_S(room->persistent = Flag(v)));
    for (const char* name :
         {"background_color", "background_showcolor", "background_colour", "background_showcolour"}) {
        if (std::strstr(name, "show"))
            Add(name, ROOM_G(Room()->showColour ? 1 : 0), ROOM_S(room->showColour = Flag(v)));
        else
            Add(name, ROOM_G(Room()->colour), ROOM_S(room->colour = Rounded(v)));
    }
}

void RegisterBackgroundsAndViews() {
    Add("background_visible", BG_G(visible ? 1 : 0), BGS(visible, Flag));
    Add("background_foreground", BG_G(foreground ? 1 : 0), BGS(foreground, Flag));
    Add("background_index", BG_G(index), BGS(index, Rounded));
    Add("background_x", BG_G(x), BGS(x, Single));
    Add("background_y", BG_G(y), BGS(y, Single));
    Add("background_width", GI(return GetBackgroundSize(index, true, out)));
    Add("background_height", GI(return GetBackgroundSize(index, false, out)));
    Add("background_htiled", BG_G(tileX ? 1 : 0), BGS(tileX, Flag));
    Add("background_vtiled", BG_G(tileY ? 1 : 0), BGS(tileY, Flag));
    Add("background_xscale", BG_G(xscale), BGS(xscale, Single));
    Add("background_yscale", BG_G(yscale), BGS(yscale, Single));
    Add("background_hspeed", BG_G(hspeed), BGS(hspeed, Single));
    Add("background_vspeed", BG_G(vspeed), BGS(vspeed, Single));
    Add("background_blend", BG_G(blend), BGS(blend, Rounded));
    Add("background_alpha", BG_G(alpha), BGS(alpha, Single));
    Add("view_enabled", ROOM_G(Room()->viewsEnabled ? 1 : 0), ROOM_S(room->viewsEnabled = Flag(v)));
    Add("view_current", G(return Real(out, g_RunState.viewCurrent)));
    Add("view_visible", VIEW_G(visible ? 1 : 0), VIEW_S(visible, Flag));
    Add("view_xview", VIEW_G(viewX), VIEW_S(viewX, Single));
    Add("view_yview", VIEW_G(viewY), VIEW_S(viewY, Single));
    Add("view_wview", VIEW_G(viewW), VIEW_S(viewW, Single));
    Add("view_hview", VIEW_G(viewH), VIEW_S(viewH, Single));
    Add("view_xport", VIEW_G(portX), VIEW_S(portX, Rounded));
    Add("view_yport", VIEW_G(portY), VIEW_S(portY, Rounded));
    Add("view_wport", VIEW_G(portW), VIEW_S(portW, Rounded));
    Add("view_hport", VIEW_G(portH), VIEW_S(portH, Rounded));
    Add("view_angle", VIEW_G(angle), VIEW_S(angle, Single));
    Add("view_hborder", VIEW_G(hborder), VIEW_S(hborder, Rounded));
    Add("view_vborder", VIEW_G(vborder), VIEW_S(vborder, Rounded));
    Add("view_hspeed", VIEW_G(hspeed), VIEW_S(hspeed, Rounded));
    Add("view_vspeed", VIEW_G(vspeed), VIEW_S(vspeed, Rounded));
    Add("view_object", VIEW_G(object), VIEW_S(object, Rounded));
    Add("view_surface_id", VIEW_G(surfaceId), VIEW_S(surfaceId, Rounded));
    Add("view_camera", VIEW_G(cameraId), VIEW_S(cameraId, Rounded));
}

void RegisterInputAndCaptions() {
    Add("mouse_x", G(return Real(out, Window_Mouse_Room_X(0))));
    Add("mouse_y", G(return Real(out, Window_Mouse_Room_Y(0))));
    Add("mouse_button", G(return Real(out, IO_GetMouseButton(0))), S(IO_SetMouseButton(Rounded(v), 0)));
    Add("mouse_lastbutton", G(return Real(out, IO_GetLastButton(0))), S(IO_SetLastButton(Rounded(v), 0)));
    Add("keyboard_key", G(return Real(out, IO_GetCurrentKey())), S(IO_SetCurrentKey(Rounded(v))));
    Add("keyboard_lastkey", G(return Real(out, IO_GetLastKey())), S(IO_SetLastKey(Rounded(v))));
    Add("keyboard_lastchar", G({
            char text[8];
            char* cursor = text;
            UTF8_PutChar(cursor, IO_GetLastChar());
            *cursor = '\0';
            return Text(out, text);
        }),
        S({
            const char* text = RValue_IsString(v) ? RValue_GetStringText(v) : nullptr;
            if (text != nullptr && text[0] != '\0') IO_SetLastChar(static_cast<uint8_t>(text[0]));
        }));
    Add("keyboard_string", G(return Text(out, IO_GetKeyboardString())),
        S(IO_SetKeyboardString(RValue_IsString(v) ? RValue_GetStringText(v) : nullptr)));
    Add("cursor_sprite", G(return Real(out, g_RunState.cursorSprite)),
        S(g_RunState.cursorSprite = Rounded(v)));
    Add("show_score", G(return Real(out, g_RunState.showScore ? 1 : 0)), S({
            g_RunState.showScore = Flag(v);
            g_RunState.captionSet = true;
        }));
    Add("show_lives", G(return Real(out, g_RunState.showLives ? 1 : 0)), S(g_RunState.showLives = Flag(v)));
    Add("show_health", G(return Real(out, g_RunState.showHealth ? 1 : 0)),
        S(g_RunState.showHealth = Flag(v)));
    Add("caption_score", G(return ReadCaption(out, g_RunState.captionScore)),
        S(ReplaceCaption(g_RunState.captionScore, v)));
    Add("caption_lives", G(return ReadCaption(out, g_RunState.captionLives)),
        S(ReplaceCaption(g_RunState.captionLives, v)));
    Add("caption_health", G(return ReadCaption(out, g_RunState.captionHealth)),
        S(ReplaceCaption(g_RunState.captionHealth, v)));
}

void RegisterTimeEventsErrors() {
    Add("fps", G(return Real(out, g_FrameTiming.fps)));
    Add("fps_real", G(return Real(out, FpsReal())));
    Add("current_time", G(return Real(out, static_cast<double>(Timing_Time() / 1000))));
    Add("current_year", G(return DateField(out, 0)));
    Add("current_month", G(return DateField(out, 1)));
    Add("current_day", G(return DateField(out, 2)));
    Add("current_weekday", G(return DateField(out, 3)));
    Add("current_hour", G(return DateField(out, 4)));
    Add("current_minute", G(return DateField(out, 5)));
    Add("current_second", G(return DateField(out, 6)));
    Add("event_type", G(return Real(out, g_CurrentEvent.type)));
    Add("event_number", G(return Real(out, g_CurrentEvent.number)));
    Add("event_object", G(return Real(out, g_CurrentEvent.object)));
    Add("event_action", G(return Real(out, 0)));
    Add("secure_mode", G(return Real(out, 0)));
    Add("error_occurred", G(return Real(out, Error_Occurred() ? 1 : 0)),
        S(Error_SetOccurred(AsReal(v) >= 0.5)));
    Add("error_last", G(return Text(out, Error_LastText())), S({
            if (RValue_IsString(v)) Error_SetLastText(v->str);
        }));
    Add("application_surface", G(return Real(out, g_RunState.applicationSurface)));
}

void RegisterOSVariables() {
    Add("os_type", G(return Real(out, 6)));  // os_linux
    Add("os_device", G(return Real(out, -1)));
    Add("os_version", G(return Real(out, PlatformOS_Version())));
    Add("os_browser", G(return Real(out, -1)));  // browser_not_a_browser
    Add("browser_width", G(return Real(out, Window_Get_Width())));
    Add("browser_height", G(return Real(out, Window_Get_Height())));
}

// --- arguments -----------------------------------------------------------------------------------

constexpr int32_t kArgumentRows = 16;

// The n-th row reads argument n; the index comes from the row's name.
template <int N>
bool GetArgumentN(CInstance*, int32_t index, RValue* out) {
    RValue_Free(out);
    *out = RValue_Undefined();
    if (VM_ArgCount > N && VM_Args != nullptr) RValue_GetIndexed(out, &VM_Args[N], index);
    return true;
}
template <int N>
bool SetArgumentN(CInstance*, int32_t index, RValue* v) {
    // Only the current call's values exist: a write past them has nowhere to go.
    if (VM_ArgCount <= N || VM_Args == nullptr) return false;
    RValue_SetIndexed(&VM_Args[N], v, index);
    return true;
}

template <int... N>
void AddArgumentRows(std::integer_sequence<int, N...>) {
    (Variable_BuiltIn_SetArgument(
         Variable_BuiltIn_Add(("argument" + std::to_string(N)).c_str(), GetArgumentN<N>, SetArgumentN<N>), N),
     ...);
}

bool GetArgument(CInstance*, int32_t index, RValue* out) {
    if (index < 0 || index >= VM_ArgCount || VM_Args == nullptr) {
        Error_Report("illegal access of argument, argument is not provided to script", true);
        return false;
    }
    RValue_Free(out);
    *out = RValue_Undefined();
    RValue_Assign(out, &VM_Args[index]);
    return true;
}
bool SetArgument(CInstance*, int32_t index, RValue* v) {
    if (index < 0 || index >= kArgumentRows) index = 0;
    if (index >= VM_ArgCount || VM_Args == nullptr) return false;
    RValue_SetIndexed(&VM_Args[index], v, ARRAY_INDEX_WHOLE);
    return true;
}

void RegisterArguments() {
    Add("argument_relative", G(return Real(out, g_ActionRelative ? 1 : 0)));
    Add("argument", GetArgument, SetArgument);
    AddArgumentRows(std::make_integer_sequence<int, kArgumentRows>{});
    Add("argument_count", G({
            RValue_Free(out);
            return Real(out, VM_ArgCount);
        }));
}

}  // namespace

void Variable_BuiltIn_RegisterGlobals() {
    RegisterArguments();
    RegisterGameAndRoom();
    RegisterBackgroundsAndViews();
    RegisterInputAndCaptions();
    RegisterTimeEventsErrors();
    RegisterOSVariables();
}

void Variable_BuiltIn_Init() {
    Variable_BuiltIn_Free();
    Variable_BuiltIn_RegisterInstance();
    Variable_BuiltIn_RegisterGlobals();
}

void WorkingDirectory_Init(const char* path) {
    if (g_workingDirectorySet) return;
    g_workingDirectorySet = true;
    std::string text = path != nullptr ? path : "";
    size_t cut = text.rfind('/');
    if (cut == std::string::npos) cut = text.rfind('\\');
    text = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
    g_workingDirectory = String_Duplicate(text.c_str());
    if (text.empty()) return;
    const std::string bar(73, '#');
    DebugConsole.Output("%s\n", bar.c_str());
    DebugConsole.Output("####!!!!$$$$$$ pwd - %s\n", g_workingDirectory);
    DebugConsole.Output("%s\n", bar.c_str());
}

const char* WorkingDirectory_Get() {
    return g_workingDirectory != nullptr ? g_workingDirectory : "";
}

void WorkingDirectory_Free() {
    MEM_FREE(g_workingDirectory);
    g_workingDirectory = nullptr;
    g_workingDirectorySet = false;
}
