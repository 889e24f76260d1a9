// Binary buffers: a block of bytes with a kind that decides what happens at its end (stop,
// grow or wrap), an alignment that every typed read and write respects, a read/write
// position and a used size. Game code reaches them through the buffer table
// (io/Buffer_Manager.h); the runner uses them as byte stores for files, packets, sounds and
// saved games.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/SerialBuffer.h"
#include "core/Value.h"

// The kind of a buffer, chosen at creation. Only grow and wrap change behaviour; every other
// kind (vbuffer included) behaves as fixed.
enum BufferType : int32_t {
    eBufferType_Fixed = 0,    // typed writes fail at the end; byte copies are clipped
    eBufferType_Grow = 1,     // the data grows to take what is written
    eBufferType_Wrap = 2,     // positions and copies wrap round to offset 0
    eBufferType_Fast = 3,     // Buffer_Fast: unsigned bytes only, no alignment
    eBufferType_VBuffer = 4,  // kept as given; behaves as fixed
};


// Width in bytes of a value code: 1, 2, 4 or 8; 0 for strings, text and unknown codes.
int32_t Buffer_SizeOfType(int32_t type);

class IBuffer : public SerialBuffer {
public:
    // The largest size a buffer takes: size + alignment still fits a 32-bit count, so no
    // growth, seek or copy can push a size past 2^31.
    static constexpr int32_t kMaxSize = INT32_MAX - 1024;

    // No data, size 0, grow, alignment 1.
    IBuffer();
    // A cleared block of size bytes (used size = size). The alignment becomes the smallest
    // power of two not below (alignment mod 512), at least 1: 0, 512 and 1024 give 1, 300 512.
    IBuffer(int32_t size, int32_t type, int32_t alignment);
    // Over existing memory (used size = size); freed at destruction only when owned. The block
    // must have come from the memory manager when owned.
    IBuffer(uint8_t* data, int32_t size, int32_t type, int32_t alignment, bool ownsData);
    virtual ~IBuffer();
    IBuffer(const IBuffer&) = delete;
    IBuffer& operator=(const IBuffer&) = delete;

    // Writes the value at the (aligned) position and advances: 0; -1 for f16, an unknown code
    // or a string/text value without text; -2 when a fixed buffer is full or a grow buffer
    // would pass kMaxSize. Nothing is written on failure.
    int32_t Write(int32_t type, const RValue* value);
    // Reads a value at the (aligned) position and advances: 0; -1 with out -3 at or past the
    // end; -1 with out 0 for f16 (position + 2) and unknown codes. u64 reads as an int64 value.
    int32_t Read(int32_t type, RValue* out);
    // The inline steps of Write and Read alone, for callers that hold the value as a real and
    // want the result as it is (the buffer_write and buffer_read rows): true when the number was
    // written, or read into number; false, with nothing changed, for anything Write and Read
    // leave to their out-of-line steps.
    bool TryWriteReal(int32_t type, double value);
    bool TryReadNumber(int32_t type, RValue* number);
    // base 0 from the start, 1 relative, 2 back from the end; returns the new position. Start
    // and relative seeks of non-wrap buffers may pass the end.
    virtual int32_t Seek(int32_t base, int32_t offset);
    // Typed read at an offset, without alignment and without moving the position, of every code
    // Read decodes (a string runs to the first zero before the used size and never wraps); out
    // is the real 0 when the value does not lie inside the buffer.
    virtual void Peek(int32_t offset, int32_t type, RValue* out);
    // Typed write at an offset of every code Write encodes, without alignment and without moving
    // the position; raises the used size to the value's end. Nothing happens when the value does
    // not fit (a wrap buffer wraps it round instead).
    virtual void Poke(int32_t offset, int32_t type, const RValue* value);
    // Writes the clamped range (size < 0: to the end) to the save area: 1 written, 0 not.
    virtual int32_t Save(const char* file, int32_t offset, int32_t size);
    // Reads the file (save area, else bundle) and copies [srcOffset, srcOffset + size) of it
    // (size < 0: to its end) to dstOffset: a grow buffer or one of size 0 grows, a wrap
    // buffer wraps, others clip. 1 loaded; 0 for a missing file or an http(s) name.
    virtual int32_t Load(const char* file, int32_t srcOffset, int32_t size, int32_t dstOffset);
    // out becomes the Base64 text of the clamped range.
    virtual void Base64Encode(RValue* out, int32_t offset, int32_t size);
    // Decodes the text and copies the decoded bytes (size < 0: all) to the offset as Load
    // does: 1, or 0 without text.
    virtual int32_t Base64Decode(const char* text, int32_t offset, int32_t size);
    // out becomes the lower-case hex digest of the range (size < 0: whole buffer). A wrap
    // buffer hashes cyclically from offset mod size; others clamp. A buffer of size 0 leaves
    // out unchanged.
    virtual void MD5(RValue* out, int32_t offset, int32_t size);
    virtual void SHA1(RValue* out, int32_t offset, int32_t size);
    // A new zeroed block of newSize bytes keeping the first bytes; the position and phase go
    // to 0 when the position is not below the new size. False (nothing changes) for a size
    // below 0 or above kMaxSize.
    virtual bool Resize(int32_t newSize);
    // Copies this buffer's range into the destination: grows a grow destination (or one of
    // size 0), wraps a wrap destination, and wraps the source when this buffer is wrap.
    virtual void CopyTo(int32_t srcOffset, int32_t size, IBuffer* destination, int32_t dstOffset);
    // Repeats one encoded value over the range (size < 0: the whole buffer): copies sit at
    // multiples of the alignment, the bytes between them and a tail too short for a whole
    // value are set to zero.
    virtual void Fill(int32_t offset, int32_t size, int32_t type, const RValue* value);
    // Surface pixels (32 bits each) to the buffer from the offset, rows rowGap bytes apart.
    // Nothing happens unless the surface exists, offset and gap are not negative and all
    // rows fit. The mode is not used.
    virtual void GetSurface(int32_t surface, int32_t mode, int32_t offset, int32_t rowGap);
    // The same rows back into the surface, under the same conditions.
    virtual void SetSurface(int32_t surface, int32_t offset, int32_t rowGap);

