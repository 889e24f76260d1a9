#include "graphics/Buffer_Vertex.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Error_Report.h"
#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Support.h"
#include "graphics/ShaderM.h"
#include "io/Buffer_Manager.h"
#include "io/IBuffer.h"

namespace {

std::vector<VertexBuffer*> g_buffers;

constexpr int32_t kUsagePosition = 1, kUsageColour = 2, kUsageNormal = 3, kUsageTexcoord = 4;
constexpr int32_t kAnyUsage = 0;

void Fatal(const char* message) {
    Error_Report(message, true);
}

// Index of the first empty slot, growing the table (32 slots at first, then doubling).
size_t FreeSlot() {
    for (size_t i = 0; i < g_buffers.size(); ++i)
        if (!g_buffers[i]) return i;
    const size_t old = g_buffers.size();
    g_buffers.resize(old ? old * 2 : 32, nullptr);
    return old;
}

void Grow(VertexBuffer* buffer, uint32_t stride) {
    buffer->capacity = buffer->capacity + buffer->capacity / 2 + stride;
    buffer->data = static_cast<uint8_t*>(MEM_REALLOC(buffer->data, buffer->capacity));
}

// A filled slot that is not frozen, or null.
VertexBuffer* Writable(int32_t index) {
    VertexBuffer* buffer = VertexBuffer_Get(index);
    return buffer && !buffer->frozen ? buffer : nullptr;
}

// ---- checked writers --------------------------------------------------------------------

VertexBuffer* CheckArgs(RValue& result, int32_t argc, RValue* args, int32_t expected) {
    result = RValue_Real(0);
    if (argc != expected) {
        Fatal("VERTEX BUILDER: Illegal argument count");
        return nullptr;
    }
    VertexBuffer* buffer = Writable(Arg_GetInt32(args, 0));
    if (!buffer) {
        Fatal("VERTEX BUILDER: Illegal vertex buffer specified.");
        return nullptr;
    }
    if (!buffer->writing) {
        Fatal("VERTEX BUILDER: Must use vertex_begin() before writing to buffer");
        return nullptr;
    }
    if (buffer->writtenMask == 0) VertexBuffer_Reserve(buffer);
    return buffer;
}

// The address of the first unwritten element that matches (usage kAnyUsage: type alone).
uint8_t* Element(VertexBuffer* buffer, int32_t usage, int32_t type) {
    const VertexFormat& format = *buffer->writing;
    bool matched = false;
    for (const VertexFormatElement& e : format.elements) {
        if (e.type != type || (usage != kAnyUsage && e.usage != usage)) continue;
        matched = true;
        if (buffer->writtenMask & e.bit) continue;
        buffer->writtenMask |= e.bit;
        uint8_t* at = buffer->data + buffer->writeOffset + e.offset;
        if (buffer->writtenMask == format.usageMask) {
            buffer->writtenMask = 0;
            buffer->writeOffset += static_cast<uint32_t>(format.stride);
            ++buffer->vertexCount;
        }
        return at;
    }
    Fatal(matched ? "VERTEX BUILDER: element already written, must write the whole vertex first\n\n"
                  : "VERTEX BUILDER: Vertex format does not contain selected type.\n\n");
    return nullptr;
}

uint8_t* CheckedElement(RValue& result, int32_t argc, RValue* args, int32_t expected, int32_t usage,
                        int32_t type) {
    VertexBuffer* buffer = CheckArgs(result, argc, args, expected);
    return buffer ? Element(buffer, usage, type) : nullptr;
}

void PutFloats(uint8_t* at, RValue* args, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const float value = Arg_GetFloat(args, 1 + i);
        std::memcpy(at + 4 * i, &value, 4);
    }
}

uint32_t ColourOf(RValue* args) {
    const float alpha = Arg_GetFloat(args, 2);
    return Colour_ToARGBByte(Arg_GetUInt32(args, 1), Colour_FloatToByte(alpha));
}

void PutWord(uint8_t* at, uint32_t word) {
    std::memcpy(at, &word, 4);
}

