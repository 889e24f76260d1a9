#include <cstring>

#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/IBuffer.h"

namespace {

int32_t WidthOf(int32_t type) {
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

// Encodes a number into bytes (little-endian on every platform we build for); the width.
int32_t Encode(int32_t type, const RValue* value, uint8_t* out) {
    switch (type) {
        case eBuffer_U8:
        case eBuffer_S8: {
            uint8_t v = static_cast<uint8_t>(Arg_GetInt32(value, 0));
            std::memcpy(out, &v, 1);
            return 1;
        }
        case eBuffer_U16:
        case eBuffer_S16: {
            uint16_t v = static_cast<uint16_t>(Arg_GetInt32(value, 0));
            std::memcpy(out, &v, 2);
            return 2;
        }
        case eBuffer_U32: {
            uint32_t v = Arg_GetUInt32(value, 0);
            std::memcpy(out, &v, 4);
            return 4;
        }
        case eBuffer_S32: {
            int32_t v = Arg_GetInt32(value, 0);
            std::memcpy(out, &v, 4);
            return 4;
        }
        case eBuffer_F32: {
            float v = Arg_GetFloat(value, 0);
            std::memcpy(out, &v, 4);
            return 4;
        }
        case eBuffer_F64: {
            double v = Arg_GetReal(value, 0);
            std::memcpy(out, &v, 8);
            return 8;
        }
        case eBuffer_Bool:
            out[0] = Arg_GetBool(value, 0) ? 1 : 0;
            return 1;
        case eBuffer_U64: {
            int64_t v = Arg_GetInt64(value, 0);
            std::memcpy(out, &v, 8);
            return 8;
        }
        default:
            return -1;
    }
}

RValue Decode(int32_t type, const uint8_t* in) {
    switch (type) {
        case eBuffer_U8:
            return RValue_Real(in[0]);
        case eBuffer_S8:
            return RValue_Real(static_cast<int8_t>(in[0]));
        case eBuffer_U16: {
            uint16_t v;
            std::memcpy(&v, in, 2);
            return RValue_Real(v);
        }
        case eBuffer_S16: {
            int16_t v;
            std::memcpy(&v, in, 2);
            return RValue_Real(v);
        }
        case eBuffer_U32: {
            uint32_t v;
            std::memcpy(&v, in, 4);
            return RValue_Real(v);
        }
        case eBuffer_S32: {
            int32_t v;
            std::memcpy(&v, in, 4);
            return RValue_Real(v);
        }
        case eBuffer_F32: {
            float v;
            std::memcpy(&v, in, 4);
            return RValue_Real(v);
        }
        case eBuffer_F64: {
            double v;
            std::memcpy(&v, in, 8);
            return RValue_Real(v);
        }
        case eBuffer_Bool:
            return RValue_Real(in[0] != 0 ? 1.0 : 0.0);
        case eBuffer_U64: {
            int64_t v;
            std::memcpy(&v, in, 8);
            return RValue_Int64(v);
        }
        default:
            return RValue_Real(-1.0);
    }
}

}  // namespace

MemoryBuffer::MemoryBuffer(const void* bytes, int32_t length) {
    if (length <= 0) return;
    Reserve(length);
    std::memcpy(m_data, bytes, static_cast<size_t>(length));
    m_used = length;
}

MemoryBuffer::~MemoryBuffer() {
    MEM_FREE(m_data);
}

void MemoryBuffer::Reserve(int64_t size) {
    if (size <= m_size) return;
    int64_t grown = m_size > 0 ? m_size : 16;
    while (grown < size) grown *= 2;
    if (grown > INT32_MAX) grown = INT32_MAX;
    m_data = static_cast<uint8_t*>(MEM_REALLOC(m_data, static_cast<uint32_t>(grown)));
    std::memset(m_data + m_size, 0, static_cast<size_t>(grown - m_size));
    m_size = static_cast<int32_t>(grown);
}

int32_t MemoryBuffer::Write(int32_t type, const RValue* value) {
    uint8_t bytes[8];
    const uint8_t* source = bytes;
    int64_t width;
    if (type == eBuffer_String || type == eBuffer_Text) {
        const char* text = RValue_GetStringText(value);
        if (text == nullptr) return -1;
        source = reinterpret_cast<const uint8_t*>(text);
        width = static_cast<int64_t>(std::strlen(text)) + (type == eBuffer_String ? 1 : 0);
    } else {
        width = Encode(type, value, bytes);
        if (width < 0) return -1;
    }
    if (m_position + width > INT32_MAX) return -2;
    Reserve(m_position + width);
    std::memcpy(m_data + m_position, source, static_cast<size_t>(width));
    m_position += static_cast<int32_t>(width);
    if (m_position > m_used) m_used = m_position;
    return 0;
}

int32_t MemoryBuffer::Read(int32_t type, RValue* out) {
    RValue_Release(out);
    *out = RValue_Real(0.0);
    if (m_position >= m_size) {
        *out = RValue_Real(-3.0);
        return -1;
    }
    if (type == eBuffer_String || type == eBuffer_Text) {
        int32_t end = m_position;
        while (end < m_used && m_data[end] != 0) ++end;
        int32_t count = end - m_position;
        char* text = static_cast<char*>(MEM_ALLOC_RAW(static_cast<uint32_t>(count) + 1));
        std::memcpy(text, m_data + m_position, static_cast<size_t>(count));
        text[count] = '\0';
        RValue_SetString(out, text);
        MEM_FREE(text);
        m_position += count + 1;
        return 0;
    }
    int32_t width = WidthOf(type);
    if (width == 0 || type == eBuffer_F16) {
        if (type == eBuffer_F16) m_position += 2;
        *out = RValue_Real(0.0);
        return -1;
    }
    if (static_cast<int64_t>(m_position) + width > m_size) {
        *out = RValue_Real(-3.0);
        return -1;
    }
    *out = Decode(type, m_data + m_position);
    m_position += width;
    return 0;
}

int32_t MemoryBuffer::Seek(int32_t base, int32_t offset) {
    switch (base) {
        case 0:
            m_position = offset > 0 ? offset : 0;
            break;
        case 1: {
            int64_t position = static_cast<int64_t>(m_position) + offset;
            m_position = position < 0 ? 0 : position > INT32_MAX ? INT32_MAX : static_cast<int32_t>(position);
            break;
        }
        case 2: {
            int32_t back = offset > 0 ? offset : 0;
            m_position = m_size - (back < m_size ? back : m_size);
            break;
        }
        default:
            break;
    }
    return m_position;
}
