#include "io/IBuffer.h"

#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/Base64.h"
#include "io/LoadSave.h"
#include "io/MD5.h"
#include "io/SHA1.h"

namespace {

const BufferSurfaceAccess* g_surfaceAccess = nullptr;

// a mod m in 0..m-1 for any sign of a (m > 0).
int32_t Mod(int64_t a, int32_t m) {
    int64_t r = a % m;
    return static_cast<int32_t>(r < 0 ? r + m : r);
}

int32_t ClampToInt32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

bool IsTextType(int32_t type) {
    return type == eBuffer_String || type == eBuffer_Text;
}

// One value in the bytes of its code: numbers in `bytes`, texts where they already lie.
struct EncodedValue {
    uint8_t bytes[8];
    const uint8_t* data;
    int64_t width;
};

template <typename T>
void Put(EncodedValue* out, T v) {
    std::memcpy(out->bytes, &v, sizeof v);
    out->width = sizeof v;
}

// False for f16, unknown codes and a string or text value without text.
bool EncodeValue(int32_t type, const RValue* value, EncodedValue* out) {
    out->data = out->bytes;
    switch (type) {
        case eBuffer_U8:
        case eBuffer_S8:
            Put(out, static_cast<uint8_t>(Arg_GetInt32(value, 0)));
            return true;
        case eBuffer_U16:
        case eBuffer_S16:
            Put(out, static_cast<uint16_t>(Arg_GetInt32(value, 0)));
            return true;
        case eBuffer_U32:
            Put(out, Arg_GetUInt32(value, 0));
            return true;
        case eBuffer_S32:
            Put(out, Arg_GetInt32(value, 0));
            return true;
        case eBuffer_F32:
            Put(out, Arg_GetFloat(value, 0));
            return true;
        case eBuffer_F64:
            Put(out, Arg_GetReal(value, 0));
            return true;
        case eBuffer_Bool:
            Put(out, static_cast<uint8_t>(Arg_GetBool(value, 0) ? 1 : 0));
            return true;
        case eBuffer_U64:
            Put(out, Arg_GetInt64(value, 0));
            return true;
        case eBuffer_String:
        case eBuffer_Text: {
            const char* text = Arg_GetString(value, 0);
            if (text == nullptr) return false;
            out->data = reinterpret_cast<const uint8_t*>(text);
            out->width = static_cast<int64_t>(std::strlen(text)) + (type == eBuffer_String ? 1 : 0);
            return true;
        }
        default:
            return false;
    }
}

// The zero-terminated text at offset, ended early by the used size.
int32_t TextLengthAt(const uint8_t* data, int32_t offset, int32_t limit) {
    if (offset >= limit) return 0;
    const void* zero = std::memchr(data + offset, 0, static_cast<size_t>(limit - offset));
    return zero ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - (data + offset)) : limit - offset;
}

// n bytes from/to a block of size bytes starting at offset (< size), continuing at 0.
void CyclicWrite(uint8_t* data, int32_t size, int32_t offset, const uint8_t* source, int64_t n) {
    while (n > 0) {
        const int64_t piece = n < size - offset ? n : size - offset;
        std::memcpy(data + offset, source, static_cast<size_t>(piece));
        source += piece;
        n -= piece;
        offset = 0;
    }
}

void CyclicRead(const uint8_t* data, int32_t size, int32_t offset, uint8_t* destination, int64_t n) {
    while (n > 0) {
        const int64_t piece = n < size - offset ? n : size - offset;
        std::memcpy(destination, data + offset, static_cast<size_t>(piece));
        destination += piece;
        n -= piece;
        offset = 0;
    }
}

void CyclicZero(uint8_t* data, int32_t size, int32_t offset, int64_t n) {
    while (n > 0) {
        const int64_t piece = n < size - offset ? n : size - offset;
        std::memset(data + offset, 0, static_cast<size_t>(piece));
        n -= piece;
        offset = 0;
    }
}