    // elementSize * count raw bytes at the position, no alignment: a grow buffer grows to take
    // them, a wrap buffer wraps (the phase untouched), others clip at the end. Returns the
    // number of bytes moved.
    int32_t WriteBytes(const void* bytes, int32_t elementSize, int32_t count);
    int32_t ReadBytes(void* destination, int32_t elementSize, int32_t count);
    // One zero-terminated text at the position; a null text is written as the text "\x04".
    int32_t WriteString(const char* text);
    // A new memory-manager copy of the text at the position (the caller frees it), or null
    // when the read gave no string.
    char* ReadString();

    // New memory-manager block holding the clamped range (size < 0: to the end; the offset
    // clamped to 0..size-1, the count to what remains); null when it holds no bytes.
    uint8_t* CopyRangeOut(int32_t* outLength, int32_t offset, int32_t size) const;
    // Copies count bytes (< 0: all) of the bytes from srcOffset to dstOffset, growing a grow
    // buffer or one of size 0, wrapping a wrap buffer: 1, or 0 when nothing could be copied.
    int32_t CopyRangeIn(const uint8_t* bytes, int32_t length, int32_t srcOffset, int32_t count,
                        int32_t dstOffset);

    uint8_t* GetData() const { return m_data; }
    int32_t GetSize() const { return m_size; }
    int32_t GetUsedSize() const {
        return static_cast<int32_t>(m_usedEnd - reinterpret_cast<uintptr_t>(m_data));
    }
    int32_t GetPosition() const {
        return static_cast<int32_t>(m_cursor - reinterpret_cast<uintptr_t>(m_data));
    }
    int32_t GetAlignment() const { return m_alignment; }
    int32_t GetType() const { return m_type; }

    // Users that keep the buffer's bytes (audio buffer sounds) hold it in use; a buffer in use
    // is not deleted by buffer_delete.
    int32_t GetInUseCount() const { return m_inUse; }
    void AddUser() { ++m_inUse; }
    void RemoveUser() {
        if (m_inUse > 0) --m_inUse;
    }

