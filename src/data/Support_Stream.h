// CStream: the growable memory stream behind container text, loaders and compressed data.
// Values are little-endian; a string is a 32-bit length and its bytes. The capacity is both the
// allocated size and the readable end; after writing, the position is the meaningful length.
#pragma once

#include <cstdint>

class CStream {
public:
    // The largest capacity a stream grows to (memory-manager blocks are sized by 32-bit counts).
    static constexpr int64_t kMaxCapacity = 0x7FFFFFFF;

    explicit CStream(int64_t capacity = 0);
    ~CStream();
    CStream(const CStream&) = delete;
    CStream& operator=(const CStream&) = delete;

    uint8_t* GetMemory() const { return m_memory; }
    int64_t GetPosition() const { return m_position; }
    int64_t GetSize() const { return m_capacity; }
    bool IsReference() const { return m_reference; }
    void SetPosition(int64_t position) { m_position = position; }
    // Origin 0 the start, 1 the position, 2 the capacity; the new position. Other origins leave it.
    int64_t Seek(int64_t offset, int origin);

    // Copies min(n, what remains) bytes from the position and advances past them.
    int64_t ReadBuffer(void* destination, int64_t n);
    // Stores n bytes at the position, growing the stream; n, or 0 when nothing was written.
    int64_t WriteBuffer(const void* source, int64_t n);

    // Fixed-size reads give 0 when the value's bytes do not all lie before the capacity; the
    // position then moves to the capacity.
    int32_t ReadInteger();
    int64_t ReadInteger64();
    double ReadReal();
    // A new zero-terminated memory-manager copy in out (null for length 0 or a length that runs
    // past the capacity); the number of text bytes read.
    int64_t ReadString(char** out);

    void WriteInteger(int32_t value);
    void WriteInteger64(int64_t value);
    void WriteReal(double value);
    void WriteString(const char* text);

    // New memory-manager text: the bytes from 0 to the position as upper-case hex (null when
    // the position is 0 or less).
    char* ConvertToHex() const;
    // Replaces the contents with the bytes of the text's well-formed hex pairs; the position
    // becomes 0. An empty text changes nothing.
    void ConvertFromHex(const char* text);

    // Takes n bytes from the source's position (n = 0: the whole source); with reference set
    // this stream only looks at the source's memory, which must outlive it and not move.
    int64_t CopyFrom(CStream* source, int64_t n, bool reference);
    // A file's bytes (a memory-manager block the stream takes, or null for a missing file)
    // without their first skip bytes; null leaves the stream empty. The position is kept.
    void AdoptFileBytes(uint8_t* block, int64_t size, int64_t skip);
    // Inflates the zlib data from the position into the destination: 0, or a zlib error code
    // (-3 when the data ends early or asks for a dictionary, -1 when the destination cannot grow).
    int Inflate(CStream* destination);

    // Undoes the byte substitution of stored script text over start .. start + length - 1
    // (length 0 or less: to the capacity). Byte 0 always stays 0.
    void Unscramble(uint32_t key, int64_t start, int64_t length);

private:
    friend CStream* ZDecompressStream(CStream* stream);
    void Release();
    bool Reserve(int64_t needed);
    template <typename T>
    T ReadValue();
    template <typename T>
    void WriteValue(T value);

    bool m_reference = false;
    uint8_t* m_memory = nullptr;
    int64_t m_capacity = 0;
    int64_t m_position = 0;
};

// Reads a 32-bit length at the position and inflates that many zlib bytes that follow into a
// new stream at position 0; null when the data does not inflate.
CStream* ZDecompressStream(CStream* stream);