void PutBytes(uint8_t* at, RValue* args) {
    for (int32_t i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(Arg_GetUInt32(args, 1 + i));
}

void F_VertexPosition(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 3, kUsagePosition, VF_FLOAT2))
        PutFloats(at, args, 2);
}
void F_VertexPosition3D(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 4, kUsagePosition, VF_FLOAT3))
        PutFloats(at, args, 3);
}
void F_VertexColour(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 3, kUsageColour, VF_COLOUR))
        PutWord(at, ColourOf(args));
}
void F_VertexArgb(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 2, kUsageColour, VF_COLOUR))
        PutWord(at, Arg_GetUInt32(args, 1));
}
void F_VertexTexcoord(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 3, kUsageTexcoord, VF_FLOAT2))
        PutFloats(at, args, 2);
}
void F_VertexNormal(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 4, kUsageNormal, VF_FLOAT3)) PutFloats(at, args, 3);
}
template <int32_t N>
void F_VertexFloat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, N + 1, kAnyUsage, N)) PutFloats(at, args, N);
}
void F_VertexUbyte4(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (uint8_t* at = CheckedElement(result, argc, args, 5, kAnyUsage, VF_UBYTE4)) PutBytes(at, args);
}

// ---- unchecked writers --------------------------------------------------------------------

// Appends size bytes of the element at the write offset; null (nothing written) for a buffer
// that is not being written.
uint8_t* Append(RValue* args, uint32_t size) {
    VertexBuffer* buffer = Writable(Arg_GetInt32(args, 0));
    if (!buffer || !buffer->writing) return nullptr;
    const auto stride = static_cast<uint32_t>(buffer->writing->stride);
    if (buffer->capacity < buffer->writeOffset + size) Grow(buffer, std::max(stride, size));
    uint8_t* at = buffer->data + buffer->writeOffset;
    buffer->writeOffset += size;
    if (++buffer->elementCounter >= buffer->formatElementCount) {
        ++buffer->vertexCount;
        buffer->elementCounter = 0;
    }
    return at;
}

void U_VertexPosition(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 8)) PutFloats(at, args, 2);
}
void U_VertexPosition3D(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 12)) PutFloats(at, args, 3);
}
void U_VertexColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 4)) PutWord(at, ColourOf(args));
}
void U_VertexArgb(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 4)) PutWord(at, Arg_GetUInt32(args, 1));
}
void U_VertexTexcoord(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 8)) PutFloats(at, args, 2);
}
void U_VertexNormal(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 12)) PutFloats(at, args, 3);
}
template <int32_t N>
void U_VertexFloat(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 4 * N)) PutFloats(at, args, N);
}
void U_VertexUbyte4(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (uint8_t* at = Append(args, 4)) PutBytes(at, args);
}

// ---- the rest -------------------------------------------------------------------------------

bool ValidPrimitive(const VertexBuffer* buffer, int32_t primitive) {
    return primitive >= 1 && primitive <= (buffer->frozen ? 5 : 6);
}

// The draw after the checks: a finished buffer whose format still stands.
void SubmitChecked(VertexBuffer* buffer, RValue* args) {
    if (!ValidPrimitive(buffer, Arg_GetInt32(args, 1))) return Fatal("vertex_submit: Primitive type error.");
    TextureRecord* texture = nullptr;
    Shader_Resolve_Texture(Arg_GetNumberOrPointer(args, 2), &texture);
    VertexBuffer_Submit(buffer, Arg_GetInt32(args, 1), texture);
}

void F_VertexSubmit(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 3) return Fatal("vertex_submit: Illegal argument count");
    VertexBuffer* buffer = VertexBuffer_Get(Arg_GetInt32(args, 0));
    if (!buffer) return Fatal("vertex_submit: Illegal vertex buffer specified.");
    if (!buffer->contents) return Fatal("vertex_submit: Must finish with vertex_end() before submitting.");
    SubmitChecked(buffer, args);
}

void U_VertexSubmit(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1);
    VertexBuffer* buffer = VertexBuffer_Get(Arg_GetInt32(args, 0));
    if (!buffer || !buffer->contents) return;
    const int32_t primitive = Arg_GetInt32(args, 1);
    if (!ValidPrimitive(buffer, primitive)) return Fatal("vertex_submit: Primitive type error.");
    TextureRecord* texture = nullptr;
    Shader_Resolve_Texture(Arg_GetNumberOrPointer(args, 2), &texture);
    VertexBuffer_Submit(buffer, primitive, texture);
}

void Freeze(VertexBuffer* buffer) {
    // A buffer that was never finished has nothing a device buffer could describe.
    if (buffer->writing || !buffer->contents)
        return Fatal("vertex_freeze: must end the vertex builder first");
    VertexBuffer_Freeze_Upload(buffer);
}

void F_VertexFreeze(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Fatal("vertex_freeze: Illegal argument count");
    VertexBuffer* buffer = Writable(Arg_GetInt32(args, 0));
    if (!buffer) return Fatal("vertex_freeze: Illegal vertex buffer specified.");
    Freeze(buffer);
}

void U_VertexFreeze(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1);
    if (VertexBuffer* buffer = Writable(Arg_GetInt32(args, 0))) Freeze(buffer);
}

