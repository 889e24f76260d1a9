// The sound chunks as the data-file loader hands them over ("SOND", "AUDO", "AGRP", and the
// "AUDO" body of an audio-group file), with the bounds-checked reads their readers share.
#pragma once

#include <cstdint>
#include <string>

// The containing file (every offset inside the chunk counts from its start) and where the
// chunk's data lies in it. The file outlives the sounds: entries point into it.
struct AudioChunk {
    const uint8_t* file = nullptr;
    uint64_t fileSize = 0;
    uint64_t offset = 0;  // file offset of the chunk's first data byte
    uint64_t length = 0;
};

// Reads one chunk. A read that leaves the chunk or the file records a failure (only the first
// is kept) and answers 0 or null, so a reader can finish its loop and report. The loader names
// the chunk when it reports the failure.
class AudioChunkReader {
public:
    explicit AudioChunkReader(const AudioChunk& chunk) : m_chunk(chunk) {}

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const uint8_t* File() const { return m_chunk.file; }

    // The count that opens the chunk, with its table of that many u32 offsets inside the chunk;
    // 0 (and a failure) when the table does not fit.
    uint32_t OffsetTableCount();
    // Entry i of that table.
    uint32_t TableOffset(uint32_t i);
    // `size` bytes at a file offset; null (and a failure) when they do not all lie in the file.
    const uint8_t* Record(uint64_t offset, uint64_t size);
    // The zero-terminated text at a file offset; 0 gives null ("none"), and so does a text that
    // is not ended inside the file (a failure).
    const char* String(uint32_t offset);
    // An audio entry at a file offset: its u32 length and that many bytes, all inside the file
    // (the length read as signed must not be negative). Null and a failure otherwise.
    const uint8_t* AudioEntry(uint32_t offset);

    bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    AudioChunk m_chunk;
    std::string m_error;
};

uint32_t AudioChunk_U32(const uint8_t* p);
float AudioChunk_F32(const uint8_t* p);
// The byte count of an audio entry (its first word).
inline uint32_t AudioEntry_Length(const uint8_t* entry) {
    return AudioChunk_U32(entry);
}
inline const uint8_t* AudioEntry_Bytes(const uint8_t* entry) {
    return entry + 4;
}
// A copy of the text in a new memory-manager block (null for null).
char* Audio_CopyText(const char* text);
