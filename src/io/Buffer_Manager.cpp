#include "io/Buffer_Manager.h"

#include <cstdio>
#include <cstring>

#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"

namespace {

// One entry of the table. The generation counts the buffers that have lived in the index,
// so an address handle of a deleted buffer never names its successor.
struct BufferSlot {
    IBuffer* buffer;
    uint32_t generation;
};

BufferSlot* g_slots = nullptr;
int32_t g_slotCount = 0;

BufferVertexLookup g_vertexLookup = nullptr;

constexpr int32_t kFirstTableLength = 32;
constexpr int32_t kMaxAlignment = 1024;

// Handle layout: tag in the top 4 bits, generation in the next 8, index in the low 20.
constexpr uint32_t kHandleTag = 0xB0000000u;
constexpr uint32_t kHandleTagMask = 0xF0000000u;
constexpr int32_t kHandleIndexBits = 20;
constexpr uint32_t kHandleIndexMask = (1u << kHandleIndexBits) - 1;
constexpr uint32_t kHandleGenerationMask = 0xFFu;

const char* const kIllegalIndex = "Illegal Buffer Index";

// The int32 truncation of a real, or INT32_MIN for a real without one (out of range, NaN).
// INT32_MIN is never a buffer index nor a value code, so the fast paths below send it on to the
// checked path.
inline int32_t TruncatedOrMin(double d) {
    int32_t value;
    return BufferInline::TruncatesToInt32(d, &value) ? value : INT32_MIN;
}

// The buffer at an index of the fast paths, or null (nothing reported).
inline IBuffer* FastLookup(int32_t index) {
    return static_cast<uint32_t>(index) < static_cast<uint32_t>(g_slotCount) ? g_slots[index].buffer
                                                                             : nullptr;
}

// True when every one of the values is a plain real: the fast paths test their arguments' whole
// kind words at once (a real carrying a mark goes the checked path, as the getters' inline test does).
static_assert(VALUE_REAL == 0);
inline bool AllReal(const RValue* args, int32_t count) {
    uint32_t kinds = 0;
    for (int32_t i = 0; i < count; ++i) kinds |= args[i].kind;
    return kinds == VALUE_REAL;
}

IBuffer* GetOrReport(int32_t index, const char* message = kIllegalIndex) {
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) Runtime_ErrorNonFatal("%s", message);
    return buffer;
}

bool IsLegalAlignment(int32_t alignment) {
    return alignment > 0 && alignment <= kMaxAlignment;
}

}  // namespace

// --- the table ---------------------------------------------------------------------------

int32_t Buffer_AllocSlot() {
    for (int32_t i = 0; i < g_slotCount; ++i) {
        if (g_slots[i].buffer == nullptr) return i;
    }
    const int32_t first = g_slotCount;
    const int32_t length = g_slotCount > 0 ? g_slotCount * 2 : kFirstTableLength;
    // MEM_REALLOC zero-fills the new entries: free, generation 0.
    g_slots =
        static_cast<BufferSlot*>(MEM_REALLOC(g_slots, sizeof(BufferSlot) * static_cast<size_t>(length)));
    g_slotCount = length;
    return first;
}

int32_t Buffer_Add(IBuffer* buffer) {
    if (buffer == nullptr) return -1;
    const int32_t index = Buffer_AllocSlot();
    g_slots[index].buffer = buffer;
    return index;
}

int32_t Buffer_Create(int32_t size, int32_t type, int32_t alignment) {
    if (type < eBufferType_Fixed || type > eBufferType_VBuffer) {
        Runtime_Error(
            "Unknown buffer type, should be one of buffer_fixed, buffer_grow, buffer_wrap, buffer_fast, "
            "buffer_vbuffer");
        return -1;
    }
    if (size < 0 || size > IBuffer::kMaxSize) return -1;
    if (type == eBufferType_Fast) return Buffer_Add(new Buffer_Fast(size, alignment));
    return Buffer_Add(new Buffer_Standard(size, type, alignment));
}

IBuffer* Buffer_GetByIndex(int32_t index) {
    if (index < 0 || index >= g_slotCount) return nullptr;
    return g_slots[index].buffer;
}

void Buffer_Free(int32_t index) {
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) return;
    g_slots[index].buffer = nullptr;
    ++g_slots[index].generation;
    delete buffer;
}

