// Containers as text: the upper-case hex spelling of a little-endian stream that starts with
// a version word naming the container and its value layout. Games keep these texts in save
// files, so a reader trusts nothing in them: every count, size and length is checked
// against the bytes left before anything is allocated, and a text that fails a check is
// refused whole, leaving the container as it was (a map is emptied first, whatever comes).
#include <cstring>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "data/Support_Data_Structures.h"
#include "data/ValueCompare.h"
#include "data/Support_Stream.h"

namespace {

// Version words: the one written, and the earlier one still read (x01).
constexpr int32_t kStackVersion = 102;
constexpr int32_t kQueueVersion = 202;
constexpr int32_t kListVersion = 302;
constexpr int32_t kMapVersion = 402;
constexpr int32_t kPriorityVersion = 502;
constexpr int32_t kGridVersion = 602;

// Deeper arrays are not read; on writing, they are written as empty arrays so that what is
// written can always be read back.
constexpr int32_t kMaxArrayDepth = 256;

int64_t Remaining(const CStream* stream) {
    const int64_t left = stream->GetSize() - stream->GetPosition();
    return left > 0 ? left : 0;
}

// The fewest bytes one value of a layout takes: the kind word alone, or in the legacy
// layout the kind word, a double and a text length.
int64_t MinValueBytes(DSReadMode mode) {
    return mode == DS_READ_LEGACY ? 16 : 4;
}

// True when n items of at least itemBytes each fit in what is left.
bool CountFits(const CStream* stream, int64_t n, int64_t itemBytes) {
    return n >= 0 && n <= Remaining(stream) / itemBytes;
}

// The same for items that become 16-byte slots, which one block must be able to hold.
bool SlotsFit(const CStream* stream, int64_t n, int64_t itemBytes) {
    return CountFits(stream, n, itemBytes) && n <= DSSlots::kMaxSlots;
}

// A text is its length then its bytes; no text and the empty text both write length 0.
void WriteText(CStream* stream, const RValue* value) {
    const char* text = RValue_GetStringText(value);
    const int32_t length = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    stream->WriteInteger(length);
    if (length > 0) stream->WriteBuffer(text, length);
}

// A length 0 gives a string record without text, which reads as the empty string.
bool ReadText(RValue* value, CStream* stream) {
    const int32_t length = stream->ReadInteger();
    if (!CountFits(stream, length, 1)) return false;
    SharedString* record;
    if (length == 0) {
        record = new SharedString(nullptr);
    } else {
        record = SharedString_Alloc(length);
        stream->ReadBuffer(record->text, length);
        record->text[length] = '\0';
        record->length = static_cast<int32_t>(std::strlen(record->text));
    }
    value->str = record;
    value->kind = VALUE_STRING;
    return true;
}

void WriteValue(CStream* stream, const RValue* value, std::vector<const SharedArray*>& path) {
    const uint32_t kind = value->kind;
    stream->WriteInteger(static_cast<int32_t>(kind));
    switch (kind) {
        case VALUE_REAL:
        case VALUE_BOOL:
            stream->WriteReal(value->val);
            break;
        case VALUE_STRING:
            WriteText(stream, value);
            break;
        case VALUE_ARRAY: {
            const SharedArray* record = value->arr;
            // An array met again inside itself, or nested too deep, is written empty.
            bool repeat = record == nullptr || path.size() >= static_cast<size_t>(kMaxArrayDepth);
            for (const SharedArray* outer : path) repeat = repeat || outer == record;
            if (repeat) {
                stream->WriteInteger(0);
                break;
            }
            path.push_back(record);
            stream->WriteInteger(record->rowCount);
            for (int32_t r = 0; r < record->rowCount; ++r) {
                const ArrayRow& row = record->rows[r];
                stream->WriteInteger(row.length);
                for (int32_t i = 0; i < row.length; ++i) WriteValue(stream, &row.items[i], path);
            }
            path.pop_back();
            break;
        }
        case VALUE_PTR:
            stream->WriteInteger64(static_cast<int64_t>(reinterpret_cast<intptr_t>(value->ptr)));
            break;
        case VALUE_UNDEFINED:
            break;
        case VALUE_INT32:
            stream->WriteInteger(value->v32);
            break;
        case VALUE_INT64:
            stream->WriteInteger64(value->v64);
            break;
        default:
            DebugConsole.Output("Attempting to WriteValue for unsupported type %d\n",
                                static_cast<int32_t>(kind));
            break;
    }
}

bool ReadValue(RValue* value, CStream* stream, DSReadMode mode, int32_t depth);

// Rows and their values are checked against the bytes left before each block is made; the
// record hangs on the value from the start, so a failure part-way frees what was read.
bool ReadArray(RValue* value, CStream* stream, DSReadMode mode, int32_t depth) {
    if (depth >= kMaxArrayDepth) return false;
    SharedArray* record = SharedArray_Create(value);
    value->arr = record;
    value->kind = VALUE_ARRAY;
    const int32_t rowCount = stream->ReadInteger();
    if (!SlotsFit(stream, rowCount, 4)) return false;
    if (rowCount == 0) return true;
    record->rows = static_cast<ArrayRow*>(MEM_ALLOC(sizeof(ArrayRow) * static_cast<size_t>(rowCount)));
    record->rowCapacity = rowCount;
    for (int32_t r = 0; r < rowCount; ++r) {
        const int32_t length = stream->ReadInteger();
        if (!SlotsFit(stream, length, MinValueBytes(mode))) return false;
        ArrayRow& row = record->rows[r];
        row.items = static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(length)));
        row.length = length;
        row.capacity = length;
        record->rowCount = r + 1;
        for (int32_t i = 0; i < length; ++i)
            if (!ReadValue(&row.items[i], stream, mode, depth + 1)) return false;
    }
    return true;
}

