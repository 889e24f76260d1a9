// Binary buffers: the operations the rest of the runner reads and writes values through.
#pragma once

#include <cstdint>

#include "core/Value.h"

// Code of every typed read and write; multi-byte values are little-endian.
enum BufferValueType : int32_t {
    eBuffer_U8 = 1,
    eBuffer_S8 = 2,
    eBuffer_U16 = 3,
    eBuffer_S16 = 4,
    eBuffer_U32 = 5,
    eBuffer_S32 = 6,
    eBuffer_F16 = 7,
    eBuffer_F32 = 8,
    eBuffer_F64 = 9,
    eBuffer_Bool = 10,
    eBuffer_String = 11,  // the text's bytes and a zero byte
    eBuffer_U64 = 12,
    eBuffer_Text = 13,  // the text's bytes alone
};

class IBuffer {
public:
    virtual ~IBuffer() = default;
    // Writes the value at the position in the encoding of type and advances: 0; -1 bad
    // type or no text; -2 a fixed buffer is full.
    virtual int32_t Write(int32_t type, const RValue* value) = 0;
    // Reads a value of type at the position into out and advances: 0; -1 (out -3 when
    // past the end).
    virtual int32_t Read(int32_t type, RValue* out) = 0;
    // base 0 from the start, 1 relative, 2 from the end; returns the new position.
    virtual int32_t Seek(int32_t base, int32_t offset) = 0;
    virtual int32_t GetUsedSize() const = 0;
    virtual uint8_t* GetData() = 0;

    // One zero-terminated text; a null text is written as the text "\x04".
    int32_t WriteString(const char* text) {
        RValue scratch = RValue_Undefined();
        RValue_CreateString(&scratch, text ? text : "\x04");
        int32_t result = Write(eBuffer_String, &scratch);
        RValue_Release(&scratch);
        return result;
    }
    // A new memory-manager copy of the text at the position (the caller frees it), or null
    // when the read gave no string.
    char* ReadString() {
        RValue scratch = RValue_Undefined();
        char* copy = nullptr;
        if (Read(eBuffer_String, &scratch) == 0) copy = String_Duplicate(RValue_GetStringText(&scratch));
        RValue_Release(&scratch);
        return copy;
    }
};

// A growing buffer in memory with alignment 1: what the runner uses for game saves and
// value streams, and what tests serialise into.
class MemoryBuffer final : public IBuffer {
public:
    MemoryBuffer() = default;
    // Reads over a copy of existing bytes (position 0, used size = length).
    MemoryBuffer(const void* bytes, int32_t length);
    ~MemoryBuffer() override;
    MemoryBuffer(const MemoryBuffer&) = delete;
    MemoryBuffer& operator=(const MemoryBuffer&) = delete;

    int32_t Write(int32_t type, const RValue* value) override;
    int32_t Read(int32_t type, RValue* out) override;
    int32_t Seek(int32_t base, int32_t offset) override;
    int32_t GetUsedSize() const override { return m_used; }
    uint8_t* GetData() override { return m_data; }

private:
    void Reserve(int64_t size);

    uint8_t* m_data = nullptr;
    int32_t m_size = 0;
    int32_t m_position = 0;
    int32_t m_used = 0;
};