int32_t Buffer_WriteByIndex(int32_t index, int32_t type, const RValue* value) {
    IBuffer* buffer = GetOrReport(index);
    return buffer ? buffer->Write(type, value) : -1;
}

void Buffer_FreeAll() {
    for (int32_t i = 0; i < g_slotCount; ++i) delete g_slots[i].buffer;
    MEM_FREE(g_slots);
    g_slots = nullptr;
    g_slotCount = 0;
}

int32_t Buffer_TableLength() {
    return g_slotCount;
}

uint32_t Buffer_GetAddressHandle(int32_t index) {
    if (Buffer_GetByIndex(index) == nullptr || static_cast<uint32_t>(index) > kHandleIndexMask) return 0;
    const uint32_t generation = g_slots[index].generation & kHandleGenerationMask;
    return kHandleTag | generation << kHandleIndexBits | static_cast<uint32_t>(index);
}

uint8_t* Buffer_GetAddressFromHandle(uint32_t handle) {
    if ((handle & kHandleTagMask) != kHandleTag) return nullptr;
    const auto index = static_cast<int32_t>(handle & kHandleIndexMask);
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) return nullptr;
    const uint32_t generation = (handle >> kHandleIndexBits) & kHandleGenerationMask;
    if ((g_slots[index].generation & kHandleGenerationMask) != generation) return nullptr;
    return buffer->GetData();
}

void Buffer_SetVertexLookup(BufferVertexLookup lookup) {
    g_vertexLookup = lookup;
}

// --- built-ins ---------------------------------------------------------------------------

namespace {

void F_BufferCreate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t size = Arg_GetInt32(args, 0);
    const int32_t type = Arg_GetInt32(args, 1);
    const int32_t alignment = Arg_GetInt32(args, 2);
    result = RValue_Real(-1.0);
    if (size <= 0 || size > IBuffer::kMaxSize) {
        Runtime_ErrorNonFatal("buffer_create: Illegal size");
        return;
    }
    if (!IsLegalAlignment(alignment)) {
        Runtime_ErrorNonFatal("buffer_create: Illegal alignment size");
        return;
    }
    result = RValue_Real(Buffer_Create(size, type, alignment));
}

void F_BufferDelete(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) return;
    if (buffer->GetInUseCount() > 0) {
        Runtime_ErrorNonFatal("Cannot delete buffer, it's in use");
        return;
    }
    Buffer_Free(index);
}

// buffer_write and buffer_read run millions of times a frame in games that build meshes, packets
// or saves, so each row first tries the usual call (index, code and value all reals, a number
// that fits) inline, with no argument getter and no saved registers; anything else, every error
// included, goes to the checked path, which gives the same result for that usual call.
__attribute__((noinline)) void BufferWriteChecked(RValue& result, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    result = RValue_Real(buffer != nullptr ? buffer->Write(Arg_GetInt32(args, 1), &args[2]) : -1);
}

void F_BufferWrite(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    if (AllReal(args, 3)) [[likely]] {
        IBuffer* buffer = FastLookup(TruncatedOrMin(args[0].val));
        if (buffer != nullptr && buffer->TryWriteReal(TruncatedOrMin(args[1].val), args[2].val)) [[likely]] {
            result = RValue_Real(0.0);
            return;
        }
    }
    BufferWriteChecked(result, args);
}

__attribute__((noinline)) void BufferReadChecked(RValue& result, RValue* args) {
    result = RValue_Real(0.0);
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    if (buffer->Read(Arg_GetInt32(args, 1), &result) < 0 && result.kind == VALUE_REAL && result.val == -3.0) {
        Runtime_ErrorNonFatal("Attempting to read from outside the buffer, returning 0");
        result = RValue_Real(0.0);
    }
}

void F_BufferRead(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    if (AllReal(args, 2)) [[likely]] {
        IBuffer* buffer = FastLookup(TruncatedOrMin(args[0].val));
        if (buffer != nullptr && buffer->TryReadNumber(TruncatedOrMin(args[1].val), &result)) [[likely]]
            return;
    }
    BufferReadChecked(result, args);
}

void F_BufferPoke(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    buffer->Poke(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &args[3]);
}

void F_BufferPeek(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(0.0);
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    buffer->Peek(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &result);
}

void F_BufferSeek(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    result = RValue_Real(buffer->Seek(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)));
}