    // The byte store that saved games and serialised values write through.
    int32_t PutNumber(int32_t type, const RValue* value) override { return Write(type, value); }
    int32_t GetNumber(int32_t type, RValue* out) override { return Read(type, out); }
    int32_t PutText(const char* text) override { return WriteString(text); }
    char* GetText() override { return ReadString(); }
    int64_t BytesLeft() override { return static_cast<int64_t>(GetUsedSize()) - Seek(1, 0); }

protected:
    // Write and Read of everything the inline path below leaves to them.
    virtual int32_t WriteValue(int32_t type, const RValue* value);
    virtual int32_t ReadValue(int32_t type, RValue* out);

private:
    friend int32_t IBuffer_CopyFromMemory(IBuffer*, const uint8_t*, int32_t, int32_t, int32_t, int32_t, bool,
                                          bool, bool);
    bool IsGrow() const { return m_type == eBufferType_Grow; }
    bool IsWrap() const { return m_type == eBufferType_Wrap; }
    // Rounds the position up to the alignment (on position + phase) and, in a wrap buffer,
    // brings it back inside the size.
    void AlignPosition();
    void SetPosition(int32_t position) {
        m_cursor = reinterpret_cast<uintptr_t>(m_data) + position;
        RefreshAlignedLimits();
    }
    // Sets m_alignedLimit after the cursor, the size or the data changed.
    void RefreshAlignedLimits();
    void SetUsedSize(int32_t used) { m_usedEnd = reinterpret_cast<uintptr_t>(m_data) + used; }
    // The one place the size changes, keeping m_inlineLimit with it.
    void SetSize(int32_t size);
    // Raises the used size to end, capped at the size.
    void MarkUsed(int64_t end);
    // True, with the aligned offset in at, when a number of width bytes (> 0) fits before the
    // end of a buffer that neither wraps nor is a Buffer_Fast.
    bool PlainCursor(int32_t width, uintptr_t* at) const;
    // The path for a cursor to round up first or a width below the alignment: still no
    // virtual call, but a call of its own, so the common write and read stay short.
    int32_t WriteRounded(int32_t type, const RValue* value);
    int32_t ReadRounded(int32_t type, RValue* out);
    // TryWriteReal and TryReadNumber for one value code, its width known at compile time.
    template <int32_t Type>
    bool TryWriteAs(double value);
    template <int32_t Type>
    bool TryReadAs(RValue* number);
    bool GrowFor(int64_t needed);
    void Hash(RValue* out, int32_t offset, int32_t size, bool sha1);
    void SetAlignment(int32_t alignment);

    uint8_t* m_rawBlock = nullptr;  // owned when m_ownsData is set
    uint32_t m_allocatedSize = 0;   // size + alignment
    uint8_t* m_data = nullptr;      // m_rawBlock rounded up to the alignment
    int32_t m_size = 0;
    // Where the inline path of typed numbers ends: the data's end, or 0 in a wrap buffer, a
    // Buffer_Fast and over memory not aligned as the buffer is, which never take that path.
    // One comparison then rules out all three.
    uintptr_t m_inlineLimit = 0;
    // For values of 1, 2, 4 and 8 bytes: m_inlineLimit while the cursor is aligned and the
    // width is a multiple of the alignment, else 0. Such a value leaves the cursor aligned, so
    // one comparison tells that no rounding is needed and that the value fits.
    uintptr_t m_alignedLimit[4] = {0, 0, 0, 0};
    int32_t m_alignment = 1;
    uint32_t m_alignMask = 0;  // m_alignment - 1, kept for the inline path
    int32_t m_type = eBufferType_Grow;
    // The position and the used size are kept as addresses (m_data + each, as integers: a
    // position may lie past the end): the inline path then moves through the data without
    // adding an offset to m_data on every value. Resize moves both with the data.
    uintptr_t m_cursor = 0;
    uintptr_t m_usedEnd = 0;
    // How far (mod the alignment) a wrap buffer's byte stream has wrapped: alignment is taken
    // on position + phase, so a wrapping stream stays aligned to what was written. Only a wrap
    // buffer ever moves it from 0.
    int32_t m_alignPhase = 0;
    int32_t m_inUse = 0;
    RValue m_scratch;
    bool m_ownsData = true;
};

// Kinds 0, 1, 2 and 4.
class Buffer_Standard final : public IBuffer {
public:
    using IBuffer::IBuffer;
    ~Buffer_Standard() override;
};

// Kind 3: unsigned bytes only, no alignment and no used-size bookkeeping. Any other value
// code gives -4; reads and writes at the end give -2.
class Buffer_Fast final : public IBuffer {
public:
    Buffer_Fast(int32_t size, int32_t alignment) : IBuffer(size, eBufferType_Fast, alignment) {}
    ~Buffer_Fast() override;

    void Peek(int32_t offset, int32_t type, RValue* out) override;
    void Poke(int32_t offset, int32_t type, const RValue* value) override;

protected:
    int32_t WriteValue(int32_t type, const RValue* value) override;
    int32_t ReadValue(int32_t type, RValue* out) override;
};

