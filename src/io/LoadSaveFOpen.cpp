#include "io/LoadSaveFOpen.h"

#include <cstring>
#include <string>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/Value.h"
#include "io/IBuffer.h"
#include "io/LoadSave.h"

namespace {

struct OpenMode {
    bool text = false;
    bool read = false;
    bool write = false;
    bool append = false;
};

OpenMode ParseMode(const char* mode) {
    OpenMode parsed;
    for (const char* c = mode; *c; ++c) {
        switch (*c) {
            case 't':
                parsed.text = true;
                break;
            case 'r':
                parsed.read = true;
                break;
            case 'w':
            case '+':
                parsed.write = true;
                break;
            case 'a':
                parsed.append = parsed.read = parsed.write = true;
                break;
            default:
                break;
        }
    }
    return parsed;
}

// The whole file as a grow buffer of exactly its size, from the bundle first; null when it is
// in neither place (or too large for a buffer).
IBuffer* ReadWhole(const char* name) {
    int64_t size = 0;
    void* block = LoadSave_ReadBundleFile(name, &size);
    if (block == nullptr) block = LoadSave_ReadSaveFile(name, &size);
    if (block == nullptr) return nullptr;
    if (size > IBuffer::kMaxSize) {
        MEM_FREE(block);
        return nullptr;
    }
    return new Buffer_Standard(static_cast<uint8_t*>(block), static_cast<int32_t>(size), eBufferType_Grow, 1,
                               true);
}

bool StartsWithByteOrderMark(const IBuffer* buffer) {
    const uint8_t* data = buffer->GetData();
    return buffer->GetSize() > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF;
}

bool IsSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// The length of the decimal number at the start of the bytes (optional sign, digits with an
// optional point, an optional exponent that has digits); 0 when there is none.
int32_t NumberLength(const uint8_t* bytes, int32_t available) {
    int32_t i = 0;
    auto digitsFrom = [&](int32_t at) {
        while (at < available && IsDigit(bytes[at])) ++at;
        return at;
    };
    if (i < available && (bytes[i] == '+' || bytes[i] == '-')) ++i;
    const int32_t integerEnd = digitsFrom(i);
    int32_t end = integerEnd;
    bool digits = integerEnd > i;
    if (end < available && bytes[end] == '.') {
        const int32_t fractionEnd = digitsFrom(end + 1);
        digits = digits || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!digits) return 0;
    if (end < available && (bytes[end] == 'e' || bytes[end] == 'E')) {
        int32_t e = end + 1;
        if (e < available && (bytes[e] == '+' || bytes[e] == '-')) ++e;
        const int32_t exponentEnd = digitsFrom(e);
        if (exponentEnd > e) end = exponentEnd;
    }
    return end;
}

}  // namespace

LoadSaveFile* LoadSave_fopen(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr) return nullptr;
    const OpenMode parsed = ParseMode(mode);
    IBuffer* buffer = nullptr;
    if (parsed.read) {
        buffer = ReadWhole(name);
        if (buffer != nullptr && parsed.text && StartsWithByteOrderMark(buffer)) buffer->Seek(0, 3);
    }
    if (parsed.write) {
        if (buffer == nullptr)
            buffer = new Buffer_Standard();
        else if (parsed.append)
            buffer->Seek(2, 0);
    }
    if (buffer == nullptr) return nullptr;
    auto* file = static_cast<LoadSaveFile*>(MEM_ALLOC(sizeof(LoadSaveFile)));
    file->buffer = buffer;
    file->text = parsed.text;
    file->name = parsed.write ? String_Duplicate(name) : nullptr;
    file->write = parsed.write;
    return file;
}

void LoadSave_fclose(LoadSaveFile* file) {
    if (file == nullptr) return;
    if (file->write && file->name != nullptr) file->buffer->Save(file->name, 0, file->buffer->GetUsedSize());
    MEM_FREE(file->name);
    delete file->buffer;
    MEM_FREE(file);
}

int32_t LoadSave_ftell(LoadSaveFile* file) {
    return file->buffer->GetPosition();
}

int32_t LoadSave_fseek(LoadSaveFile* file, int32_t offset, int origin) {
    if (origin >= 0 && origin <= 2) return file->buffer->Seek(origin, offset);
    return file->buffer->GetPosition();
}

bool LoadSave_feof(LoadSaveFile* file) {
    return file->buffer->GetPosition() >= file->buffer->GetSize();
}

bool LoadSave_feoln(LoadSaveFile* file) {
    if (LoadSave_feof(file)) return true;
    const uint8_t next = file->buffer->GetData()[file->buffer->GetPosition()];
    return next == '\r' || next == '\n';
}

int LoadSave_fgetc(LoadSaveFile* file) {
    uint8_t byte = 0;
    if (file->buffer->ReadBytes(&byte, 1, 1) == 1) return byte;
    file->buffer->Seek(1, 1);
    return LOADSAVE_EOF;
}

int32_t LoadSave_freadReal(LoadSaveFile* file, double* out) {
    IBuffer* buffer = file->buffer;
    const uint8_t* data = buffer->GetData();
    int32_t position = buffer->GetPosition();
    while (position < buffer->GetSize() && IsSpace(data[position])) ++position;
    buffer->Seek(0, position);
    *out = 0.0;
    if (position >= buffer->GetSize()) return 0;
    const int32_t length = NumberLength(data + position, buffer->GetSize() - position);
    if (length == 0) return 0;
    const std::string number(reinterpret_cast<const char*>(data + position), static_cast<size_t>(length));
    *out = CRT_atof(number.c_str());
    buffer->Seek(1, length);
    return length;
}

int32_t LoadSave_fread(void* bytes, int32_t elementSize, int32_t count, LoadSaveFile* file) {
    return file->buffer->ReadBytes(bytes, elementSize, count);
}

int32_t LoadSave_fwrite(const void* bytes, int32_t elementSize, int32_t count, LoadSaveFile* file) {
    return file->buffer->WriteBytes(bytes, elementSize, count);
}

int32_t LoadSave_fputs(LoadSaveFile* file, const char* text) {
    if (text == nullptr) return 0;
    int32_t written = 0;
    const char* run = text;
    for (const char* c = text; *c; ++c) {
        if (*c != '\n' || (c > text && c[-1] == '\r')) continue;
        written += file->buffer->WriteBytes(run, 1, static_cast<int32_t>(c - run));
        written += file->buffer->WriteBytes("\r\n", 1, 2);
        run = c + 1;
    }
    written += file->buffer->WriteBytes(run, 1, static_cast<int32_t>(std::strlen(run)));
    return written;
}