void F_BufferSave(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    buffer->Save(Arg_GetString(args, 1), 0, -1);
    result = RValue_Real(0.0);
}

void F_BufferSaveExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    const char* file = Arg_GetString(args, 1);
    result = RValue_Real(buffer->Save(file, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3)));
}

// A new grow buffer (size 0, alignment 1) filled by fill; kept in the table when fill
// succeeds, else deleted with "Cannot load buffer file".
template <typename Fill>
void LoadIntoNewBuffer(RValue& result, Fill fill) {
    result = RValue_Real(-1.0);
    auto* buffer = new Buffer_Standard();
    if (fill(buffer) == 0) {
        delete buffer;
        Runtime_ErrorNonFatal("Cannot load buffer file");
        return;
    }
    result = RValue_Real(Buffer_Add(buffer));
}

void F_BufferLoad(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* file = Arg_GetString(args, 0);
    LoadIntoNewBuffer(result, [file](IBuffer* buffer) { return buffer->Load(file, 0, -1, 0); });
}

void F_BufferLoadExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    const char* file = Arg_GetString(args, 1);
    result = RValue_Real(buffer->Load(file, 0, -1, Arg_GetInt32(args, 2)));
}

void F_BufferLoadPartial(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    const char* file = Arg_GetString(args, 1);
    result =
        RValue_Real(buffer->Load(file, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3), Arg_GetInt32(args, 4)));
}

void F_BufferCopy(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* source = Buffer_GetByIndex(Arg_GetInt32(args, 0));
    IBuffer* destination = Buffer_GetByIndex(Arg_GetInt32(args, 3));
    if (source == nullptr || destination == nullptr) {
        Runtime_ErrorNonFatal("Illegal Source Buffer Index");
        return;
    }
    if (source == destination) {
        Runtime_ErrorNonFatal("Source and Destination buffers can't be the same");
        return;
    }
    source->CopyTo(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), destination, Arg_GetInt32(args, 4));
    result = RValue_Real(0.0);
}

void F_BufferExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Bool(Buffer_GetByIndex(Arg_GetInt32(args, 0)) != nullptr ? 1.0 : 0.0);
}

void F_BufferFill(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    buffer->Fill(Arg_GetInt32(args, 1), Arg_GetInt32(args, 4), Arg_GetInt32(args, 2), &args[3]);
}

void F_BufferGetSize(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer != nullptr) result = RValue_Real(buffer->GetSize());
}

void F_BufferTell(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer != nullptr) result = RValue_Real(buffer->GetPosition());
}

void F_BufferResize(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    if (!buffer->Resize(Arg_GetInt32(args, 1))) Runtime_ErrorNonFatal("buffer_resize: Illegal size");
}

void F_BufferMD5(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer != nullptr) buffer->MD5(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_BufferSHA1(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer != nullptr) buffer->SHA1(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_BufferBase64Encode(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer != nullptr) buffer->Base64Encode(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_BufferBase64Decode(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = Arg_GetString(args, 0);
    LoadIntoNewBuffer(result, [text](IBuffer* buffer) { return buffer->Base64Decode(text, 0, -1); });
}

void F_BufferBase64DecodeExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0));
    if (buffer == nullptr) return;
    const char* text = Arg_GetString(args, 1);
    result = RValue_Real(buffer->Base64Decode(text, Arg_GetInt32(args, 2), -1));
}

void F_BufferSizeof(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Buffer_SizeOfType(Arg_GetInt32(args, 0)));
}

void F_BufferGetAddress(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (GetOrReport(index, "buffer_get_address: Illegal Buffer Index") == nullptr) return;
    result.v64 = 0;
    result.ptr = reinterpret_cast<void*>(static_cast<uintptr_t>(Buffer_GetAddressHandle(index)));
    result.flags = 0;
    result.kind = VALUE_PTR;
}

// The buffer and surface of buffer_get_surface / buffer_set_surface, or null after the report.
IBuffer* SurfaceCallTarget(const RValue* args, const char* name) {
    char message[96];
    std::snprintf(message, sizeof message, "Error in %s(): Illegal Buffer Index", name);
    IBuffer* buffer = GetOrReport(Arg_GetInt32(args, 0), message);
    if (buffer == nullptr) return nullptr;
    int32_t width = 0, height = 0;
    if (!Buffer_SurfaceSize(Arg_GetInt32(args, 1), &width, &height)) {
        Runtime_ErrorNonFatal("Error in %s(): surface does not exist", name);
        return nullptr;
    }
    return buffer;
}

