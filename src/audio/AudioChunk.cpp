#include "audio/AudioChunk.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"

uint32_t AudioChunk_U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float AudioChunk_F32(const uint8_t* p) {
    const uint32_t bits = AudioChunk_U32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

char* Audio_CopyText(const char* text) {
    if (text == nullptr) return nullptr;
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

bool AudioChunkReader::Fail(const char* format, ...) {
    if (!m_error.empty()) return false;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    m_error = text;
    return false;
}

uint32_t AudioChunkReader::OffsetTableCount() {
    if (m_chunk.length < 4 || Record(m_chunk.offset, 4) == nullptr) {
        Fail("no entry count");
        return 0;
    }
    const uint32_t count = AudioChunk_U32(m_chunk.file + m_chunk.offset);
    if ((uint64_t(count) + 1) * 4 > m_chunk.length ||
        Record(m_chunk.offset, (uint64_t(count) + 1) * 4) == nullptr) {
        Fail("%u entries do not fit in %llu bytes", count, static_cast<unsigned long long>(m_chunk.length));
        return 0;
    }
    return count;
}

uint32_t AudioChunkReader::TableOffset(uint32_t i) {
    const uint8_t* p = Record(m_chunk.offset + 4 + uint64_t(i) * 4, 4);
    return p ? AudioChunk_U32(p) : 0;
}

const uint8_t* AudioChunkReader::Record(uint64_t offset, uint64_t size) {
    if (offset > m_chunk.fileSize || size > m_chunk.fileSize - offset) {
        Fail("%llu bytes at offset %llu run past the end of the file", static_cast<unsigned long long>(size),
             static_cast<unsigned long long>(offset));
        return nullptr;
    }
    return m_chunk.file + offset;
}

const char* AudioChunkReader::String(uint32_t offset) {
    if (offset == 0) return nullptr;
    if (offset >= m_chunk.fileSize ||
        std::memchr(m_chunk.file + offset, 0, m_chunk.fileSize - offset) == nullptr) {
        Fail("text at offset %u is not inside the file", offset);
        return nullptr;
    }
    return reinterpret_cast<const char*>(m_chunk.file + offset);
}

const uint8_t* AudioChunkReader::AudioEntry(uint32_t offset) {
    const uint8_t* entry = Record(offset, 4);
    if (entry == nullptr) return nullptr;
    const int32_t length = static_cast<int32_t>(AudioChunk_U32(entry));
    if (length < 0) {
        Fail("audio entry at offset %u has a negative length", offset);
        return nullptr;
    }
    return Record(uint64_t(offset) + 4, uint64_t(length)) ? entry : nullptr;
}