// Copies count bytes in contiguous pieces, each side continuing at 0 when it wraps (a side
// that does not wrap has been clipped by the caller). onPiece(start, length) sees every
// destination piece. Returns the destination offset after the last byte.
template <typename OnPiece>
int32_t CopyPieces(uint8_t* destination, int32_t destinationLength, int32_t destinationOffset,
                   bool destinationWraps, const uint8_t* source, int32_t sourceLength, int32_t sourceOffset,
                   bool sourceWraps, int64_t count, OnPiece onPiece) {
    while (count > 0) {
        int64_t piece = count;
        if (destinationWraps && piece > destinationLength - destinationOffset)
            piece = destinationLength - destinationOffset;
        if (sourceWraps && piece > sourceLength - sourceOffset) piece = sourceLength - sourceOffset;
        std::memmove(destination + destinationOffset, source + sourceOffset, static_cast<size_t>(piece));
        onPiece(destinationOffset, piece);
        destinationOffset += static_cast<int32_t>(piece);
        sourceOffset += static_cast<int32_t>(piece);
        count -= piece;
        if (destinationWraps && destinationOffset == destinationLength) destinationOffset = 0;
        if (sourceWraps && sourceOffset == sourceLength) sourceOffset = 0;
    }
    return destinationOffset;
}

// The source side of a copy: a wrapping source is reduced modulo its length and not clipped;
// any other is clamped into it, the count to what remains.
void ClampSource(int32_t length, bool wraps, int32_t* offset, int64_t* count) {
    if (wraps) {
        *offset = Mod(*offset, length);
        return;
    }
    if (*offset < 0) *offset = 0;
    if (*offset > length - 1) *offset = length - 1;
    if (*count > length - *offset) *count = length - *offset;
}

// A wrapping destination written more than once round keeps only the last lap: skip to it so
// the work stays bounded by the destination's size.
void SkipToLastLap(int32_t destinationLength, int32_t sourceLength, bool sourceWraps,
                   int32_t* destinationOffset, int32_t* sourceOffset, int64_t* count) {
    if (*count <= destinationLength) return;
    const int64_t skip = *count - destinationLength;
    *destinationOffset = Mod(*destinationOffset + skip, destinationLength);
    *sourceOffset =
        sourceWraps ? Mod(*sourceOffset + skip, sourceLength) : static_cast<int32_t>(*sourceOffset + skip);
    *count = destinationLength;
}

}  // namespace

int32_t Buffer_SizeOfType(int32_t type) {
    switch (type) {
        case eBuffer_U8:
        case eBuffer_S8:
        case eBuffer_Bool:
            return 1;
        case eBuffer_U16:
        case eBuffer_S16:
        case eBuffer_F16:
            return 2;
        case eBuffer_U32:
        case eBuffer_S32:
        case eBuffer_F32:
            return 4;
        case eBuffer_F64:
        case eBuffer_U64:
            return 8;
        default:
            return 0;
    }
}

// --- construction ------------------------------------------------------------------------

IBuffer::IBuffer() : m_scratch(RValue_Real(0.0)) {}

IBuffer::IBuffer(int32_t size, int32_t type, int32_t alignment) : m_type(type), m_scratch(RValue_Real(0.0)) {
    SetAlignment(alignment);
    if (size < 0) size = 0;
    if (size > kMaxSize) size = kMaxSize;
    m_allocatedSize = static_cast<uint32_t>(size) + static_cast<uint32_t>(m_alignment);
    m_rawBlock = static_cast<uint8_t*>(MEM_ALLOC(m_allocatedSize));
    const uintptr_t mask = static_cast<uintptr_t>(m_alignment) - 1;
    m_data = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(m_rawBlock) + mask) & ~mask);
    SetSize(size);
    SetPosition(0);
    SetUsedSize(size);
}

IBuffer::IBuffer(uint8_t* data, int32_t size, int32_t type, int32_t alignment, bool ownsData)
    : m_rawBlock(data), m_data(data), m_type(type), m_scratch(RValue_Real(0.0)), m_ownsData(ownsData) {
    SetAlignment(alignment);
    if (size < 0 || data == nullptr) size = 0;
    m_allocatedSize = static_cast<uint32_t>(size);
    SetSize(size);
    SetPosition(0);
    SetUsedSize(size);
}

IBuffer::~IBuffer() {
    if (m_ownsData) MEM_FREE(m_rawBlock);
    RValue_Release(&m_scratch);
}

Buffer_Standard::~Buffer_Standard() = default;
Buffer_Fast::~Buffer_Fast() = default;

