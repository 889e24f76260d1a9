// The texts that name events, keys, mouse events and Other and asynchronous subtypes in error
// reports.
#include <cstdio>

#include "base/Error_Report.h"

namespace {

char g_eventName[512];
char g_keyName[64];

struct Named {
    int32_t code;
    const char* name;
};

template <size_t N>
const char* Lookup(const Named (&table)[N], int32_t code) {
    for (const Named& entry : table)
        if (entry.code == code) return entry.name;
    return nullptr;
}

const Named kKeys[] = {
    {0, "<no key>"},   {1, "<any key>"},    {8, "<Backspace>"}, {9, "<Tab>"},      {13, "<Enter>"},
    {16, "<Shift>"},   {17, "<Ctrl>"},      {18, "<Alt>"},      {27, "<Escape>"},  {32, "<Space>"},
    {33, "<Page Up>"}, {34, "<Page Down>"}, {35, "<End>"},      {36, "<Home>"},    {37, "<Left>"},
    {38, "<Up>"},      {39, "<Right>"},     {40, "<Down>"},     {45, "<Insert>"},  {46, "<Delete>"},
    {106, "Keypad *"}, {107, "Keypad +"},   {109, "Keypad -"},  {110, "Keypad ."}, {111, "Keypad /"},
};

const Named kMouse[] = {
    {0, "Left Button"},         {1, "Right Button"},         {2, "Middle Button"},
    {3, "No Button"},           {4, "Left Pressed"},         {5, "Right Pressed"},
    {6, "Middle Pressed"},      {7, "Left Released"},        {8, "Right Released"},
    {9, "Middle Released"},     {10, "Mouse Enter"},         {11, "Mouse Leave"},
    {50, "Glob Left Button"},   {51, "Glob Right Button"},   {52, "Glob Middle Button"},
    {53, "Glob Left Pressed"},  {54, "Glob Right Pressed"},  {55, "Glob Middle Pressed"},
    {56, "Glob Left Released"}, {57, "Glob Right Released"}, {58, "Glob Middle Released"},
    {60, "Mouse Wheel Up"},     {61, "Mouse Wheel Down"},
};

const Named kOther[] = {
    {0, "Outside Room"}, {1, "Intersect Boundary"}, {2, "Game Start"},    {3, "Game End"},
    {4, "Room Start"},   {5, "Room End"},           {6, "No More Lives"}, {7, "Animation End"},
    {8, "End Of Path"},  {9, "No More Health"},     {30, "Close Button"}, {58, "Animation Update"},
};

const Named kAsync[] = {
    {60, "Image Loaded"}, {61, "Sound Loaded"},    {62, "HTTP"},           {63, "Dialog"},       {66, "IAP"},
    {67, "Cloud"},        {68, "Networking"},      {69, "Steam"},          {70, "Social"},       {71, "Push"},
    {72, "Save-Load"},    {73, "Audio Recording"}, {74, "Audio Playback"}, {75, "System Event"},
};

const char* const kJoystickDirections[] = {"Left", "Right", "Up", "Down"};

// Joystick subtypes: directions at base .. base + 3, buttons 1-8 at base + 5 .. base + 12.
const char* JoystickName(int32_t subtype, int32_t base, int32_t joystick) {
    static char name[64];
    if (subtype >= base && subtype < base + 4) {
        std::snprintf(name, sizeof name, "Joystick %d %s", joystick, kJoystickDirections[subtype - base]);
        return name;
    }
    if (subtype >= base + 5 && subtype <= base + 12) {
        std::snprintf(name, sizeof name, "Joystick %d Button %d", joystick, subtype - base - 4);
        return name;
    }
    return nullptr;
}

const char* Ranged(int32_t subtype, int32_t first, int32_t last, const char* format) {
    static char name[64];
    if (subtype < first || subtype > last) return nullptr;
    std::snprintf(name, sizeof name, format, subtype - first);
    return name;
}

}  // namespace

const char* KeyName(int32_t key) {
    if (const char* name = Lookup(kKeys, key)) return name;
    if ((key >= 48 && key <= 57) || (key >= 65 && key <= 90))
        std::snprintf(g_keyName, sizeof g_keyName, "%c-key", static_cast<char>(key));
    else if (key >= 96 && key <= 105)
        std::snprintf(g_keyName, sizeof g_keyName, "Keypad-%d", key - 96);
    else if (key >= 112 && key <= 123)
        std::snprintf(g_keyName, sizeof g_keyName, "F%d", key - 111);
    else
        return "<unknown>";
    return g_keyName;
}

const char* MouseEventName(int32_t subtype) {
    if (const char* name = Lookup(kMouse, subtype)) return name;
    if (const char* name = JoystickName(subtype, 16, 1)) return name;
    if (const char* name = JoystickName(subtype, 31, 2)) return name;
    return "<unknown>";
}

const char* OtherEventName(int32_t subtype) {
    if (const char* name = Lookup(kOther, subtype)) return name;
    if (const char* name = Ranged(subtype, 10, 25, "User Defined %d")) return name;
    if (const char* name = Ranged(subtype, 40, 47, "Outside View %d")) return name;
    if (const char* name = Ranged(subtype, 50, 57, "Boundary View %d")) return name;
    return "<unknown>";
}

const char* AsyncEventName(int32_t subtype) {
    const char* name = Lookup(kAsync, subtype);
    return name ? name : "<unknown>";
}

const char* EventName(int32_t type, int32_t subtype) {
    char* out = g_eventName;
    const size_t size = sizeof g_eventName;
    switch (type) {
        case 0:
            return "Create Event";
        case 1:
            return "Destroy Event";
        case 2:
            std::snprintf(out, size, "Alarm Event for alarm %d", subtype);
            break;
        case 3:
            std::snprintf(out, size, " Step Event%d", subtype);
            break;
        case 4:
            std::snprintf(out, size, " Step Event%s", Error_ObjectName(subtype));
            break;
        case 5:
            std::snprintf(out, size, "Keyboard Event for %s Key", KeyName(subtype));
            break;
        case 6:
            std::snprintf(out, size, "Mouse Event for %s", MouseEventName(subtype));
            break;
        case 7:
            if (subtype < 60)
                std::snprintf(out, size, "Other Event: %s", OtherEventName(subtype));
            else
                std::snprintf(out, size, "Async Event: %s", AsyncEventName(subtype));
            break;
        case 8:
            return "Draw Event";
        case 9:
            std::snprintf(out, size, "Key Press Event for %s Key", KeyName(subtype));
            break;
        case 10:
            std::snprintf(out, size, "Key Release Event for %s Key", KeyName(subtype));
            break;
        default:
            return "<Unknown Event>";
    }
    return out;
}
