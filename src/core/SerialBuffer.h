// What saving and loading values, variable lists and instances ask of a byte store: typed
// numbers, zero-ended texts and the bytes left. The binary buffers (io/IBuffer.h) provide it.
#pragma once

#include <cstdint>

struct RValue;

// Code of every typed read and write; multi-byte values are little-endian.
enum BufferValueType : int32_t {
    eBuffer_U8 = 1,
    eBuffer_S8 = 2,
    eBuffer_U16 = 3,
    eBuffer_S16 = 4,
    eBuffer_U32 = 5,
    eBuffer_S32 = 6,
    eBuffer_F16 = 7,  // known but neither written nor decoded
    eBuffer_F32 = 8,
    eBuffer_F64 = 9,
    eBuffer_Bool = 10,
    eBuffer_String = 11,  // the text's bytes and a zero byte
    eBuffer_U64 = 12,
    eBuffer_Text = 13,  // the text's bytes alone
};

class SerialBuffer {
public:
    // A typed number at the position, which advances: 0, or the buffer's failure code.
    virtual int32_t PutNumber(int32_t type, const RValue* value) = 0;
    virtual int32_t GetNumber(int32_t type, RValue* out) = 0;
    // One zero-ended text; a null text is written as the text "\x04".
    virtual int32_t PutText(const char* text) = 0;
    // A new memory-manager copy of the text at the position, or null when none was read.
    virtual char* GetText() = 0;
    // The used bytes after the position (negative once the position passed the used end).
    virtual int64_t BytesLeft() = 0;

protected:
    ~SerialBuffer() = default;
};