void IBuffer::SetSize(int32_t size) {
    m_size = size;
    const bool alignedData = (reinterpret_cast<uintptr_t>(m_data) & m_alignMask) == 0;
    const bool inlineKind = !IsWrap() && m_type != eBufferType_Fast;
    m_inlineLimit =
        inlineKind && alignedData ? reinterpret_cast<uintptr_t>(m_data) + static_cast<uint32_t>(size) : 0;
    RefreshAlignedLimits();
}

void IBuffer::SetAlignment(int32_t alignment) {
    int32_t wanted = alignment % 512;
    int32_t power = 1;
    while (power < wanted) power *= 2;
    m_alignment = power;
    m_alignMask = static_cast<uint32_t>(power) - 1;
}

// --- positions ---------------------------------------------------------------------------

inline void IBuffer::AlignPosition() {
    const uint32_t misalignment =
        (static_cast<uint32_t>(GetPosition()) + static_cast<uint32_t>(m_alignPhase)) & (m_alignment - 1);
    if (misalignment != 0) {
        const int64_t mask = m_alignment - 1;
        const int64_t aligned =
            ((static_cast<int64_t>(GetPosition()) + m_alignPhase + mask) & ~mask) - m_alignPhase;
        SetPosition(ClampToInt32(aligned));
    }
    if (IsWrap() && m_size > 0 && GetPosition() >= m_size) {
        const int64_t laps = GetPosition() / m_size;
        SetPosition(GetPosition() - (static_cast<int32_t>(laps * m_size)));
        m_alignPhase = Mod(m_alignPhase + laps * m_size, m_alignment);
    }
}

inline void IBuffer::MarkUsed(int64_t end) {
    if (end > GetUsedSize()) SetUsedSize(static_cast<int32_t>(end < m_size ? end : m_size));
}

int32_t IBuffer::Seek(int32_t base, int32_t offset) {
    switch (base) {
        case 0:
            m_alignPhase = 0;
            SetPosition(offset > 0 ? offset : 0);
            break;
        case 1: {
            int64_t position = static_cast<int64_t>(GetPosition()) + offset;
            if (IsWrap() && m_size > 0) {
                // Whole laps move the phase by the size each, backwards or forwards.
                const int64_t laps = position < 0 ? -((-position + m_size - 1) / m_size) : position / m_size;
                position -= laps * m_size;
                m_alignPhase = Mod(m_alignPhase + laps * m_size, m_alignment);
            } else if (position < 0) {
                position = 0;
            }
            SetPosition(ClampToInt32(position));
            break;
        }
        case 2: {
            m_alignPhase = 0;
            const int32_t back = offset > 0 ? offset : 0;
            SetPosition(m_size - (back < m_size ? back : m_size));
            break;
        }
        default:
            break;
    }
    return GetPosition();
}

bool IBuffer::GrowFor(int64_t needed) {
    if (needed > kMaxSize) return false;
    // Doubling cannot start from an empty buffer: it starts from one byte.
    int64_t size = m_size > 0 ? m_size : 1;
    while (size < needed) size *= 2;
    if (size > kMaxSize) size = kMaxSize;
    return Resize(static_cast<int32_t>(size));
}

bool IBuffer::Resize(int32_t newSize) {
    if (newSize < 0 || newSize > kMaxSize) return false;
    int32_t position = GetPosition();
    const int32_t oldUsed = GetUsedSize();
    const uint32_t allocated = static_cast<uint32_t>(newSize) + static_cast<uint32_t>(m_alignment);
    auto* block = static_cast<uint8_t*>(MEM_ALLOC(allocated));
    const uintptr_t mask = static_cast<uintptr_t>(m_alignment) - 1;
    auto* data = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(block) + mask) & ~mask);
    const int32_t kept = m_size < newSize ? m_size : newSize;
    if (kept > 0) std::memcpy(data, m_data, static_cast<size_t>(kept));
    if (m_ownsData) MEM_FREE(m_rawBlock);
    m_rawBlock = block;
    m_allocatedSize = allocated;
    m_data = data;
    SetSize(newSize);
    m_ownsData = true;
    if (position >= newSize) {
        position = 0;
        m_alignPhase = 0;
    }
    SetPosition(position);
    const int32_t used = oldUsed > position ? oldUsed : position;
    SetUsedSize(used < newSize ? used : newSize);
    return true;
}

// --- typed reads and writes --------------------------------------------------------------