// Copies count bytes (< 0: the whole source) from source[sourceOffset] into the buffer at
// destinationOffset. A wrapping source is read cyclically; otherwise the offset is clamped
// into it and the count to what remains. With mayGrow the buffer grows to exactly the end of
// the copy; without it a wrapping destination is written cyclically and any other clips.
// Returns the destination offset after the copy (mod the size when wrapping), or -1.
int32_t IBuffer_CopyFromMemory(IBuffer* buffer, const uint8_t* source, int32_t sourceLength,
                               int32_t sourceOffset, int32_t count, int32_t destinationOffset, bool mayGrow,
                               bool destinationWraps, bool sourceWraps);
// The same rules between two plain memory areas, without growing.
int32_t IBuffer_CopyToMemory(uint8_t* destination, int32_t destinationLength, const uint8_t* source,
                             int32_t sourceLength, int32_t sourceOffset, int32_t count,
                             int32_t destinationOffset, bool destinationWraps, bool sourceWraps);

// What buffers use of surfaces; the graphics layer installs it. Unset, no surface exists.
struct BufferSurfaceAccess {
    // False when the surface does not exist.
    bool (*getSize)(int32_t surface, int32_t* width, int32_t* height);
    // width * height 32-bit pixels, rows adjacent, in the order the texture read gives them.
    void (*readPixels)(int32_t surface, uint32_t* pixels);
    void (*writePixels)(int32_t surface, const uint32_t* pixels);
};
// Null removes it.
void Buffer_SetSurfaceAccess(const BufferSurfaceAccess* access);
// True when the surface exists (and its size in width, height).
bool Buffer_SurfaceSize(int32_t surface, int32_t* width, int32_t* height);

// --- the inline path of typed reads and writes --------------------------------------------
// Games move numbers through buffers one call at a time, millions of them a frame when they
// build meshes, packets or saves. The usual case (a number held as a real, lying wholly
// before the end of a buffer that neither wraps nor is a Buffer_Fast) is therefore done here,
// inline, with no virtual call and no argument getter. Everything else goes out of line to
// WriteValue and ReadValue, which apply the same rules to every case: other kinds of value,
// texts, f16, alignment or a value running past the end, growth, wrapping, and the reals the
// getters convert specially (NaN, infinities, values beyond the conversion's range).

