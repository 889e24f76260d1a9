// The loaded game data file ("FORM"), the two passes over its chunks and the table of chunk
// readers. The file is one writable heap copy that lives for the whole turn: readers keep
// pointers into it and patch fields in place. Every offset, length, count and string reference a
// reader follows goes through a ChunkView, which checks it against the file and the chunk; a bad
// file fails to load with a message that names the chunk.
#pragma once

#include <cstdint>

// Takes a copy of the data into the memory manager's heap and makes it the loaded file (the
// previous one is released). False when the copy cannot be had.
bool Form_SetData(const uint8_t* data, uint32_t size);
// Takes over a block from Form_AllocData(size) as the loaded file; the block holds size + 1
// bytes, the last one 0.
void Form_AdoptData(uint8_t* block, uint32_t size);
// A block for a data file of size bytes and the guard byte after them; null when the memory
// cannot be had. A block that is not adopted goes back through Form_FreeData with the same size.
uint8_t* Form_AllocData(uint32_t size);
void Form_FreeData(uint8_t* block, uint32_t size);
uint8_t* Form_Base();
uint32_t Form_Size();
// True when the pointer lies inside the loaded file (its texts are never freed).
bool IsPointerInGameData(const void* p);

// A bounds-checked view of one chunk. Reads that fall outside the file (or the chunk, for the
// chunk-relative ones) record the first failure, naming the chunk, and answer 0 or null, so a
// reader can finish its loop and the loader stops after it.
class ChunkView {
public:
    ChunkView(const char* tag, uint32_t dataOffset, uint32_t length);

    const char* Tag() const { return m_tag; }
    uint32_t Offset() const { return m_offset; }  // file offset of the first data byte
    uint32_t Length() const { return m_length; }
    uint8_t* Data() const;
    bool Ok() const { return !m_failed; }

    // Inside the chunk: `at` counts from the first data byte.
    uint32_t U32(uint32_t at);
    int32_t I32(uint32_t at) { return static_cast<int32_t>(U32(at)); }
    // A count at `at` followed by that many elements of `elementSize` bytes, all inside the
    // chunk; 0 when they do not fit.
    uint32_t Count(uint32_t at, uint32_t elementSize);

    // Anywhere in the file: `offset` is a file offset.
    uint32_t FileU32(uint32_t offset);
    int32_t FileI32(uint32_t offset) { return static_cast<int32_t>(FileU32(offset)); }
    float FileF32(uint32_t offset);
    int16_t FileI16(uint32_t offset);
    uint8_t* FileBytes(uint32_t offset, uint32_t size);
    // A count at `offset` followed by that many elements, all inside the file.
    uint32_t FileCount(uint32_t offset, uint32_t elementSize);
    // A string reference: the offset of the first text byte, with the length word before it
    // and a NUL after the text. 0 gives null ("none").
    const char* String(uint32_t ref);
    // As String, but 0 is a failure too.
    const char* RequiredString(uint32_t ref);

    // Records a failure naming this chunk (only the first one of a load is kept). Answers false.
    bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    char m_tag[5];
    uint32_t m_offset;
    uint32_t m_length;
    bool m_failed = false;
};

// A chunk reader reports a bad chunk through ChunkView::Fail.
using ChunkLoadFn = void (*)(ChunkView& chunk);
using ChunkStepFn = void (*)();

struct ChunkReader {
    ChunkLoadFn load = nullptr;
    ChunkStepFn reset = nullptr;    // before the chunks are read, in the loader's fixed order
    ChunkStepFn release = nullptr;  // when the data file is released (Form_Free)
};

// Registers the reader of a tag from the chunk table (false for a tag outside it). A tag of the
// table without a reader is logged and skipped when met; the load goes on.
bool Form_RegisterChunkReader(const char* tag, const ChunkReader& reader);
// Forgets every registered reader except the loader's own (for tests and restarts).
void Form_ResetChunkReaders();

// The header pass: "GEN8", "CODE", "STRG" and "VARI". False for a bad file (Form_LoadError).
bool Form_FirstPass(uint8_t* data, uint32_t size);
// The chunk pass. True when every chunk had a reader and none was bad.
bool Form_ProcessChunks(uint8_t* data, uint32_t size);
// Logs "LoadGameData()\n" and runs the chunk pass.
bool LoadGameData(uint8_t* data, uint32_t size);
// The message of the last failed load, or null when the file was sound.
const char* Form_LoadError();
void Form_ClearLoadError();
// Logs the failure on the error console and ends the process with exit code 1.
[[noreturn]] void Form_FailLoad();
// Shutdown: releases the readers' data, forgets the data file, the link record and the
// debug information.
void Form_Free();

// Records a load failure that no chunk owns (header and container problems).
void Form_SetLoadError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// What the header pass found.
uint32_t Form_StringCount();
// The text of string-table entry `index`, or null outside the table (or when it no longer
// holds a string).
const char* Form_String(uint32_t index);
// The data range of the first chunk with this tag, or false when there is none.
bool Form_FindChunk(const char* tag, uint32_t* dataOffset, uint32_t* length);
// The global-initialiser list of "GLOB": code indices, in order.
uint32_t Form_GlobalInitCount();
int32_t Form_GlobalInit(uint32_t i);
// True when the data file carries bytecode (a "CODE" chunk with data).
bool Form_HasBytecode();