int32_t IBuffer::WriteValue(int32_t type, const RValue* value) {
    AlignPosition();
    const bool wrap = IsWrap();
    if (GetPosition() >= m_size && !IsGrow() && !wrap) return -2;
    if (wrap && m_size <= 0) return -2;  // nowhere to wrap round to
    EncodedValue encoded;
    if (!EncodeValue(type, value, &encoded)) return -1;
    const int64_t end = static_cast<int64_t>(GetPosition()) + encoded.width;
    if (end > m_size && !wrap) {
        if (!IsGrow() || !GrowFor(end)) return -2;
    }
    if (wrap) {
        for (int64_t i = 0; i < encoded.width; ++i) {
            m_data[GetPosition()] = encoded.data[i];
            SetPosition(GetPosition() + 1);
            if (GetPosition() == m_size) {
                SetPosition(0);
                m_alignPhase = Mod(static_cast<int64_t>(m_alignPhase) + m_size, m_alignment);
            }
        }
    } else {
        std::memcpy(m_data + GetPosition(), encoded.data, static_cast<size_t>(encoded.width));
        SetPosition(static_cast<int32_t>(end));
    }
    MarkUsed(GetPosition());
    return 0;
}

int32_t IBuffer::ReadValue(int32_t type, RValue* out) {
    RValue_Release(out);
    AlignPosition();
    *out = RValue_Real(0.0);
    if (GetPosition() >= m_size) {
        *out = RValue_Real(-3.0);
        return -1;
    }
    if (IsTextType(type)) {
        // Up to the first zero byte before the used size; the position steps past the zero.
        const int32_t count = TextLengthAt(m_data, GetPosition(), GetUsedSize());
        RValue_SetStringBytes(out, reinterpret_cast<const char*>(m_data + GetPosition()), count);
        SetPosition(ClampToInt32(static_cast<int64_t>(GetPosition()) + count + 1));
        return 0;
    }
    const int32_t width = Buffer_SizeOfType(type);
    if (width == 0) return -1;
    const bool wrap = IsWrap();
    if (static_cast<int64_t>(GetPosition()) + width > m_size && !wrap) {
        *out = RValue_Real(-3.0);
        return -1;
    }
    if (!wrap) {
        const uint8_t* at = m_data + GetPosition();
        SetPosition(GetPosition() + width);
        if (type == eBuffer_F16) return -1;
        *out = BufferInline::LoadNumber(type, at);
        return 0;
    }
    uint8_t bytes[8];
    for (int32_t i = 0; i < width; ++i) {
        bytes[i] = m_data[GetPosition()];
        SetPosition(GetPosition() + 1);
        if (GetPosition() == m_size) {
            SetPosition(0);
            m_alignPhase = Mod(static_cast<int64_t>(m_alignPhase) + m_size, m_alignment);
        }
    }
    if (type == eBuffer_F16) return -1;
    *out = BufferInline::LoadNumber(type, bytes);
    return 0;
}

void IBuffer::Peek(int32_t offset, int32_t type, RValue* out) {
    RValue_Release(out);
    *out = RValue_Real(0.0);
    if (offset < 0 || m_size <= 0) return;
    const bool wrap = IsWrap();
    if (wrap) offset %= m_size;
    if (IsTextType(type)) {
        if (offset >= m_size) return;
        RValue_SetStringBytes(out, reinterpret_cast<const char*>(m_data + offset),
                              TextLengthAt(m_data, offset, GetUsedSize()));
        return;
    }
    const int32_t width = Buffer_SizeOfType(type);
    if (width == 0 || type == eBuffer_F16) return;
    if (!wrap && offset > m_size - width) return;
    uint8_t bytes[8];
    CyclicRead(m_data, m_size, offset, bytes, width);
    *out = BufferInline::LoadNumber(type, bytes);
}

void IBuffer::Poke(int32_t offset, int32_t type, const RValue* value) {
    if (offset < 0 || m_size <= 0) return;
    const bool wrap = IsWrap();
    if (wrap) offset %= m_size;
    EncodedValue encoded;
    if (!EncodeValue(type, value, &encoded)) return;
    if (!wrap && offset > m_size - encoded.width) return;
    CyclicWrite(m_data, m_size, offset, encoded.data, encoded.width);
    MarkUsed(static_cast<int64_t>(offset) + encoded.width);
}