void F_BufferGetSurface(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = SurfaceCallTarget(args, "buffer_get_surface");
    if (buffer == nullptr) return;
    buffer->GetSurface(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                       Arg_GetInt32(args, 4));
}

void F_BufferSetSurface(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    IBuffer* buffer = SurfaceCallTarget(args, "buffer_set_surface");
    if (buffer == nullptr) return;
    buffer->SetSurface(Arg_GetInt32(args, 1), Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
}

// --- vertex buffers ----------------------------------------------------------------------

// The checks every vertex-buffer built-in makes first, reported with the built-in's prefix;
// false after the report.
bool LookUpVertexBuffer(int32_t id, const char* prefix, const char* missing, const char* verb,
                        BufferVertexSource* vertices) {
    if (g_vertexLookup == nullptr || !g_vertexLookup(id, vertices)) {
        Runtime_ErrorNonFatal("%s%s", prefix, missing);
        return false;
    }
    if (vertices->frozen) {
        Runtime_ErrorNonFatal("%sCan't %s frozen vertex buffer.", prefix, verb);
        return false;
    }
    if (vertices->data == nullptr || vertices->vertexCount <= 0 || vertices->stride <= 0) {
        Runtime_ErrorNonFatal("%sCan't %s empty vertex buffer.", prefix, verb);
        return false;
    }
    return true;
}

// Clips count vertices from first to the buffer's vertices; false after the report.
bool ClipVertexRange(const BufferVertexSource& vertices, const char* prefix, int32_t first, int32_t* count) {
    if (*count <= 0) {
        Runtime_ErrorNonFatal("%sSpecified number of verts invalid.", prefix);
        return false;
    }
    if (first < 0 || first >= vertices.vertexCount) {
        Runtime_ErrorNonFatal("%sSpecified start vertex out of range.", prefix);
        return false;
    }
    if (*count > vertices.vertexCount - first) *count = vertices.vertexCount - first;
    return true;
}

// A new buffer holding count vertices from first; -1 after the report.
int32_t CreateFromVertices(const BufferVertexSource& vertices, int32_t first, int32_t count, int32_t type,
                           int32_t alignment) {
    const int64_t bytes = static_cast<int64_t>(count) * vertices.stride;
    const int32_t index =
        bytes <= IBuffer::kMaxSize ? Buffer_Create(static_cast<int32_t>(bytes), type, alignment) : -1;
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) {
        Runtime_ErrorNonFatal("buffer_create_from_vertex_buffer: Error occurred created buffer");
        return -1;
    }
    const uint8_t* start = vertices.data + static_cast<int64_t>(first) * vertices.stride;
    IBuffer_CopyFromMemory(buffer, start, static_cast<int32_t>(bytes), 0, static_cast<int32_t>(bytes), 0,
                           false, false, false);
    return index;
}

void F_BufferCreateFromVertexBuffer(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* prefix = "buffer_create_from_vertex_buffer: ";
    result = RValue_Real(-1.0);
    BufferVertexSource vertices{};
    if (!LookUpVertexBuffer(Arg_GetInt32(args, 0), prefix, "Specified vertex buffer doesn't exist.",
                            "create buffer from", &vertices))
        return;
    const int32_t alignment = Arg_GetInt32(args, 2);
    if (!IsLegalAlignment(alignment)) {
        Runtime_ErrorNonFatal("%sIllegal alignment size", prefix);
        return;
    }
    result =
        RValue_Real(CreateFromVertices(vertices, 0, vertices.vertexCount, Arg_GetInt32(args, 1), alignment));
}

void F_BufferCreateFromVertexBufferExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* prefix = "buffer_create_from_vertex_buffer_ext: ";
    result = RValue_Real(-1.0);
    BufferVertexSource vertices{};
    if (!LookUpVertexBuffer(Arg_GetInt32(args, 0), prefix, "Specified vertex buffer doesn't exist.",
                            "create buffer from", &vertices))
        return;
    const int32_t alignment = Arg_GetInt32(args, 2);
    if (!IsLegalAlignment(alignment)) {
        Runtime_ErrorNonFatal("%sIllegal alignment size", prefix);
        return;
    }
    const int32_t first = Arg_GetInt32(args, 3);
    int32_t count = Arg_GetInt32(args, 4);
    if (!ClipVertexRange(vertices, prefix, first, &count)) return;
    result = RValue_Real(CreateFromVertices(vertices, first, count, Arg_GetInt32(args, 1), alignment));
}

