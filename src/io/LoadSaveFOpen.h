// Files held in buffers: a file that game code or the runner opens is read whole into a grow
// buffer at open, worked on in memory and written back whole at close, so no system file
// stays open and nothing reaches the disk before the close. The operations are shaped like
// the standard stream ones. Main thread only.
#pragma once

#include <cstdint>

class IBuffer;

struct LoadSaveFile {
    IBuffer* buffer;  // the file's bytes (grow, alignment 1); position, size and used size are the file's
    bool text;        // "t" was asked for
    char* name;       // where the close writes back; files open for writing only
    bool write;
};

// What LoadSave_fgetc gives at the end; callers look only at its low byte, 255.
constexpr int LOADSAVE_EOF = -1;

// The mode is a set of letters in any order: "t" text, "r" read, "w" write, "a" append (read
// and write, position at the end), "+" write. A file to read comes from the bundle, else the
// save area; in text mode a UTF-8 byte-order mark is skipped. "w" alone starts empty. Null
// when the mode reads, the file is in neither place, and the mode does not write.
LoadSaveFile* LoadSave_fopen(const char* name, const char* mode);
// A file open for writing has its used bytes written to the save area (a refused name is
// silent); then the file is freed.
void LoadSave_fclose(LoadSaveFile* file);
int32_t LoadSave_ftell(LoadSaveFile* file);
// Origin 0 start, 1 current, 2 back from the end (offset 0 is the size); another origin
// changes nothing. Returns the position.
int32_t LoadSave_fseek(LoadSaveFile* file, int32_t offset, int origin);
bool LoadSave_feof(LoadSaveFile* file);
// True at the end, or when the next byte is CR or LF (the position does not move).
bool LoadSave_feoln(LoadSaveFile* file);
// The next byte (0 to 255); at the end LOADSAVE_EOF, and the position still moves on by one.
int LoadSave_fgetc(LoadSaveFile* file);
// Skips white space, then reads a decimal number (sign, digits, point, exponent) into out:
// the number of characters it took, 0 (and out 0) when none.
int32_t LoadSave_freadReal(LoadSaveFile* file, double* out);
// elementSize * count bytes; the number of bytes moved. Reads stop at the size; writes grow
// the file to exactly what they need.
int32_t LoadSave_fread(void* bytes, int32_t elementSize, int32_t count, LoadSaveFile* file);
int32_t LoadSave_fwrite(const void* bytes, int32_t elementSize, int32_t count, LoadSaveFile* file);
// Writes the text with every LF that does not follow a CR written as CR LF (in any mode);
// the number of bytes written, 0 for an empty text.
int32_t LoadSave_fputs(LoadSaveFile* file, const char* text);