void IBuffer::Fill(int32_t offset, int32_t size, int32_t type, const RValue* value) {
    if (m_size <= 0) return;
    EncodedValue encoded;
    if (!EncodeValue(type, value, &encoded) || encoded.width == 0) return;
    const bool wrap = IsWrap();
    int64_t count = size < 0 ? m_size : size;
    if (wrap) {
        offset = Mod(offset, m_size);
    } else {
        if (offset < 0 || offset >= m_size) return;
        if (count > m_size - offset) count = m_size - offset;
    }
    MarkUsed(static_cast<int64_t>(offset) + count);
    if (!wrap && m_alignment == 1 && encoded.width == 1) {
        std::memset(m_data + offset, encoded.data[0], static_cast<size_t>(count));
        return;
    }
    int32_t at = offset;
    while (count > 0) {
        const int32_t misalign = at % m_alignment;
        int64_t step;
        if (misalign == 0 && encoded.width <= count) {
            step = encoded.width;
            CyclicWrite(m_data, m_size, at, encoded.data, step);
        } else {
            // Up to the next multiple of the alignment, or the end of the range.
            step = m_alignment - misalign;
            if (step > count) step = count;
            CyclicZero(m_data, m_size, at, step);
        }
        at = wrap ? Mod(static_cast<int64_t>(at) + step, m_size) : static_cast<int32_t>(at + step);
        count -= step;
    }
}

// --- raw bytes and strings ---------------------------------------------------------------

int32_t IBuffer::WriteBytes(const void* bytes, int32_t elementSize, int32_t count) {
    const int64_t n = static_cast<int64_t>(elementSize) * count;
    if (n <= 0 || bytes == nullptr || n > kMaxSize) return 0;
    const auto* source = static_cast<const uint8_t*>(bytes);
    if (IsWrap()) {
        if (m_size <= 0) return 0;
        const int32_t start = Mod(GetPosition(), m_size);
        int32_t at = start;
        int64_t todo = n;
        int32_t skipped = 0;
        SkipToLastLap(m_size, 0, false, &at, &skipped, &todo);
        CyclicWrite(m_data, m_size, at, source + skipped, todo);
        MarkUsed(static_cast<int64_t>(at) + todo);
        SetPosition(Mod(static_cast<int64_t>(start) + n, m_size));
        return static_cast<int32_t>(n);
    }
    if (GetPosition() < 0) SetPosition(0);
    int64_t moved = n;
    if (IsGrow()) {
        const int64_t end = static_cast<int64_t>(GetPosition()) + n;
        if (end > m_size && (end > kMaxSize || !Resize(static_cast<int32_t>(end)))) return 0;
    } else {
        if (GetPosition() >= m_size) return 0;
        if (moved > m_size - GetPosition()) moved = m_size - GetPosition();
    }
    std::memcpy(m_data + GetPosition(), source, static_cast<size_t>(moved));
    SetPosition(GetPosition() + static_cast<int32_t>(moved));
    MarkUsed(GetPosition());
    return static_cast<int32_t>(moved);
}

int32_t IBuffer::ReadBytes(void* destination, int32_t elementSize, int32_t count) {
    const int64_t n = static_cast<int64_t>(elementSize) * count;
    if (n <= 0 || destination == nullptr || n > INT32_MAX) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    if (IsWrap()) {
        if (m_size <= 0) return 0;
        const int32_t start = Mod(GetPosition(), m_size);
        CyclicRead(m_data, m_size, start, out, n);
        SetPosition(Mod(static_cast<int64_t>(start) + n, m_size));
        return static_cast<int32_t>(n);
    }
    if (GetPosition() < 0) SetPosition(0);
    if (GetPosition() >= m_size) return 0;
    const int64_t moved = n < m_size - GetPosition() ? n : m_size - GetPosition();
    std::memcpy(out, m_data + GetPosition(), static_cast<size_t>(moved));
    SetPosition(GetPosition() + static_cast<int32_t>(moved));
    return static_cast<int32_t>(moved);
}

int32_t IBuffer::WriteString(const char* text) {
    RValue_SetString(&m_scratch, text ? text : "\x04");
    const int32_t result = Write(eBuffer_String, &m_scratch);
    RValue_Release(&m_scratch);
    return result;
}

char* IBuffer::ReadString() {
    char* copy = nullptr;
    if (Read(eBuffer_String, &m_scratch) == 0 && m_scratch.kind == VALUE_STRING) {
        const char* text = RValue_GetStringText(&m_scratch);
        copy = String_Duplicate(text ? text : "");
    }
    RValue_Release(&m_scratch);
    return copy;
}