// Kinds a value of the x01 layout may keep with a zero payload; any other word (a reference
// kind, container marks, kinds no text can carry) becomes undefined rather than claim what
// it does not hold.
bool PlainKindWord(uint32_t kind) {
    switch (kind) {
        case VALUE_REAL:
        case VALUE_PTR:
        case VALUE_UNDEFINED:
        case VALUE_INT32:
        case VALUE_INT64:
        case VALUE_BOOL:
            return true;
        default:
            return false;
    }
}

bool ReadCurrent(RValue* value, CStream* stream, uint32_t kind, int32_t depth) {
    switch (kind) {
        case VALUE_REAL:
        case VALUE_BOOL:
            value->val = stream->ReadReal();
            value->kind = kind;
            return true;
        case VALUE_STRING:
            return ReadText(value, stream);
        case VALUE_ARRAY:
            return ReadArray(value, stream, DS_READ_CURRENT, depth);
        case VALUE_PTR:
            value->ptr = reinterpret_cast<void*>(static_cast<intptr_t>(stream->ReadInteger64()));
            value->kind = VALUE_PTR;
            return true;
        case VALUE_UNDEFINED:
            return true;
        case VALUE_INT32:
            value->v32 = stream->ReadInteger();
            value->kind = VALUE_INT32;
            return true;
        case VALUE_INT64:
            value->v64 = stream->ReadInteger64();
            value->kind = VALUE_INT64;
            return true;
        default:
            DebugConsole.Output("Attempting to ReadValue for unsupported type %d\n",
                                static_cast<int32_t>(kind));
            return true;
    }
}

bool ReadX01(RValue* value, CStream* stream, uint32_t kind, int32_t depth) {
    switch (kind) {
        case VALUE_REAL:
            value->val = stream->ReadReal();
            value->kind = VALUE_REAL;
            return true;
        case VALUE_STRING:
            return ReadText(value, stream);
        case VALUE_ARRAY:
            return ReadArray(value, stream, DS_READ_X01, depth);
        default:
            if (PlainKindWord(kind)) value->kind = kind;
            return true;
    }
}

