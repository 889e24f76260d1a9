// libFuzzer target for buffers and streams: the input's bytes are loaded into buffers of
// every kind the way a file load lands in them, read back as every value type, and driven by
// a little program of typed reads, writes, seeks, peeks, pokes, fills, copies, resizes and
// hashes that the input spells out; the same bytes are deserialised as a value, read as a
// memory stream (integers, strings, hex text, compressed data) and read as a text file held
// in a buffer. Positions stay within 16 MB except for seeks right up to the 32-bit limit,
// where writes must fail rather than grow.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "io/IBuffer.h"
#include "io/LoadSaveFOpen.h"
#include "io/Support_Stream.h"

namespace {

// Reads the input from the front; past its end every read gives 0.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int32_t Short() { return int16_t(Byte() | Byte() << 8); }
    bool More() const { return m_at < m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

IBuffer* MakeBuffer(uint8_t kind, uint8_t alignment, int32_t size) {
    if (kind % 5 == eBufferType_Fast) return new Buffer_Fast(size, alignment);
    return new Buffer_Standard(size, kind % 5, alignment);
}

RValue ValueFrom(Reader& in) {
    switch (in.Byte() % 4) {
        case 0:
            return RValue_Real(in.Short() * 1.25);
        case 1:
            return RValue_Int64(int64_t(in.Short()) << (in.Byte() % 48));
        case 2: {
            char text[8] = {};
            for (int i = 0; i < 7; ++i) text[i] = char(in.Byte() | 1);
            text[in.Byte() % 8] = '\0';
            RValue v = RValue_Undefined();
            RValue_CreateString(&v, text);
            return v;
        }
        default:
            return RValue_Bool(in.Byte() & 1);
    }
}

// Every value type read from every position until the end.
void ReadEverything(IBuffer* buffer) {
    RValue out = RValue_Undefined();
    buffer->Seek(0, 0);
    for (int32_t i = 0; i < 512 && buffer->GetPosition() < buffer->GetSize(); ++i) {
        if (buffer->Read(1 + i % 14, &out) != 0 && buffer->GetType() == eBufferType_Fast) buffer->Seek(1, 1);
        buffer->Peek(i * 7 - 3, 1 + i % 13, &out);
    }
    RValue_Release(&out);
    buffer->Seek(0, 0);
    MEM_FREE(buffer->ReadString());
    uint8_t bytes[64];
    buffer->ReadBytes(bytes, 3, 21);
}

void RunProgram(IBuffer* buffer, IBuffer* other, Reader& in) {
    RValue out = RValue_Undefined();
    for (int steps = 0; steps < 256 && in.More(); ++steps) {
        const uint8_t op = in.Byte();
        const int32_t type = in.Byte() % 15;
        switch (op % 16) {
            case 0:
            case 1: {
                RValue v = ValueFrom(in);
                buffer->Write(type, &v);
                RValue_Release(&v);
                break;
            }
            case 2:
                buffer->Read(type, &out);
                break;
            case 3: {
                // Once far out, relative seeks start again from the start: a grow buffer may
                // only be written near the 32-bit limit, where it must refuse, or within 16 MB.
                int32_t base = in.Byte() % 4;
                if (base == 1 && buffer->GetPosition() > (1 << 24)) base = 0;
                buffer->Seek(base, in.Short());
                break;
            }
            case 4:
                buffer->Seek(0, INT32_MAX - in.Byte());
                break;
            case 5:
                buffer->Peek(in.Short(), type, &out);
                break;
            case 6: {
                RValue v = ValueFrom(in);
                buffer->Poke(in.Short(), type, &v);
                RValue_Release(&v);
                break;
            }
            case 7: {
                RValue v = ValueFrom(in);
                const int32_t offset = in.Short();
                buffer->Fill(offset, in.Short(), type, &v);
                RValue_Release(&v);
                break;
            }
            case 8: {
                const int32_t offset = in.Short(), size = in.Short();
                buffer->CopyTo(offset, size, in.Byte() & 1 ? other : buffer, in.Short());
                break;
            }
            case 9:
                buffer->Resize(in.Short() & 0xFFFF);
                break;
            case 10: {
                const int32_t offset = in.Short();
                if (type & 1)
                    buffer->MD5(&out, offset, in.Short());
                else
                    buffer->SHA1(&out, offset, in.Short());
                break;
            }
            case 11: {
                const int32_t offset = in.Short();
                buffer->Base64Encode(&out, offset, in.Short());
                if (out.kind == VALUE_STRING) other->Base64Decode(RValue_GetStringText(&out), in.Short(), -1);
                break;
            }
            case 12: {
                uint8_t bytes[4 * 255] = {};
                const int32_t element = in.Byte() % 5, count = in.Byte();
                if (op & 16)
                    buffer->WriteBytes(bytes, element, count);
                else
                    buffer->ReadBytes(bytes, element, count);
                break;
            }
            case 13:
                buffer->WriteString(op & 16 ? nullptr : "text");
                MEM_FREE(buffer->ReadString());
                break;
            default: {
                const int32_t length = in.Byte() % 32;
                uint8_t source[32] = {};
                const int32_t sourceOffset = in.Short(), count = in.Short();
                IBuffer_CopyFromMemory(buffer, source, length, sourceOffset, count, in.Short(), op & 16,
                                       op & 32, op & 64);
                uint8_t plain[32];
                IBuffer_CopyToMemory(plain, in.Byte() % 33, source, length, sourceOffset, count, in.Short(),
                                     op & 32, op & 64);
                break;
            }
        }
    }
    RValue_Release(&out);
}

void ReadAsStream(const uint8_t* data, int32_t size) {
    CStream stream(0);
    stream.WriteBuffer(data, size);
    stream.SetPosition(0);
    for (int i = 0; i < 64 && stream.GetPosition() < stream.GetSize(); ++i) {
        char* text = nullptr;
        switch (i % 4) {
            case 0:
                stream.ReadInteger();
                break;
            case 1:
                stream.ReadInteger64();
                break;
            case 2:
                stream.ReadReal();
                break;
            default:
                stream.ReadString(&text);
                MEM_FREE(text);
                break;
        }
    }
    stream.SetPosition(0);
    delete ZDecompressStream(&stream);

    char* text = static_cast<char*>(MEM_ALLOC(uint32_t(size) + 1));
    std::memcpy(text, data, size_t(size));
    CStream hex(4);
    hex.ConvertFromHex(text);
    MEM_FREE(hex.ConvertToHex());
    Buffer_Standard decoded;
    decoded.Base64Decode(text, 0, -1);
    MEM_FREE(text);
}

void ReadAsTextFile(const uint8_t* data, int32_t size) {
    auto* block = static_cast<uint8_t*>(MEM_ALLOC(uint32_t(size) + 1));
    std::memcpy(block, data, size_t(size));
    LoadSaveFile file{new Buffer_Standard(block, size, eBufferType_Grow, 1, true), true, nullptr, false};
    double real = 0;
    for (int i = 0; i < 256 && !LoadSave_feof(&file); ++i) {
        if (LoadSave_freadReal(&file, &real) == 0) LoadSave_fgetc(&file);
        LoadSave_feoln(&file);
    }
    LoadSave_fputs(&file, "x\ny\r\n");
    delete file.buffer;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_Switches.headless = true;
    // Wrong-kind arguments are reported and the call goes on, as in a game with error capture.
    Runtime_SetErrorReporter([](const char*) {});
    Runtime_SetNonFatalReporter([](const char*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9 || size > (1u << 16)) return 0;
    Reader header(data, 8);
    const uint8_t kind = header.Byte(), alignment = header.Byte();
    const int32_t bufferSize = header.Short() & 0x0FFF;
    const int32_t sourceOffset = header.Short(), count = header.Short();
    const uint8_t* payload = data + 8;
    const int32_t length = int32_t(size - 8);

    // A load lands in a buffer of each kind (grow and empty buffers grow, wrap wraps).
    for (uint8_t k = 0; k < 5; ++k) {
        IBuffer* buffer = MakeBuffer(k, alignment, k == kind % 5 ? bufferSize : bufferSize / 2);
        buffer->CopyRangeIn(payload, length, sourceOffset, count, header.Short());
        ReadEverything(buffer);
        delete buffer;
    }

    IBuffer* buffer = MakeBuffer(kind, alignment, bufferSize);
    IBuffer* other = MakeBuffer(kind + 1, alignment / 3, bufferSize / 3);
    buffer->CopyRangeIn(payload, length, 0, -1, 0);
    Reader program(payload, size_t(length));
    RunProgram(buffer, other, program);
    ReadEverything(buffer);
    ReadEverything(other);
    delete buffer;
    delete other;

    uint8_t* copy = static_cast<uint8_t*>(MEM_ALLOC(uint32_t(length)));
    std::memcpy(copy, payload, size_t(length));
    Buffer_Standard serialised(copy, length, eBufferType_Fixed, 1, false);
    RValue value = RValue_Undefined();
    RValue_Deserialise(&value, &serialised);
    RValue_Release(&value);
    MEM_FREE(copy);

    ReadAsStream(payload, length);
    ReadAsTextFile(payload, length);
    return 0;
}