// --- ranges, copies, files and hashes ----------------------------------------------------

uint8_t* IBuffer::CopyRangeOut(int32_t* outLength, int32_t offset, int32_t size) const {
    *outLength = 0;
    if (m_size <= 0) return nullptr;
    int64_t count = size < 0 ? m_size : size;
    ClampSource(m_size, false, &offset, &count);
    if (count <= 0) return nullptr;
    auto* block = static_cast<uint8_t*>(MEM_ALLOC_RAW(count));
    std::memcpy(block, m_data + offset, static_cast<size_t>(count));
    *outLength = static_cast<int32_t>(count);
    return block;
}

int32_t IBuffer::CopyRangeIn(const uint8_t* bytes, int32_t length, int32_t srcOffset, int32_t count,
                             int32_t dstOffset) {
    if (length <= 0) return 0;
    const int32_t end = IBuffer_CopyFromMemory(this, bytes, length, srcOffset, count, dstOffset,
                                               IsGrow() || m_size == 0, IsWrap(), false);
    return end < 0 ? 0 : 1;
}

void IBuffer::CopyTo(int32_t srcOffset, int32_t size, IBuffer* destination, int32_t dstOffset) {
    if (destination == nullptr) return;
    const bool mayGrow = destination->IsGrow() || destination->m_size == 0;
    if (destination != this) {
        IBuffer_CopyFromMemory(destination, m_data, m_size, srcOffset, size, dstOffset, mayGrow,
                               destination->IsWrap(), IsWrap());
        return;
    }
    // Growing moves the block the bytes come from: copy from a snapshot.
    if (m_size <= 0) return;
    auto* snapshot = static_cast<uint8_t*>(MEM_ALLOC_RAW(m_size));
    std::memcpy(snapshot, m_data, static_cast<size_t>(m_size));
    IBuffer_CopyFromMemory(this, snapshot, m_size, srcOffset, size, dstOffset, mayGrow, IsWrap(), IsWrap());
    MEM_FREE(snapshot);
}

int32_t IBuffer::Save(const char* file, int32_t offset, int32_t size) {
    if (file == nullptr) return 0;
    int32_t length = 0;
    uint8_t* block = CopyRangeOut(&length, offset, size);
    const bool written = LoadSave_WriteFile(file, block, length);
    MEM_FREE(block);
    return written ? 1 : 0;
}

int32_t IBuffer::Load(const char* file, int32_t srcOffset, int32_t size, int32_t dstOffset) {
    if (file == nullptr) return 0;
    if (std::strncmp(file, "http://", 7) == 0 || std::strncmp(file, "https://", 8) == 0) return 0;
    int64_t length = 0;
    std::string path;
    if (LoadSave_SaveFileExists(file))
        path = LoadSave_GetSavePath(file);
    else if (LoadSave_BundleFileExists(file))
        path = LoadSave_GetBundlePath(file);
    // A file larger than any buffer is refused before a byte of it is read.
    if (path.empty() || LoadSave_FileSize(path.c_str()) > kMaxSize) return 0;
    void* block = LoadSave_ReadWholeFile(path.c_str(), &length);
    if (block == nullptr) return 0;
    if (length > kMaxSize) {
        MEM_FREE(block);
        return 0;
    }
    CopyRangeIn(static_cast<const uint8_t*>(block), static_cast<int32_t>(length), srcOffset, size, dstOffset);
    MEM_FREE(block);
    return 1;
}

void IBuffer::Base64Encode(RValue* out, int32_t offset, int32_t size) {
    int32_t length = 0;
    uint8_t* block = CopyRangeOut(&length, offset, size);
    auto* text = static_cast<char*>(MEM_ALLOC_RAW(Base64_EncodedCapacity(length)));
    Base64_Encode(block, length, text);
    RValue_SetString(out, text);
    MEM_FREE(text);
    MEM_FREE(block);
}

int32_t IBuffer::Base64Decode(const char* text, int32_t offset, int32_t size) {
    if (text == nullptr) return 0;
    const int64_t capacity = static_cast<int64_t>(std::strlen(text)) * 3 / 4 + 4;
    auto* block = static_cast<uint8_t*>(MEM_ALLOC_RAW(capacity));
    const int64_t decoded = Base64_Decode(text, capacity, block, false);
    CopyRangeIn(block, static_cast<int32_t>(decoded), 0, size, offset);
    MEM_FREE(block);
    return 1;
}