bool ReadLegacy(RValue* value, CStream* stream, uint32_t kind) {
    const double real = stream->ReadReal();
    RValue text = RValue_Undefined();
    if (!ReadText(&text, stream)) return false;
    if (kind == VALUE_STRING) {
        *value = text;
    } else {
        RValue_Release(&text);
        *value = RValue_Real(real);
    }
    return true;
}

bool ReadValue(RValue* value, CStream* stream, DSReadMode mode, int32_t depth) {
    RValue_Release(value);
    const uint32_t kind = static_cast<uint32_t>(stream->ReadInteger());
    bool ok;
    switch (mode) {
        case DS_READ_LEGACY:
            ok = ReadLegacy(value, stream, kind);
            break;
        case DS_READ_X01:
            ok = ReadX01(value, stream, kind, depth);
            break;
        default:
            ok = ReadCurrent(value, stream, kind, depth);
            break;
    }
    if (!ok) RValue_Release(value);
    return ok;
}

// --- Whole containers ---------------------------------------------------------------------

// Decodes the text and reads its version word; the read mode follows from the word and the
// legacy flag. False when the word is neither of the kind's two.
bool OpenText(CStream& stream, const char* text, int32_t version, bool legacy, DSReadMode* mode) {
    stream.ConvertFromHex(text);
    const int32_t word = stream.ReadInteger();
    if (word != version && word != version - 1) return false;
    *mode = legacy ? DS_READ_LEGACY : (word == version - 1 ? DS_READ_X01 : DS_READ_CURRENT);
    return true;
}

// Reads n values into a fresh block; on failure the block is released and freed.
bool ReadBlock(CStream& stream, DSReadMode mode, int32_t n, DSSlots* block) {
    block->Reserve(n);
    for (int32_t i = 0; i < n; ++i) {
        if (!ReadValue(&block->values[i], &stream, mode, 0)) {
            for (int32_t j = 0; j < i; ++j) RValue_Release(&block->values[j]);
            block->Free();
            return false;
        }
    }
    return true;
}

// Moves a block that was read into storage the container keeps, then frees the block.
void MoveBlockInto(DSSlots* storage, DSSlots* block, int32_t n) {
    storage->Reserve(n);
    RValue_MoveRange(storage->values, block->values, n);
    block->Free();
}

// Old map text: "t:key:value" entries joined by ','. Bit 0 of t - '0' makes the key a
// string, bit 1 the value; a string is its bytes as hex pairs, a real up to 16 hex digits
// spelling its bytes from the most significant down.
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

inline bool FieldEnd(char c) {
    return c == '\0' || c == ':' || c == ',';
}

// Reads one field from text[*at]; *at stops on the character that ends it.
void ReadOldField(const char* text, size_t* at, bool isString, RValue* out) {
    std::vector<char> bytes;
    size_t i = *at;
    for (; !FieldEnd(text[i]); i += FieldEnd(text[i + 1]) ? 1 : 2) {
        if (FieldEnd(text[i + 1])) continue;  // a lone last digit spells nothing
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi >= 0 && lo >= 0) bytes.push_back(static_cast<char>(hi << 4 | lo));
    }
    *at = i;
    if (isString) {
        bytes.push_back('\0');
        RValue_CreateString(out, bytes.data());
        return;
    }
    uint8_t raw[8] = {};
    for (size_t b = 0; b < bytes.size() && b < 8; ++b) raw[7 - b] = static_cast<uint8_t>(bytes[b]);
    double d;
    std::memcpy(&d, raw, sizeof d);
    *out = RValue_Real(d);
}

}  // namespace

void DS_WriteValue(CStream* stream, const RValue* value) {
    std::vector<const SharedArray*> path;
    WriteValue(stream, value, path);
}

bool DS_ReadValue(RValue* value, CStream* stream, DSReadMode mode) {
    return ReadValue(value, stream, mode, 0);
}

// --- Stack --------------------------------------------------------------------------------

char* CDS_Stack::Write() const {
    CStream stream;
    stream.WriteInteger(kStackVersion);
    stream.WriteInteger(m_count);
    for (int32_t i = 0; i < m_count; ++i) DS_WriteValue(&stream, &m_slots.values[i]);
    return stream.ConvertToHex();
}