void F_VertexCreateBuffer(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (argc != 0) return Fatal("vertex_create_buffer: Illegal argument count");
    result = RValue_Real(VertexBuffer_Create(32768));
}

void F_VertexCreateBufferExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(VertexBuffer_Create(std::max<uint32_t>(Arg_GetUInt32(args, 0), 256)));
}

void F_VertexDeleteBuffer(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Fatal("vertex_delete_buffer: Illegal argument count");
    const uint32_t index = Arg_GetUInt32(args, 0);
    VertexBuffer* buffer = index < g_buffers.size() ? g_buffers[index] : nullptr;
    if (!buffer) return Fatal("vertex_delete_buffer: Invalid vertex buffer specified");
    VertexBuffer_Destroy(buffer);
    g_buffers[index] = nullptr;
}

void F_VertexBegin(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(0);
    if (argc != 2) return Fatal("vertex_begin: Illegal argument count");
    VertexBuffer* buffer = Writable(Arg_GetInt32(args, 0));
    if (!buffer) return Fatal("vertex_begin: Illegal vertex buffer specified.");
    VertexFormatRef format = VertexFormat_Get_Ref(Arg_GetUInt32(args, 1));
    if (!format) return Fatal("vertex_begin: Illegal vertex format specified.");
    buffer->writtenMask = 0;
    buffer->writeOffset = 0;
    buffer->vertexCount = 0;
    buffer->elementCounter = 0;
    buffer->formatElementCount = static_cast<int32_t>(format->elements.size());
    buffer->writing = std::move(format);
}

void F_VertexEnd(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(0);
    if (argc != 1) return Fatal("vertex_end: Illegal argument count");
    VertexBuffer* buffer = Writable(Arg_GetInt32(args, 0));
    if (!buffer) return Fatal("vertex_end: Illegal vertex buffer specified.");
    if (buffer->writtenMask != 0) return Fatal("vertex_end: Must finish writing vertex before end.");
    buffer->contents = std::move(buffer->writing);
    buffer->writing.reset();
}

void F_VertexGetNumber(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(0);
    if (argc != 1) return Fatal("vertex_get_number: Illegal argument count");
    const VertexBuffer* buffer = VertexBuffer_Get(Arg_GetInt32(args, 0));
    if (!buffer) return Fatal("vertex_get_number: specified vertex buffer doesn't exists");
    result = RValue_Real(buffer->vertexCount);
}

void F_VertexGetBufferSize(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const VertexBuffer* buffer = VertexBuffer_Get(Arg_GetInt32(args, 0));
    if (!buffer) {
        result = RValue_Real(-1);
        return Runtime_Error("Vertex Buffer index is out of range");
    }
    result = RValue_Real(buffer->capacity);
}

// The checks both from-buffer built-ins make; false after the report.
bool FromBufferArgs(const char* prefix, int32_t argc, int32_t expected, RValue* args, IBuffer** source,
                    VertexFormatRef* format) {
    std::string message = prefix;
    if (argc != expected) {
        Fatal((message + "Illegal argument count").c_str());
        return false;
    }
    *source = Buffer_GetByIndex(Arg_GetInt32(args, 0));
    if (!*source) {
        Fatal((message + "specified buffer doesn't exists").c_str());
        return false;
    }
    *format = VertexFormat_Get_Ref(Arg_GetUInt32(args, 1));
    // A format without elements has no vertex size to count the bytes in.
    if (!*format || (*format)->stride <= 0) {
        Fatal((message + "specified vertex format doesn't exist").c_str());
        return false;
    }
    return true;
}

// A new finished buffer holding size bytes, which copy() fills; -1 after the report.
template <typename Copy>
int32_t MakeFinished(const char* prefix, uint32_t capacity, uint32_t size, const VertexFormatRef& format,
                     int32_t vertexCount, Copy copy) {
    VertexBuffer* buffer = VertexBuffer_Get(VertexBuffer_Create(capacity));
    if (!buffer || (size > 0 && !buffer->data)) {
        Fatal((std::string(prefix) + "could not create vertex buffer").c_str());
        return -1;
    }
    copy(buffer->data);
    buffer->contents = format;
    buffer->writeOffset = size;
    buffer->vertexCount = vertexCount;
    int32_t index = 0;
    while (g_buffers[static_cast<size_t>(index)] != buffer) ++index;
    return index;
}