void IBuffer::Hash(RValue* out, int32_t offset, int32_t size, bool sha1) {
    if (m_size <= 0) return;
    int64_t count = size < 0 ? m_size : size;
    ClampSource(m_size, IsWrap(), &offset, &count);
    MD5Context md5;
    SHA1Context sha;
    if (sha1)
        SHA1_Reset(&sha);
    else
        MD5_Init(&md5);
    while (count > 0) {
        const int64_t piece = count < m_size - offset ? count : m_size - offset;
        if (sha1)
            SHA1_Input(&sha, m_data + offset, static_cast<uint64_t>(piece));
        else
            MD5_Update(&md5, m_data + offset, static_cast<uint64_t>(piece));
        count -= piece;
        offset = 0;
    }
    char text[41];
    if (sha1) {
        SHA1_Result(&sha);
        for (int i = 0; i < 5; ++i) std::snprintf(text + 8 * i, 9, "%08x", sha.hash[i]);
    } else {
        MD5_Final(&md5);
        for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", md5.digest[i]);
    }
    RValue_SetString(out, text);
}

void IBuffer::MD5(RValue* out, int32_t offset, int32_t size) {
    Hash(out, offset, size, false);
}

void IBuffer::SHA1(RValue* out, int32_t offset, int32_t size) {
    Hash(out, offset, size, true);
}

// --- surfaces ----------------------------------------------------------------------------

void Buffer_SetSurfaceAccess(const BufferSurfaceAccess* access) {
    g_surfaceAccess = access;
}

bool Buffer_SurfaceSize(int32_t surface, int32_t* width, int32_t* height) {
    return g_surfaceAccess != nullptr && g_surfaceAccess->getSize(surface, width, height);
}

namespace {

// The bytes rows of a surface take in a buffer from offset with gap bytes between rows; -1
// when they cannot lie inside a buffer of the given size.
int64_t SurfaceSpan(int32_t width, int32_t height, int32_t offset, int32_t rowGap, int32_t bufferSize) {
    if (width <= 0 || height <= 0 || offset < 0 || rowGap < 0) return -1;
    const int64_t rowBytes = static_cast<int64_t>(width) * 4;
    const int64_t end = offset + height * (rowBytes + rowGap) - rowGap;
    return end <= bufferSize ? end : -1;
}

}  // namespace

void IBuffer::GetSurface(int32_t surface, int32_t /*mode*/, int32_t offset, int32_t rowGap) {
    int32_t width = 0, height = 0;
    if (!Buffer_SurfaceSize(surface, &width, &height)) return;
    if (SurfaceSpan(width, height, offset, rowGap, m_size) < 0) return;
    const int64_t rowBytes = static_cast<int64_t>(width) * 4;
    auto* pixels = static_cast<uint32_t*>(MEM_ALLOC_RAW(rowBytes * height));
    g_surfaceAccess->readPixels(surface, pixels);
    const auto* row = reinterpret_cast<const uint8_t*>(pixels);
    for (int32_t y = 0; y < height; ++y, row += rowBytes) {
        std::memcpy(m_data + offset + y * (rowBytes + rowGap), row, static_cast<size_t>(rowBytes));
    }
    MEM_FREE(pixels);
}

void IBuffer::SetSurface(int32_t surface, int32_t offset, int32_t rowGap) {
    int32_t width = 0, height = 0;
    if (!Buffer_SurfaceSize(surface, &width, &height)) return;
    if (SurfaceSpan(width, height, offset, rowGap, m_size) < 0) return;
    const int64_t rowBytes = static_cast<int64_t>(width) * 4;
    auto* pixels = static_cast<uint32_t*>(MEM_ALLOC_RAW(rowBytes * height));
    auto* row = reinterpret_cast<uint8_t*>(pixels);
    for (int32_t y = 0; y < height; ++y, row += rowBytes) {
        std::memcpy(row, m_data + offset + y * (rowBytes + rowGap), static_cast<size_t>(rowBytes));
    }
    g_surfaceAccess->writePixels(surface, pixels);
    MEM_FREE(pixels);
}