namespace BufferInline {

// Width of the codes written and read as numbers; 0 for f16, texts and unknown codes.
inline constexpr int8_t kNumberWidths[] = {0, 1, 1, 2, 2, 4, 4, 0, 4, 8, 1, 0, 8, 0};
constexpr int32_t NumberWidth(int32_t type) {
    return static_cast<uint32_t>(type) < sizeof kNumberWidths ? kNumberWidths[type] : 0;
}

// Index of a width of 1, 2, 4 or 8 bytes into IBuffer::m_alignedLimit.
constexpr int32_t WidthIndex(int32_t width) {
    return __builtin_ctz(static_cast<uint32_t>(width));
}

// Truncation of a real the argument getters take as it is (inside the target's range), into
// *out; false for any other real. On x86-64 one conversion tells both: it gives the lowest
// integer for a real out of range or NaN, and the few reals that truly truncate to it are simply
// left to the out-of-line path, which converts them the same way.
inline bool TruncatesToInt32(double d, int32_t* out) {
#if defined(__SSE2__)
    *out = _mm_cvttsd_si32(_mm_set_sd(d));
    return *out != INT32_MIN;
#else
    if (!(d > -2147483649.0 && d < 2147483648.0)) return false;
    *out = static_cast<int32_t>(d);
    return true;
#endif
}
inline bool TruncatesToInt64(double d, int64_t* out) {
#if defined(__SSE2__) && defined(__x86_64__)
    *out = _mm_cvttsd_si64(_mm_set_sd(d));
    return *out != INT64_MIN;
#else
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return false;
    *out = static_cast<int64_t>(d);
    return true;
#endif
}

template <typename T>
inline void Put(uint8_t* to, T v) {
    std::memcpy(to, &v, sizeof v);
}

// Stores a real under a number code exactly as the argument getters convert it (an integer
// code wraps the truncated value to its width). False, with nothing stored, for a real the
// getters treat specially.
inline bool StoreReal(int32_t type, double d, uint8_t* to) {
    int32_t i32;
    int64_t i64;
    switch (type) {
        case eBuffer_U8:
        case eBuffer_S8:
            if (!TruncatesToInt32(d, &i32)) return false;
            Put(to, static_cast<uint8_t>(i32));
            return true;
        case eBuffer_U16:
        case eBuffer_S16:
            if (!TruncatesToInt32(d, &i32)) return false;
            Put(to, static_cast<uint16_t>(i32));
            return true;
        case eBuffer_U32:
            if (!TruncatesToInt64(d, &i64)) return false;
            Put(to, static_cast<uint32_t>(i64));
            return true;
        case eBuffer_S32:
            if (!TruncatesToInt32(d, &i32)) return false;
            Put(to, i32);
            return true;
        case eBuffer_F32:
            if (!std::isfinite(d)) return false;
            Put(to, static_cast<float>(d));
            return true;
        case eBuffer_F64:
            Put(to, d);
            return true;
        case eBuffer_Bool:
            Put(to, static_cast<uint8_t>(d > 0.5 ? 1 : 0));
            return true;
        case eBuffer_U64:
            if (!TruncatesToInt64(d, &i64)) return false;
            Put(to, i64);
            return true;
        default:
            return false;
    }
}

template <typename T>
inline T Get(const uint8_t* from) {
    T v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

// The value of a number code's bytes: a real, or an int64 value for u64; the real 0 for
// any other code.
inline RValue LoadNumber(int32_t type, const uint8_t* from) {
    switch (type) {
        case eBuffer_U8:
            return RValue_Real(from[0]);
        case eBuffer_S8:
            return RValue_Real(static_cast<int8_t>(from[0]));
        case eBuffer_U16:
            return RValue_Real(Get<uint16_t>(from));
        case eBuffer_S16:
            return RValue_Real(Get<int16_t>(from));
        case eBuffer_U32:
            return RValue_Real(Get<uint32_t>(from));
        case eBuffer_S32:
            return RValue_Real(Get<int32_t>(from));
        case eBuffer_F32:
            return RValue_Real(Get<float>(from));
        case eBuffer_F64:
            return RValue_Real(Get<double>(from));
        case eBuffer_Bool:
            return RValue_Real(from[0] != 0 ? 1.0 : 0.0);
        case eBuffer_U64:
            return RValue_Int64(Get<int64_t>(from));
        default:
            return RValue_Real(0.0);
    }
}

// The flags and kind of a value, as one 8-byte word.
inline uint64_t Header(const RValue* value) {
    uint64_t header;
    std::memcpy(&header, reinterpret_cast<const char*>(value) + offsetof(RValue, flags), sizeof header);
    return header;
}

// *out = number. Reads usually land in a value that already holds a number of the same
// kind, so one comparison of the header spares the release and the header's store.
inline void Assign(RValue* out, const RValue& number) {
    if (Header(out) != Header(&number)) [[unlikely]] {
        RValue_Free(out);
        out->flags = number.flags;
        out->kind = number.kind;
    }
    out->v64 = number.v64;
}

}  // namespace BufferInline

inline bool IBuffer::PlainCursor(int32_t width, uintptr_t* at) const {
    if (width == 0) return false;
    // Aligned as AlignPosition aligns it (outside wrap buffers the phase is always 0, and the
    // data lies at an aligned address wherever the limit is not 0). Positions are nearly
    // always aligned already, so the rounding sits behind a branch.
    uintptr_t cursor = m_cursor;
    const uintptr_t mask = m_alignMask;
    if ((cursor & mask) != 0) [[unlikely]] {
        cursor = (cursor + mask) & ~mask;
    }
    if (cursor + static_cast<uintptr_t>(width) > m_inlineLimit) return false;
    *at = cursor;
    return true;
}

inline void IBuffer::RefreshAlignedLimits() {
    const uintptr_t limit = (m_cursor & m_alignMask) == 0 ? m_inlineLimit : 0;
    for (int32_t index = 0; index < 4; ++index) {
        m_alignedLimit[index] = (1 << index) >= m_alignment ? limit : 0;
    }
}

template <int32_t Type>
__attribute__((always_inline)) inline bool IBuffer::TryWriteAs(double value) {
    constexpr int32_t width = BufferInline::NumberWidth(Type);
    static_assert(width != 0);
    const uintptr_t at = m_cursor;
    const uintptr_t end = at + width;
    // Read ahead of the store into the data: a load the compiler has to place after a store
    // through an unknown address is slow to issue.
    const uintptr_t usedEnd = m_usedEnd;
    if (end <= m_alignedLimit[BufferInline::WidthIndex(width)] &&
        BufferInline::StoreReal(Type, value, reinterpret_cast<uint8_t*>(at))) [[likely]] {
        m_cursor = end;
        if (end > usedEnd) m_usedEnd = end;
        return true;
    }
    return false;
}

// One jump on the code, each case with its width as a constant: no table of widths to read and
// no second dispatch inside the store.
__attribute__((always_inline)) inline bool IBuffer::TryWriteReal(int32_t type, double value) {
    switch (type) {
        case eBuffer_U8:
            return TryWriteAs<eBuffer_U8>(value);
        case eBuffer_S8:
            return TryWriteAs<eBuffer_S8>(value);
        case eBuffer_U16:
            return TryWriteAs<eBuffer_U16>(value);
        case eBuffer_S16:
            return TryWriteAs<eBuffer_S16>(value);
        case eBuffer_U32:
            return TryWriteAs<eBuffer_U32>(value);
        case eBuffer_S32:
            return TryWriteAs<eBuffer_S32>(value);
        case eBuffer_F32:
            return TryWriteAs<eBuffer_F32>(value);
        case eBuffer_F64:
            return TryWriteAs<eBuffer_F64>(value);
        case eBuffer_Bool:
            return TryWriteAs<eBuffer_Bool>(value);
        case eBuffer_U64:
            return TryWriteAs<eBuffer_U64>(value);
        default:
            return false;
    }
}

inline int32_t IBuffer::Write(int32_t type, const RValue* value) {
    if (value->kind == VALUE_REAL && TryWriteReal(type, value->val)) [[likely]]
        return 0;
    return WriteRounded(type, value);
}

__attribute__((noinline)) inline int32_t IBuffer::WriteRounded(int32_t type, const RValue* value) {
    const int32_t width = BufferInline::NumberWidth(type);
    uintptr_t at;
    if (PlainCursor(width, &at) && value->kind == VALUE_REAL &&
        BufferInline::StoreReal(type, value->val, reinterpret_cast<uint8_t*>(at))) {
        const uintptr_t end = at + static_cast<uintptr_t>(width);
        m_cursor = end;
        if (end > m_usedEnd) m_usedEnd = end;
        RefreshAlignedLimits();
        return 0;
    }
    return WriteValue(type, value);
}

template <int32_t Type>
__attribute__((always_inline)) inline bool IBuffer::TryReadAs(RValue* number) {
    constexpr int32_t width = BufferInline::NumberWidth(Type);
    static_assert(width != 0);
    const uintptr_t at = m_cursor;
    const uintptr_t end = at + width;
    if (end <= m_alignedLimit[BufferInline::WidthIndex(width)]) [[likely]] {
        *number = BufferInline::LoadNumber(Type, reinterpret_cast<const uint8_t*>(at));
        m_cursor = end;
        return true;
    }
    return false;
}

__attribute__((always_inline)) inline bool IBuffer::TryReadNumber(int32_t type, RValue* number) {
    switch (type) {
        case eBuffer_U8:
            return TryReadAs<eBuffer_U8>(number);
        case eBuffer_S8:
            return TryReadAs<eBuffer_S8>(number);
        case eBuffer_U16:
            return TryReadAs<eBuffer_U16>(number);
        case eBuffer_S16:
            return TryReadAs<eBuffer_S16>(number);
        case eBuffer_U32:
            return TryReadAs<eBuffer_U32>(number);
        case eBuffer_S32:
            return TryReadAs<eBuffer_S32>(number);
        case eBuffer_F32:
            return TryReadAs<eBuffer_F32>(number);
        case eBuffer_F64:
            return TryReadAs<eBuffer_F64>(number);
        case eBuffer_Bool:
            return TryReadAs<eBuffer_Bool>(number);
        case eBuffer_U64:
            return TryReadAs<eBuffer_U64>(number);
        default:
            return false;
    }
}

inline int32_t IBuffer::Read(int32_t type, RValue* out) {
    RValue number;
    if (TryReadNumber(type, &number)) [[likely]] {
        BufferInline::Assign(out, number);
        return 0;
    }
    return ReadRounded(type, out);
}

__attribute__((noinline)) inline int32_t IBuffer::ReadRounded(int32_t type, RValue* out) {
    const int32_t width = BufferInline::NumberWidth(type);
    uintptr_t at;
    if (PlainCursor(width, &at)) {
        BufferInline::Assign(out, BufferInline::LoadNumber(type, reinterpret_cast<const uint8_t*>(at)));
        m_cursor = at + static_cast<uintptr_t>(width);
        RefreshAlignedLimits();
        return 0;
    }
    return ReadValue(type, out);
}
