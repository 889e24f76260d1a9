#include "data/Support_Stream.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "core/Console.h"
#include "core/MemoryManager.h"

static_assert(std::endian::native == std::endian::little, "streams store values in host order");

namespace {

constexpr int64_t kInflateChunk = 16384;
constexpr int kSubstitutionSwaps = 10000;

voidpf InflateAlloc(voidpf, uInt items, uInt size) {
    const uint64_t bytes = static_cast<uint64_t>(items) * size;
    if (bytes == 0 || bytes > static_cast<uint64_t>(CStream::kMaxCapacity)) return Z_NULL;
    return MEM_ALLOC(bytes);
}

void InflateFree(voidpf, voidpf block) {
    MEM_FREE(block);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsHexPair(const char* p) {
    return HexDigit(p[0]) >= 0 && HexDigit(p[1]) >= 0;
}

// The permutation of byte values that stored script text was substituted with. Neighbouring
// entries are swapped at positions stepping through the table by a stride taken from the key;
// entry 0 never moves.
void BuildSubstitution(uint32_t key, uint8_t (&table)[256]) {
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    const uint32_t stride = 1 + key % 253;
    uint32_t pos = 1 + (key >> 8) % 254;
    for (int i = 0; i < kSubstitutionSwaps; ++i) {
        std::swap(table[pos], table[pos + 1]);
        pos = 1 + (pos - 1 + stride) % 254;
    }
}

}  // namespace

CStream::CStream(int64_t capacity) {
    if (capacity > 0 && capacity <= kMaxCapacity) {
        // Cleared: the bytes before anything is written are readable and may be written out.
        m_memory = static_cast<uint8_t*>(MEM_ALLOC(capacity));
        if (m_memory) m_capacity = capacity;
    }
}

CStream::~CStream() {
    Release();
}

void CStream::Release() {
    if (!m_reference) MEM_FREE(m_memory);
    m_memory = nullptr;
    m_reference = false;
    m_capacity = 0;
}

int64_t CStream::Seek(int64_t offset, int origin) {
    int64_t base;
    switch (origin) {
        case 0:
            base = 0;
            break;
        case 1:
            base = m_position;
            break;
        case 2:
            base = m_capacity;
            break;
        default:
            return m_position;
    }
    int64_t position;
    if (!__builtin_add_overflow(base, offset, &position)) m_position = position;
    return m_position;
}

// Makes the capacity at least the needed size: twice the old capacity, or the need when larger.
// A reference stream moves into memory of its own first. New bytes are cleared.
bool CStream::Reserve(int64_t needed) {
    if (needed <= m_capacity) return true;
    if (needed > kMaxCapacity) return false;
    const int64_t grown = std::min(std::max(m_capacity * 2, needed), kMaxCapacity);
    uint8_t* memory;
    if (m_reference || m_memory == nullptr) {
        memory = static_cast<uint8_t*>(MEM_ALLOC(grown));
        if (memory && m_memory && m_capacity > 0)
            std::memcpy(memory, m_memory, static_cast<size_t>(m_capacity));
    } else {
        memory = static_cast<uint8_t*>(MEM_REALLOC(m_memory, grown));
        if (memory) std::memset(memory + m_capacity, 0, static_cast<size_t>(grown - m_capacity));
    }
    if (memory == nullptr) return false;
    m_memory = memory;
    m_reference = false;
    m_capacity = grown;
    return true;
}

int64_t CStream::ReadBuffer(void* destination, int64_t n) {
    if (destination == nullptr || n <= 0 || m_position < 0 || m_position >= m_capacity) return 0;
    const int64_t count = std::min(n, m_capacity - m_position);
    std::memcpy(destination, m_memory + m_position, static_cast<size_t>(count));
    m_position += count;
    return count;
}

int64_t CStream::WriteBuffer(const void* source, int64_t n) {
    if (source == nullptr || n <= 0 || m_position < 0 || m_position > kMaxCapacity - n) return 0;
    if (!Reserve(m_position + n)) return 0;
    std::memmove(m_memory + m_position, source, static_cast<size_t>(n));
    m_position += n;
    return n;
}

template <typename T>
T CStream::ReadValue() {
    T value{};
    if (m_position < 0 || m_position >= m_capacity) return value;
    if (m_capacity - m_position < static_cast<int64_t>(sizeof(T))) {
        m_position = m_capacity;
        return value;
    }
    std::memcpy(&value, m_memory + m_position, sizeof(T));
    m_position += sizeof(T);
    return value;
}

template <typename T>
void CStream::WriteValue(T value) {
    WriteBuffer(&value, sizeof(T));
}

int32_t CStream::ReadInteger() {
    return ReadValue<int32_t>();
}
int64_t CStream::ReadInteger64() {
    return ReadValue<int64_t>();
}
double CStream::ReadReal() {
    return ReadValue<double>();
}
void CStream::WriteInteger(int32_t value) {
    WriteValue(value);
}
void CStream::WriteInteger64(int64_t value) {
    WriteValue(value);
}
void CStream::WriteReal(double value) {
    WriteValue(value);
}

int64_t CStream::ReadString(char** out) {
    if (out) *out = nullptr;
    const int32_t length = ReadInteger();
    if (length <= 0) return 0;
    if (length > m_capacity - m_position) {
        // The length runs past the end: the rest cannot be a string of this stream.
        m_position = m_capacity;
        return 0;
    }
    auto* text = static_cast<char*>(MEM_ALLOC(static_cast<int64_t>(length) + 1));
    const int64_t read = ReadBuffer(text, length);
    if (out)
        *out = text;
    else
        MEM_FREE(text);
    return read;
}

void CStream::WriteString(const char* text) {
    const size_t length = text ? std::strlen(text) : 0;
    if (length > static_cast<size_t>(kMaxCapacity)) return;
    WriteInteger(static_cast<int32_t>(length));
    WriteBuffer(text, static_cast<int64_t>(length));
}

char* CStream::ConvertToHex() const {
    static const char kDigits[] = "0123456789ABCDEF";
    const int64_t count = std::min(m_position, m_capacity);
    if (count <= 0) return nullptr;
    auto* text = static_cast<char*>(MEM_ALLOC(count * 2 + 1));
    for (int64_t i = 0; i < count; ++i) {
        text[i * 2] = kDigits[m_memory[i] >> 4];
        text[i * 2 + 1] = kDigits[m_memory[i] & 0xF];
    }
    text[count * 2] = '\0';
    return text;
}

void CStream::ConvertFromHex(const char* text) {
    if (text == nullptr || *text == '\0') return;
    // Pairs are taken from the start of the text; a pair that is not two hex digits is skipped
    // both when counting and when decoding, so exactly the counted bytes are made.
    int64_t count = 0;
    for (const char* p = text; p[0] && p[1]; p += 2) count += IsHexPair(p);
    Release();
    m_position = 0;
    if (count == 0 || count > kMaxCapacity) return;
    m_memory = static_cast<uint8_t*>(MEM_ALLOC_RAW(count));
    if (m_memory == nullptr) return;
    m_capacity = count;
    int64_t i = 0;
    for (const char* p = text; p[0] && p[1]; p += 2) {
        if (IsHexPair(p)) m_memory[i++] = static_cast<uint8_t>(HexDigit(p[0]) << 4 | HexDigit(p[1]));
    }
}

int64_t CStream::CopyFrom(CStream* source, int64_t n, bool reference) {
    if (source == nullptr || source == this || n < 0) return 0;
    if (n == 0) {
        source->m_position = 0;
        const int64_t taken = WriteBuffer(source->m_memory, source->m_capacity);
        source->m_position = source->m_capacity;
        return taken;
    }
    const int64_t from = source->m_position;
    const int64_t available = from >= 0 && from < source->m_capacity ? source->m_capacity - from : 0;
    const int64_t count = std::min(n, available);
    source->Seek(n, 1);
    if (reference) {
        Release();
        m_reference = true;
        m_memory = count > 0 ? source->m_memory + from : nullptr;
        m_capacity = count;
        m_position = count;
        return count;
    }
    return count > 0 ? WriteBuffer(source->m_memory + from, count) : 0;
}

void CStream::AdoptFileBytes(uint8_t* block, int64_t size, int64_t skip) {
    Release();
    if (block == nullptr) return;
    skip = std::clamp<int64_t>(skip, 0, size);
    const int64_t count = size - skip;
    if (count > 0 && skip == 0) {
        m_memory = block;
        m_capacity = count;
        return;
    }
    if (count > 0) {
        m_memory = static_cast<uint8_t*>(MEM_ALLOC_RAW(count));
        std::memcpy(m_memory, block + skip, static_cast<size_t>(count));
        m_capacity = count;
    }
    MEM_FREE(block);
}

int CStream::Inflate(CStream* destination) {
    if (destination == nullptr) return -1;
    z_stream zs{};
    zs.zalloc = InflateAlloc;
    zs.zfree = InflateFree;
    if (const int rc = inflateInit(&zs); rc != Z_OK) return rc;
    static thread_local uint8_t input[kInflateChunk];
    static thread_local uint8_t output[kInflateChunk];
    int result = Z_DATA_ERROR;  // the input ended before the compressed stream did
    for (bool done = false; !done;) {
        const int64_t got = ReadBuffer(input, kInflateChunk);
        if (got <= 0) break;
        zs.next_in = input;
        zs.avail_in = static_cast<uInt>(got);
        int rc;
        do {
            zs.next_out = output;
            zs.avail_out = kInflateChunk;
            rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR) {
                result = rc == Z_NEED_DICT ? Z_DATA_ERROR : rc;
                done = true;
                break;
            }
            const int64_t have = kInflateChunk - zs.avail_out;
            if (have > 0 && destination->WriteBuffer(output, have) != have) {
                result = -1;
                done = true;
                break;
            }
        } while (zs.avail_out == 0 && rc != Z_STREAM_END);
        if (!done && rc == Z_STREAM_END) {
            result = Z_OK;
            done = true;
        }
    }
    inflateEnd(&zs);
    return result;
}