// --- Buffer_Fast -------------------------------------------------------------------------

int32_t Buffer_Fast::WriteValue(int32_t type, const RValue* value) {
    if (type != eBuffer_U8) return -4;
    if (GetPosition() >= GetSize()) return -2;
    GetData()[GetPosition()] = static_cast<uint8_t>(Arg_GetInt32(value, 0));
    Seek(1, 1);
    return 0;
}

int32_t Buffer_Fast::ReadValue(int32_t type, RValue* out) {
    RValue_Release(out);
    *out = RValue_Real(0.0);
    if (type != eBuffer_U8) return -4;
    if (GetPosition() >= GetSize()) return -2;
    *out = RValue_Real(GetData()[GetPosition()]);
    Seek(1, 1);
    return 0;
}

void Buffer_Fast::Peek(int32_t offset, int32_t type, RValue* out) {
    RValue_Release(out);
    const bool inside = type == eBuffer_U8 && offset >= 0 && offset < GetSize();
    *out = RValue_Real(inside ? GetData()[offset] : 0.0);
}

void Buffer_Fast::Poke(int32_t offset, int32_t type, const RValue* value) {
    if (type == eBuffer_U8 && offset >= 0 && offset < GetSize()) {
        GetData()[offset] = static_cast<uint8_t>(Arg_GetInt32(value, 0));
    }
}

// --- copies between memory areas --------------------------------------------------------

int32_t IBuffer_CopyFromMemory(IBuffer* buffer, const uint8_t* source, int32_t sourceLength,
                               int32_t sourceOffset, int32_t count, int32_t destinationOffset, bool mayGrow,
                               bool destinationWraps, bool sourceWraps) {
    if (buffer == nullptr || source == nullptr || sourceLength <= 0) return -1;
    int64_t todo = count < 0 ? sourceLength : count;
    ClampSource(sourceLength, sourceWraps, &sourceOffset, &todo);
    if (mayGrow) {
        if (destinationOffset < 0) destinationOffset = 0;
        const int64_t end = destinationOffset + todo;
        if (end > buffer->m_size && (end > IBuffer::kMaxSize || !buffer->Resize(static_cast<int32_t>(end))))
            return -1;
        destinationWraps = false;  // the whole range fits now
    } else {
        const int32_t size = buffer->m_size;
        if (size <= 0) return -1;
        if (destinationWraps) {
            destinationOffset = Mod(destinationOffset, size);
            SkipToLastLap(size, sourceLength, sourceWraps, &destinationOffset, &sourceOffset, &todo);
        } else {
            if (destinationOffset < 0) destinationOffset = 0;
            if (destinationOffset >= size) return -1;
            if (todo > size - destinationOffset) todo = size - destinationOffset;
        }
    }
    const int32_t end = CopyPieces(buffer->m_data, buffer->m_size, destinationOffset, destinationWraps,
                                   source, sourceLength, sourceOffset, sourceWraps, todo,
                                   [buffer](int32_t start, int64_t n) { buffer->MarkUsed(start + n); });
    return destinationWraps ? Mod(end, buffer->m_size) : end;
}

int32_t IBuffer_CopyToMemory(uint8_t* destination, int32_t destinationLength, const uint8_t* source,
                             int32_t sourceLength, int32_t sourceOffset, int32_t count,
                             int32_t destinationOffset, bool destinationWraps, bool sourceWraps) {
    if (destination == nullptr || source == nullptr || sourceLength <= 0 || destinationLength <= 0) return -1;
    int64_t todo = count < 0 ? sourceLength : count;
    ClampSource(sourceLength, sourceWraps, &sourceOffset, &todo);
    if (destinationWraps) {
        destinationOffset = Mod(destinationOffset, destinationLength);
        SkipToLastLap(destinationLength, sourceLength, sourceWraps, &destinationOffset, &sourceOffset, &todo);
    } else {
        if (destinationOffset < 0) destinationOffset = 0;
        if (destinationOffset >= destinationLength) return -1;
        if (todo > destinationLength - destinationOffset) todo = destinationLength - destinationOffset;
    }
    const int32_t end =
        CopyPieces(destination, destinationLength, destinationOffset, destinationWraps, source, sourceLength,
                   sourceOffset, sourceWraps, todo, [](int32_t, int64_t) {});
    return destinationWraps ? Mod(end, destinationLength) : end;
}