bool CDS_Stack::Read(const char* text, bool legacy) {
    CStream stream;
    DSReadMode mode;
    if (!OpenText(stream, text, kStackVersion, legacy, &mode)) return false;
    const int32_t count = stream.ReadInteger();
    DSSlots block;
    if (!SlotsFit(&stream, count, MinValueBytes(mode)) || !ReadBlock(stream, mode, count, &block))
        return false;
    Clear();
    m_slots = block;
    m_count = count;
    m_capacity = count;
    return true;
}

// --- Queue --------------------------------------------------------------------------------

char* CDS_Queue::Write() const {
    CStream stream;
    stream.WriteInteger(kQueueVersion);
    stream.WriteInteger(m_tail);
    stream.WriteInteger(m_head);
    stream.WriteInteger(m_capacity);
    for (int32_t i = 0; i < m_capacity; ++i) DS_WriteValue(&stream, &m_slots.values[i]);
    return stream.ConvertToHex();
}

// Head and tail must lie in order within the slots the text holds.
bool CDS_Queue::Read(const char* text, bool legacy) {
    CStream stream;
    DSReadMode mode;
    if (!OpenText(stream, text, kQueueVersion, legacy, &mode)) return false;
    const int32_t tail = stream.ReadInteger();
    const int32_t head = stream.ReadInteger();
    const int32_t n = stream.ReadInteger();
    if (head < 0 || head > tail || tail > n) return false;
    DSSlots block;
    if (!SlotsFit(&stream, n, MinValueBytes(mode)) || !ReadBlock(stream, mode, n, &block)) return false;
    Clear();
    MoveBlockInto(&m_slots, &block, n);
    m_tail = tail;
    m_head = head;
    m_capacity = n;
    return true;
}

// --- List ---------------------------------------------------------------------------------

char* CDS_List::Write() const {
    CStream stream;
    stream.WriteInteger(kListVersion);
    stream.WriteInteger(m_count);
    for (int32_t i = 0; i < m_count; ++i) DS_WriteValue(&stream, &m_slots.values[i]);
    return stream.ConvertToHex();
}

bool CDS_List::Read(const char* text, bool legacy) {
    CStream stream;
    DSReadMode mode;
    if (!OpenText(stream, text, kListVersion, legacy, &mode)) return false;
    const int32_t count = stream.ReadInteger();
    DSSlots block;
    if (!SlotsFit(&stream, count, MinValueBytes(mode)) || !ReadBlock(stream, mode, count, &block))
        return false;
    Clear();
    // Slots from the count up to the old capacity were released by Clear: they hold nothing.
    MoveBlockInto(&m_slots, &block, count);
    m_count = count;
    m_capacity = count;
    return true;
}

// --- Priority queue -----------------------------------------------------------------------

char* CDS_Priority::Write() const {
    CStream stream;
    stream.WriteInteger(kPriorityVersion);
    stream.WriteInteger(m_count);
    for (int32_t i = 0; i < m_count; ++i) DS_WriteValue(&stream, &m_priorities.values[i]);
    for (int32_t i = 0; i < m_count; ++i) DS_WriteValue(&stream, &m_values.values[i]);
    return stream.ConvertToHex();
}

bool CDS_Priority::Read(const char* text, bool legacy) {
    CStream stream;
    DSReadMode mode;
    if (!OpenText(stream, text, kPriorityVersion, legacy, &mode)) return false;
    const int32_t count = stream.ReadInteger();
    if (!SlotsFit(&stream, count, 2 * MinValueBytes(mode))) return false;
    DSSlots priorities, values;
    if (!ReadBlock(stream, mode, count, &priorities)) return false;
    if (!ReadBlock(stream, mode, count, &values)) {
        for (int32_t i = 0; i < count; ++i) RValue_Release(&priorities.values[i]);
        priorities.Free();
        return false;
    }
    Clear();
    m_priorities = priorities;
    m_values = values;
    m_count = count;
    m_priorityCapacity = count;
    m_valueCapacity = count;
    return true;
}

