#include <cstring>

#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "core/SerialBuffer.h"

namespace {

// Nesting deeper than this cannot come from a game's own data; refusing it keeps a crafted
// file from exhausting the native stack.
constexpr int kMaxReadNesting = 1024;
// The smallest a serialised item or row can be: its kind word or its length.
constexpr int64_t kMinEntryBytes = 4;

// The arrays being written, innermost first: an array met again inside itself is cut.
struct WritePath {
    const SharedArray* record;
    const WritePath* outer;
};

bool OnPath(const WritePath* path, const SharedArray* record) {
    for (; path != nullptr; path = path->outer) {
        if (path->record == record) return true;
    }
    return false;
}

void WriteInt32(SerialBuffer* buffer, int32_t number) {
    RValue value = RValue_Int32(number);
    buffer->PutNumber(eBuffer_S32, &value);
}

void WriteValue(const RValue* value, SerialBuffer* buffer, const WritePath* path) {
    WriteInt32(buffer, static_cast<int32_t>(value->kind));
    switch (value->kind) {
        case VALUE_REAL: {
            RValue number = RValue_Real(value->val);
            buffer->PutNumber(eBuffer_F64, &number);
            break;
        }
        case VALUE_STRING:
            buffer->PutText(RValue_GetStringText(value));
            break;
        case VALUE_ARRAY: {
            const SharedArray* record = value->arr;
            if (record == nullptr || OnPath(path, record)) {
                WriteInt32(buffer, 0);
                break;
            }
            WritePath inner{record, path};
            WriteInt32(buffer, record->rowCount);
            for (int32_t r = 0; r < record->rowCount; ++r) {
                const ArrayRow& row = record->rows[r];
                WriteInt32(buffer, row.length);
                for (int32_t i = 0; i < row.length; ++i) WriteValue(&row.items[i], buffer, &inner);
            }
            break;
        }
        default:
            break;
    }
}

bool ReadNumber(SerialBuffer* buffer, int32_t type, int64_t width, RValue* out) {
    if (buffer->BytesLeft() < width) return false;
    return buffer->GetNumber(type, out) == 0;
}

bool ReadInt32(SerialBuffer* buffer, int32_t* number) {
    RValue value = RValue_Undefined();
    if (!ReadNumber(buffer, eBuffer_S32, 4, &value)) return false;
    *number = static_cast<int32_t>(value.val);
    return true;
}

// A count that the remaining bytes could really hold, each entry taking at least 4 bytes.
bool ReadCount(SerialBuffer* buffer, int32_t* count) {
    return ReadInt32(buffer, count) && *count >= 0 && *count * kMinEntryBytes <= buffer->BytesLeft();
}

bool ReadValue(RValue* value, SerialBuffer* buffer, int depth);

bool ReadArray(RValue* value, SerialBuffer* buffer, int depth) {
    if (depth >= kMaxReadNesting) return false;
    SharedArray* record = SharedArray_Create(value);
    value->arr = record;
    int32_t rowCount;
    if (!ReadCount(buffer, &rowCount)) return false;
    if (rowCount > 0) {
        record->rows = static_cast<ArrayRow*>(MEM_ALLOC(sizeof(ArrayRow) * static_cast<size_t>(rowCount)));
        record->rowCount = record->rowCapacity = rowCount;
    }
    for (int32_t r = 0; r < rowCount; ++r) {
        ArrayRow& row = record->rows[r];
        int32_t length;
        if (!ReadCount(buffer, &length)) return false;
        if (length == 0) continue;
        // Zeroed items are real 0, so a read cut short leaves a record that releases cleanly.
        row.items = static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(length)));
        row.length = row.capacity = length;
        for (int32_t i = 0; i < length; ++i) {
            if (!ReadValue(&row.items[i], buffer, depth + 1)) return false;
        }
    }
    return true;
}

bool ReadValue(RValue* value, SerialBuffer* buffer, int depth) {
    RValue_Free(value);
    int32_t kind;
    if (!ReadInt32(buffer, &kind)) return false;
    value->kind = static_cast<uint32_t>(kind);
    switch (value->kind) {
        case VALUE_REAL: {
            RValue number = RValue_Undefined();
            if (!ReadNumber(buffer, eBuffer_F64, 8, &number)) return false;
            value->val = number.val;
            return true;
        }
        case VALUE_STRING: {
            if (buffer->BytesLeft() < 1) return false;
            char* text = buffer->GetText();
            if (text == nullptr) return false;
            RValue_SetString(value, text);
            MEM_FREE(text);
            return true;
        }
        case VALUE_ARRAY:
            return ReadArray(value, buffer, depth);
        default:
            return true;
    }
}

}  // namespace

void RValue_Serialise(const RValue* value, SerialBuffer* buffer) {
    WriteValue(value, buffer, nullptr);
}

bool RValue_Deserialise(RValue* value, SerialBuffer* buffer) {
    if (ReadValue(value, buffer, 0)) return true;
    RValue_Release(value);
    return false;
}