void CStream::Unscramble(uint32_t key, int64_t start, int64_t length) {
    if (m_memory == nullptr || start < 0 || start >= m_capacity) return;
    const int64_t end = length <= 0 || length > m_capacity - start ? m_capacity : start + length;
    uint8_t table[256];
    BuildSubstitution(key, table);
    uint8_t original[256];
    for (int i = 0; i < 256; ++i) original[table[i]] = static_cast<uint8_t>(i);
    for (int64_t i = start; i < end; ++i) m_memory[i] = original[m_memory[i]];
}

CStream* ZDecompressStream(CStream* stream) {
    if (stream == nullptr) return nullptr;
    const uint32_t length = static_cast<uint32_t>(stream->ReadInteger());
    CStream compressed;
    if (length > 0) compressed.CopyFrom(stream, length, true);
    compressed.SetPosition(0);
    DebugConsole.Output("ZDecompressStream %d\n", static_cast<int>(length));
    auto* inflated = new CStream();
    if (compressed.Inflate(inflated) != Z_OK) {
        delete inflated;
        return nullptr;
    }
    DebugConsole.Output("Done ZDecompressStream\n");
    // The growth slack past the inflated bytes is not data: the readable end is what was written.
    inflated->m_capacity = inflated->m_position;
    inflated->m_position = 0;
    return inflated;
}
