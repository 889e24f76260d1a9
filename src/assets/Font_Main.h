// The font table: fonts of the data file's "FONT" chunk, then fonts added at run time (from
// TrueType files or sprites) in the slots after them. The index is the font id of game code.
#pragma once

#include <cstdint>

class CFontHV;
class ChunkView;
typedef struct FT_LibraryRec_* FT_Library;

// Starts FreeType (once) and empties the table. Before the chunks are read and at shutdown.
void Font_Init();
// The "FONT" reader. A bad chunk fails the load through the view.
void Font_LoadChunk(ChunkView& chunk);
// Registers the reader of "FONT" with the loader and the font finder of asset lookups.
void Font_RegisterChunkReader();

int32_t Font_Count();
bool Font_Exists(int32_t index);
CFontHV* Font_Get(int32_t index);
const char* Font_GetName(int32_t index);  // "<undefined>" for a missing font
int32_t Font_Find(const char* name);

int32_t Font_AddTrueType(const char* file, int32_t size, bool bold, bool italic, int32_t first, int32_t last);
// Frame i shows the character FontCharTable[first + i]; the table has 256 rows, so frames past
// it get no character. Without a "FONT" chunk the table reads as the identity.
int32_t Font_AddSprite(int32_t sprite, int32_t first, bool proportional, int32_t separation);
int32_t Font_AddSpriteExt(int32_t sprite, const char* characters, bool proportional, int32_t separation);
bool Font_ReplaceTrueType(int32_t index, const char* file, int32_t size, bool bold, bool italic,
                          int32_t first, int32_t last);
// Characters first, first + 1, ... taken as they are.
bool Font_ReplaceSprite(int32_t index, int32_t sprite, int32_t first, bool proportional, int32_t separation);
bool Font_ReplaceSpriteExt(int32_t index, int32_t sprite, const char* characters, bool proportional,
                           int32_t separation);
bool Font_Delete(int32_t index);

void Font_InitTextures();
void Font_FreeTextures();
void Font_Shutdown();

// The FreeType library handle (null when FreeType failed to start).
FT_Library Font_FreeTypeLibrary();
// FontCharTable[code] of the loaded chunk; the code itself without one.
uint16_t Font_CharTableEntry(int32_t code);
