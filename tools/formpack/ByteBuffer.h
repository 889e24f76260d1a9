// Little-endian byte building with deferred references: a section records where a string
// reference or a file offset belongs, and the file layout fills it in once every section has
// its place in the file.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace formpack {

// What a placeholder word turns into when the file is laid out.
struct Fixup {
    enum class Kind { String, OptionalString, Offset };
    Kind kind;
    uint32_t at;       // position of the word inside its section
    std::string text;  // String: the text whose first byte the word must hold
    int section = -1;  // Offset: the section that holds the target (-1: this section)
    uint32_t target = 0;
};

class Section {
public:
    uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    const std::vector<Fixup>& Fixups() const { return m_fixups; }

    void U8(uint8_t v) { m_bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void U64(uint64_t v) {
        U32(static_cast<uint32_t>(v));
        U32(static_cast<uint32_t>(v >> 32));
    }
    void Raw(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    void Zeros(size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    void Align(uint32_t to) {
        while (m_bytes.size() % to) U8(0);
    }
    void SetU32(uint32_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    uint32_t GetU32(uint32_t at) const {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(m_bytes[at + i]) << (8 * i);
        return v;
    }

    // A reference to the first text byte of a pooled string.
    void String(const std::string& text) { Defer(Fixup::Kind::String, text, -1, 0); }
    // As String, but an empty text is written as 0 ("none").
    void OptionalString(const std::string& text) { Defer(Fixup::Kind::OptionalString, text, -1, 0); }
    // The file offset of a position inside this section.
    void LocalOffset(uint32_t target) { Defer(Fixup::Kind::Offset, {}, -1, target); }
    // A placeholder for a local offset whose target is not written yet; the answer is the
    // handle that SetLocalOffset fills.
    size_t LocalOffsetLater() {
        LocalOffset(0);
        return m_fixups.size() - 1;
    }
    void SetLocalOffset(size_t handle, uint32_t target) { m_fixups[handle].target = target; }
    // Points a placeholder at the current end of the section.
    void SetLocalOffsetHere(size_t handle) { SetLocalOffset(handle, Size()); }
    // The file offset of a position inside another section.
    void ForeignOffset(int section, uint32_t target) { Defer(Fixup::Kind::Offset, {}, section, target); }

private:
    void Defer(Fixup::Kind kind, const std::string& text, int section, uint32_t target) {
        m_fixups.push_back(Fixup{kind, Size(), text, section, target});
        U32(0);
    }

    std::vector<uint8_t> m_bytes;
    std::vector<Fixup> m_fixups;
};

}  // namespace formpack