// --- Map ----------------------------------------------------------------------------------

char* CDS_Map::Write() const {
    CStream stream;
    stream.WriteInteger(kMapVersion);
    stream.WriteInteger(m_count);
    for (DSMapNode* node = FirstNode(); node != nullptr; node = NextNode(node)) {
        DS_WriteValue(&stream, &node->entry.key);
        DS_WriteValue(&stream, &node->entry.value);
    }
    return stream.ConvertToHex();
}

// The map's entries are dropped before the text is looked at (nested containers they name
// stay alive), so a refused text leaves the map empty. An old text keeps a key that repeats
// (lookups find its first value); the hex form keeps only the first. The legacy flag is not
// used: map values are always in the current layout.
bool CDS_Map::Read(const char* text, bool /*legacy*/) {
    FreeAllNodes();
    if (text == nullptr || text[0] == '\0' || text[1] == '\0') return false;
    if (text[1] == ':') {
        // Every turn starts on a character that is not the terminator.
        for (size_t at = 0;;) {
            const int type = text[at++] - '0';
            if (text[at] != '\0') ++at;  // the separator after the type
            RValue key = RValue_Undefined(), value = RValue_Undefined();
            ReadOldField(text, &at, (type & 1) != 0, &key);
            if (text[at] != '\0') ++at;
            ReadOldField(text, &at, (type & 2) != 0, &value);
            AddRepeatable(&key, &value);
            RValue_Release(&key);
            RValue_Release(&value);
            if (text[at] == '\0' || text[at + 1] == '\0') break;
            ++at;
        }
        return true;
    }
    CStream stream;
    stream.ConvertFromHex(text);
    const int32_t word = stream.ReadInteger();
    if (word != kMapVersion && word != kMapVersion - 1) return false;
    const int32_t count = stream.ReadInteger();
    if (!CountFits(&stream, count, 2 * MinValueBytes(DS_READ_CURRENT))) return false;
    RValue key = RValue_Undefined(), value = RValue_Undefined();
    for (int32_t i = 0; i < count; ++i) {
        if (!ReadValue(&key, &stream, DS_READ_CURRENT, 0) ||
            !ReadValue(&value, &stream, DS_READ_CURRENT, 0)) {
            RValue_Release(&key);
            RValue_Release(&value);
            FreeAllNodes();
            return false;
        }
        Add(&key, &value);
    }
    RValue_Release(&key);
    RValue_Release(&value);
    return true;
}

// --- Grid ---------------------------------------------------------------------------------

char* CDS_Grid::Write() const {
    CStream stream;
    stream.WriteInteger(kGridVersion);
    stream.WriteInteger(m_width);
    stream.WriteInteger(m_height);
    for (int32_t x = 0; x < m_width && m_cells != nullptr; ++x)
        for (int32_t y = 0; y < m_height; ++y) DS_WriteValue(&stream, Cell(x, y));
    return stream.ConvertToHex();
}

// Cells are read column by column, as they were written, into fresh storage that replaces
// the old only when the whole text was read.
bool CDS_Grid::Read(const char* text, bool legacy) {
    CStream stream;
    DSReadMode mode;
    if (!OpenText(stream, text, kGridVersion, legacy, &mode)) return false;
    const int32_t width = stream.ReadInteger();
    const int32_t height = stream.ReadInteger();
    if (width < 0 || height < 0) return false;
    const int64_t cells = width != 0 && height != 0 ? int64_t{width} * height : 0;
    if (!SlotsFit(&stream, cells, MinValueBytes(mode))) return false;
    auto* storage = static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(cells)));
    for (int32_t x = 0; x < width && cells > 0; ++x) {
        for (int32_t y = 0; y < height; ++y) {
            if (ReadValue(&storage[x + int64_t{y} * width], &stream, mode, 0)) continue;
            for (int64_t i = 0; i < cells; ++i) RValue_Release(&storage[i]);
            MEM_FREE(storage);
            return false;
        }
    }
    SetSize(0, 0);
    m_cells = storage;
    m_width = width;
    m_height = height;
    return true;
}