void F_VertexCreateBufferFromBuffer(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    const char* prefix = "vertex_create_buffer_from_buffer: ";
    IBuffer* source;
    VertexFormatRef format;
    if (!FromBufferArgs(prefix, argc, 2, args, &source, &format)) return;
    const auto used = static_cast<uint32_t>(std::max(source->GetUsedSize(), 0));
    result = RValue_Real(MakeFinished(prefix, std::max<uint32_t>(used, 256), used, format,
                                      static_cast<int32_t>(used / static_cast<uint32_t>(format->stride)),
                                      [&](uint8_t* data) { std::memcpy(data, source->GetData(), used); }));
}

void F_VertexCreateBufferFromBufferExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    const char* prefix = "vertex_create_buffer_from_buffer_ext: ";
    IBuffer* source;
    VertexFormatRef format;
    if (!FromBufferArgs(prefix, argc, 4, args, &source, &format)) return;
    const int32_t offset = Arg_GetInt32(args, 2), count = Arg_GetInt32(args, 3);
    const int64_t size = int64_t{format->stride} * count;
    if (count < 0 || size > IBuffer::kMaxSize)
        return Fatal((std::string(prefix) + "could not create vertex buffer").c_str());
    const auto bytes = static_cast<int32_t>(size);
    result = RValue_Real(MakeFinished(prefix, static_cast<uint32_t>(bytes), static_cast<uint32_t>(bytes),
                                      format, count, [&](uint8_t* data) {
                                          if (bytes > 0)
                                              IBuffer_CopyToMemory(data, bytes, source->GetData(),
                                                                   source->GetSize(), offset, bytes, 0, false,
                                                                   source->GetType() == eBufferType_Wrap);
                                      }));
}

bool LookUpForBuffers(int32_t index, BufferVertexSource* out) {
    const VertexBuffer* buffer = VertexBuffer_Get(index);
    if (!buffer) return false;
    out->data = buffer->data;
    out->vertexCount = buffer->vertexCount;
    out->stride = buffer->contents ? buffer->contents->stride : 0;
    out->frozen = buffer->frozen;
    return true;
}

struct WriterPair {
    const char* name;
    BuiltinProc checked, unchecked;
};

const WriterPair kWriters[] = {
    {"vertex_position", F_VertexPosition, U_VertexPosition},
    {"vertex_position_3d", F_VertexPosition3D, U_VertexPosition3D},
    {"vertex_colour", F_VertexColour, U_VertexColour},
    {"vertex_argb", F_VertexArgb, U_VertexArgb},
    {"vertex_texcoord", F_VertexTexcoord, U_VertexTexcoord},
    {"vertex_normal", F_VertexNormal, U_VertexNormal},
    {"vertex_float1", F_VertexFloat<1>, U_VertexFloat<1>},
    {"vertex_float2", F_VertexFloat<2>, U_VertexFloat<2>},
    {"vertex_float3", F_VertexFloat<3>, U_VertexFloat<3>},
    {"vertex_float4", F_VertexFloat<4>, U_VertexFloat<4>},
    {"vertex_ubyte4", F_VertexUbyte4, U_VertexUbyte4},
    {"vertex_submit", F_VertexSubmit, U_VertexSubmit},
    {"vertex_freeze", F_VertexFreeze, U_VertexFreeze},
};

}  // namespace

int32_t VertexBuffer_Create(uint32_t size) {
    const size_t slot = FreeSlot();
    auto* buffer = new VertexBuffer();
    buffer->data = size ? static_cast<uint8_t*>(MEM_ALLOC(size)) : nullptr;
    buffer->capacity = size;
    g_buffers[slot] = buffer;
    return static_cast<int32_t>(slot);
}

VertexBuffer* VertexBuffer_Get(int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < g_buffers.size() ? g_buffers[static_cast<size_t>(index)]
                                                                       : nullptr;
}

void VertexBuffer_Reserve(VertexBuffer* buffer) {
    if (!buffer->writing) return;
    const auto stride = static_cast<uint32_t>(buffer->writing->stride);
    if (buffer->capacity < buffer->writeOffset + stride) Grow(buffer, stride);
}

void VertexBuffer_Freeze_Upload(VertexBuffer* buffer) {
    const VertexFormat& format = *buffer->contents;
    auto* node = static_cast<DynamicVB*>(MEM_ALLOC(sizeof(DynamicVB)));
    // A device buffer holds at least one vertex; an empty one draws nothing either way.
    DynamicVB_Create(node, static_cast<uint32_t>(format.id),
                     static_cast<uint32_t>(std::max(buffer->vertexCount, 1)), 0);
    DynamicVB_Upload(node, buffer->data, buffer->writeOffset);
    buffer->device = node;
    buffer->frozen = true;
    MEM_FREE(buffer->data);
    buffer->data = nullptr;
}