void F_BufferCopyFromVertexBuffer(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* prefix = "buffer_copy_from_vertex_buffer: ";
    BufferVertexSource vertices{};
    if (!LookUpVertexBuffer(Arg_GetInt32(args, 0), prefix, "Illegal Vertex Buffer Index", "copy from",
                            &vertices))
        return;
    const int32_t first = Arg_GetInt32(args, 1);
    int32_t count = Arg_GetInt32(args, 2);
    if (!ClipVertexRange(vertices, prefix, first, &count)) return;
    IBuffer* destination = Buffer_GetByIndex(Arg_GetInt32(args, 3));
    if (destination == nullptr) {
        Runtime_ErrorNonFatal("%sIllegal Destination Buffer Index", prefix);
        return;
    }
    const int64_t bytes = static_cast<int64_t>(count) * vertices.stride;
    if (bytes > IBuffer::kMaxSize) return;
    const uint8_t* start = vertices.data + static_cast<int64_t>(first) * vertices.stride;
    const bool mayGrow = destination->GetType() == eBufferType_Grow || destination->GetSize() == 0;
    IBuffer_CopyFromMemory(destination, start, static_cast<int32_t>(bytes), 0, static_cast<int32_t>(bytes),
                           Arg_GetInt32(args, 4), mayGrow, destination->GetType() == eBufferType_Wrap, false);
}

}  // namespace

void InitBufferFunctions() {
    Code_Function_Add("buffer_create", F_BufferCreate, 3);
    Code_Function_Add("buffer_delete", F_BufferDelete, 1);
    Code_Function_Add("buffer_write", F_BufferWrite, 3);
    Code_Function_Add("buffer_read", F_BufferRead, 2);
    Code_Function_Add("buffer_poke", F_BufferPoke, 4);
    Code_Function_Add("buffer_peek", F_BufferPeek, 3);
    Code_Function_Add("buffer_seek", F_BufferSeek, 3);
    Code_Function_Add("buffer_save", F_BufferSave, 2);
    Code_Function_Add("buffer_save_ext", F_BufferSaveExt, 4);
    Code_Function_Add("buffer_load", F_BufferLoad, 1);
    Code_Function_Add("buffer_load_ext", F_BufferLoadExt, 3);
    Code_Function_Add("buffer_load_partial", F_BufferLoadPartial, 5);
    Code_Function_Add("buffer_copy", F_BufferCopy, 5);
    Code_Function_Add("buffer_exists", F_BufferExists, 1);
    Code_Function_Add("buffer_fill", F_BufferFill, 5);
    Code_Function_Add("buffer_get_size", F_BufferGetSize, 1);
    Code_Function_Add("buffer_tell", F_BufferTell, 1);
    Code_Function_Add("buffer_resize", F_BufferResize, 2);
    Code_Function_Add("buffer_md5", F_BufferMD5, 3);
    Code_Function_Add("buffer_sha1", F_BufferSHA1, 3);
    Code_Function_Add("buffer_base64_encode", F_BufferBase64Encode, 3);
    Code_Function_Add("buffer_base64_decode", F_BufferBase64Decode, 1);
    Code_Function_Add("buffer_base64_decode_ext", F_BufferBase64DecodeExt, 3);
    Code_Function_Add("buffer_sizeof", F_BufferSizeof, 1);
    Code_Function_Add("buffer_get_address", F_BufferGetAddress, 1);
    Code_Function_Add("buffer_get_surface", F_BufferGetSurface, 5);
    Code_Function_Add("buffer_set_surface", F_BufferSetSurface, 5);
    Code_Function_Add("buffer_create_from_vertex_buffer", F_BufferCreateFromVertexBuffer, 3);
    Code_Function_Add("buffer_create_from_vertex_buffer_ext", F_BufferCreateFromVertexBufferExt, 5);
    Code_Function_Add("buffer_copy_from_vertex_buffer", F_BufferCopyFromVertexBuffer, 5);
}
