// The game's table of ten high scores, kept in "hiscore.dat" in the save area: read at
// start-up and written back at shutdown when an add changed it. Places run from 1 to 10.
#pragma once

#include <cstdint>

struct SharedString;

constexpr int32_t HIGHSCORE_PLACES = 10;

// Settings of the high-score window. This runner never opens that window: they are recorded,
// and only the "nobody" text is used.
struct HighscoreSettings {
    int32_t background = -1;
    bool border = true;
    int32_t backgroundColour = 0xF0FBFF;
    int32_t newColour = 0x0000FF;
    int32_t otherColour = 0;
    SharedString* fontName = nullptr;  // "Times New Roman"
    int32_t fontSize = 12;
    SharedString* caption = nullptr;    // "Top Ten Players"
    SharedString* nobody = nullptr;     // "<nobody>"
    SharedString* closeHint = nullptr;  // "press <Escape> to close"
};
HighscoreSettings& Highscore_Settings();
// Replaces a text setting with a new shared string (the old one released).
void Highscore_SetText(SharedString*& setting, const char* text);

// Every place becomes (the "nobody" text, 0); the settings take their defaults first.
void Highscore_Init();
void Highscore_LoadAtStart();
// Writes the table when an add changed it since the last load or save.
void Highscore_SaveAtEnd();
// Every place becomes (the current "nobody" text, 0). Not a change to be saved.
void Highscore_Clear();
// A place outside 1..10 is ignored. A null name is stored as the empty text.
void Highscore_SetEntry(int32_t place, const char* name, int32_t value);
// Inserts above the first place with a strictly smaller value; nothing when there is none.
void Highscore_Add(const char* name, int32_t value);
// A place outside 1..10 answers 0 and no name.
int32_t Highscore_Value(int32_t place);
const char* Highscore_Name(int32_t place);
void Highscore_Save(const char* path);
void Highscore_Load(const char* path);
bool Highscore_Changed();
// Frees the names and the settings' texts (shutdown, tests).
void Highscore_Free();