void VertexBuffer_Submit(VertexBuffer* buffer, int32_t primitive, TextureRecord* texture) {
    const VertexFormat* format = buffer->contents.get();
    // A deleted format (or one whose id a newer format took) no longer describes these bytes.
    if (!format || VertexFormat_Get(static_cast<uint32_t>(format->id)) != format || format->stride <= 0)
        return;
    const auto id = static_cast<uint32_t>(format->id);
    const int32_t count = buffer->vertexCount;
    if (buffer->frozen) {
        GR_Draw_Vertex_Buffer(primitive, count, 0, id, texture, buffer->device);
        return;
    }
    const auto stride = static_cast<uint32_t>(format->stride);
    if (uint64_t{static_cast<uint32_t>(count)} * stride < static_cast<uint32_t>(GR_Batch_Max_Bytes()) &&
        count < GR_Batch_Max_Vertices()) {
        void* target = GR_Batch_Alloc(primitive, texture, id, count);
        if (count > 0) std::memcpy(target, buffer->data, size_t{static_cast<uint32_t>(count)} * stride);
        return;
    }
    const int32_t group = primitive == 1 ? 1 : primitive == 2 ? 2 : primitive == 4 ? 3 : 0;
    if (group == 0) return;
    const int32_t fit =
        std::min(GR_Batch_Max_Bytes() / static_cast<int32_t>(stride), GR_Batch_Max_Vertices());
    const int32_t chunk = group * (fit / group);
    const uint8_t* from = buffer->data;
    for (int32_t left = count; left > 0;) {
        const int32_t n = std::min(left, chunk);
        void* target = GR_Batch_Alloc(primitive, texture, id, n);
        std::memcpy(target, from, size_t{static_cast<uint32_t>(n)} * stride);
        from += size_t{static_cast<uint32_t>(n)} * stride;
        left -= n;
    }
}

void VertexBuffer_Destroy(VertexBuffer* buffer) {
    MEM_FREE(buffer->data);
    if (buffer->device) {
        DynamicVB_Release(buffer->device);
        MEM_FREE(buffer->device);
    }
    delete buffer;
}

void VertexBuffer_Release_All_Device() {
    for (VertexBuffer* buffer : g_buffers) {
        if (!buffer || !buffer->device) continue;
        DynamicVB_Release(buffer->device);
        MEM_FREE(buffer->device);
        buffer->device = nullptr;
    }
}

void VertexBuffer_Free_All() {
    for (VertexBuffer*& buffer : g_buffers) {
        if (buffer) VertexBuffer_Destroy(buffer);
        buffer = nullptr;
    }
    g_buffers.clear();
}

void VertexBuffer_Set_Checked(bool checked) {
    for (const WriterPair& writer : kWriters)
        Code_Function_Replace(writer.name, checked ? writer.checked : writer.unchecked);
}

void VertexBuffer_InstallHooks() {
    Buffer_SetVertexLookup(LookUpForBuffers);
}

void InitVertexBufferFunctions() {
    static const BuiltinRow kRows[] = {
        {"vertex_create_buffer", F_VertexCreateBuffer, 0},
        {"vertex_create_buffer_ext", F_VertexCreateBufferExt, 1},
        {"vertex_delete_buffer", F_VertexDeleteBuffer, 1},
        {"vertex_begin", F_VertexBegin, 2},
        {"vertex_end", F_VertexEnd, 1},
        {"vertex_position", F_VertexPosition, 3},
        {"vertex_position_3d", F_VertexPosition3D, 4},
        {"vertex_colour", F_VertexColour, 3},
        {"vertex_argb", F_VertexArgb, 2},
        {"vertex_texcoord", F_VertexTexcoord, 3},
        {"vertex_normal", F_VertexNormal, 4},
        {"vertex_float1", F_VertexFloat<1>, 2},
        {"vertex_float2", F_VertexFloat<2>, 3},
        {"vertex_float3", F_VertexFloat<3>, 4},
        {"vertex_float4", F_VertexFloat<4>, 5},
        {"vertex_ubyte4", F_VertexUbyte4, 5},
        {"vertex_submit", F_VertexSubmit, 3},
        {"vertex_freeze", F_VertexFreeze, 1},
        {"vertex_get_number", F_VertexGetNumber, 1},
        {"vertex_get_buffer_size", F_VertexGetBufferSize, 1},
        {"vertex_create_buffer_from_buffer", F_VertexCreateBufferFromBuffer, 2},
        {"vertex_create_buffer_from_buffer_ext", F_VertexCreateBufferFromBufferExt, 4},
    };
    static_assert(std::size(kRows) == 22);
    Code_Function_AddRows(kRows);
}
