#include "graphics/Graphics_Batch.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/VertexFormat.h"
#include "core/ProfilerScope.h"
#include "io/Profiler.h"

namespace {

// A flushed batch holds this in place of a texture, so that no record, not even null, joins it.
char g_noTextureMark;
TextureRecord* const kNoTexture = reinterpret_cast<TextureRecord*>(&g_noTextureMark);

constexpr uint32_t kInitialBytes = 0x48000;

uint32_t g_minimumNodeVertices = 16384;
uint32_t g_singleBufferBytes = kInitialBytes;
uint32_t g_buffersCreated = 0;
uint64_t g_bufferBytesCreated = 0;
DynamicVB* g_single = nullptr;
DynamicVB* g_listHead = nullptr;
DynamicVB* g_listTail = nullptr;

bool SystemMemory() {
    return g_BatchMethod == 2;
}
bool SingleBuffer() {
    return g_BatchMethod == 0;
}

bool IsStripOrFan(int32_t kind) {
    return kind == D3DPT_LINESTRIP || kind == D3DPT_TRIANGLESTRIP || kind == D3DPT_TRIANGLEFAN;
}

// Kinds outside the device's list are drawn as points.
uint32_t DeviceKind(int32_t kind) {
    return kind >= 1 && kind <= 6 ? static_cast<uint32_t>(kind) : uint32_t{D3DPT_POINTLIST};
}

void SetVertexLayout(uint32_t fvf) {
    if (fvf & GR_CUSTOM_FORMAT_BIT) {
        g_D3D.device->SetFVF(0);
        VertexFormat_Apply(fvf);
    } else {
        g_D3D.device->SetFVF(fvf);
    }
}

bool HasRoom(int32_t n) {
    const VertexBatch& b = g_Batch;
    if (SystemMemory()) return (uint64_t{b.count} + n) * b.stride <= b.arrayBytes;
    const DynamicVB* node = b.current;
    if (!node || uint64_t{node->writePosition} + n > node->capacity) return false;
    return !(node->flags & DVB_BYTE_ADDRESSED) ||
           uint64_t{node->writePosition} + uint64_t(n) * b.stride <= node->capacity;
}

// Hands out the next n vertices of the open batch.
void* Reserve(int32_t n) {
    VertexBatch& b = g_Batch;
    if (SystemMemory()) {
        uint8_t* start = b.vertices + size_t{b.count} * b.stride;
        b.count += static_cast<uint32_t>(n);
        return start;
    }
    DynamicVB* node = b.current;
    if (node->flags & DVB_BYTE_ADDRESSED) {
        uint8_t* start = node->lockPointer + (node->writePosition - node->lockStart);
        node->writePosition += static_cast<uint32_t>(n) * b.stride;
        return start;
    }
    uint8_t* start = node->lockPointer + size_t{node->writePosition - node->lockStart} * b.stride;
    node->writePosition += static_cast<uint32_t>(n);
    return start;
}

void GrowSystemArray(uint32_t needed) {
    VertexBatch& b = g_Batch;
    if (b.arrayBytes < needed) {
        MEM_FREE(b.array);
        b.array = nullptr;
        while (b.arrayBytes < needed) b.arrayBytes *= 2;
    }
    if (!b.array) b.array = static_cast<uint8_t*>(MEM_ALLOC(b.arrayBytes));
}

void DeleteNode(DynamicVB* node) {
    DynamicVB_List_Remove(node);
    DynamicVB_Release(node);
    MEM_FREE(node);
}

DynamicVB* PrepareSingleBuffer(uint32_t needed) {
    if (g_single && g_single->capacity < needed) {
        DeleteNode(g_single);
        g_single = nullptr;
    }
    // The size doubles for any request it cannot hold, the first one included, so a large
    // first batch never runs past the end of a fresh buffer.
    while (g_singleBufferBytes < needed) g_singleBufferBytes *= 2;
    if (!g_single) {
        g_single = static_cast<DynamicVB*>(MEM_ALLOC(sizeof(DynamicVB)));
        DynamicVB_Create(g_single, 0, g_singleBufferBytes, DVB_DYNAMIC | DVB_BYTE_ADDRESSED);
        DynamicVB_List_Append(g_single);
        g_single->lastUsedFrame = g_BatchFrameCounter - 7;
        ++g_buffersCreated;
        g_bufferBytesCreated += g_singleBufferBytes;
    }
    // A ring: what does not fit at the end starts again from the front.
    if (uint64_t{g_single->writePosition} + needed > g_single->capacity) g_single->writePosition = 0;
    return g_single;
}

// Creates the device buffer of a node: dynamic in system memory when asked, else (or when
// that fails) write-only in the device pool; failing both ends the game.
bool CreateNodeBuffer(DynamicVB* node, uint32_t bytes, bool dynamic) {
    Device* device = g_D3D.device;
    const uint32_t fvf = (node->format & GR_CUSTOM_FORMAT_BIT) ? 0 : node->format;
    if (device && dynamic &&
        SUCCEEDED(
            device->CreateVertexBuffer(bytes, D3DUSAGE_DYNAMIC, fvf, D3DPOOL_SYSTEMMEM, &node->buffer))) {
        node->flags |= DVB_DYNAMIC;
        return true;
    }
    const uint32_t pool = dynamic ? D3DPOOL_DEFAULT : g_D3D.resourcePool;
    if (device &&
        SUCCEEDED(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, fvf, pool, &node->buffer))) {
        return true;
    }
    node->buffer = nullptr;
    char message[256];
    std::snprintf(
        message, sizeof message,
        "Fatal Error: Can not create vertex buffer of size %d bytes\n%d vertex buffers allocated with total "
        "size of %d KB\n",
        static_cast<int>(bytes), static_cast<int>(g_buffersCreated),
        static_cast<int>(g_bufferBytesCreated / 1024));
    g_GRHooks.runtimeError(message);
    return false;
}

}  // namespace

VertexBatch g_Batch = {-1, kNoTexture, 0, 0, nullptr, true, 0, nullptr, kInitialBytes, nullptr, 0, 0};
uint64_t g_BatchFrameCounter = 10;
int32_t g_BatchMethod = 0;
uint32_t g_Format36FVF = 0;

uint32_t GR_Format_To_FVF(uint32_t format) {
    switch (format) {
        case GR_FORMAT_XYZC:
            return D3DFVF_XYZ | D3DFVF_DIFFUSE;
        case GR_FORMAT_XYZCUV:
            return D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
        case GR_FORMAT_XYZNCUV:
            g_Format36FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
            return g_Format36FVF;
        default:
            return format;
    }
}

uint32_t GR_FVF_Stride(uint32_t fvf) {
    if (fvf & GR_CUSTOM_FORMAT_BIT) return VertexFormat_Stride(fvf);
    return Gpu_FVFStride(fvf);
}

int32_t GR_Primitive_Count(int32_t kind, int32_t n) {
    switch (kind) {
        case D3DPT_LINELIST:
            return n / 2;
        case D3DPT_LINESTRIP:
            return n - 1;
        case D3DPT_TRIANGLELIST:
            return n / 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return n - 2;
        default:
            return n;
    }
}

void* GR_Batch_Alloc(int32_t kind, TextureRecord* texture, uint32_t format, int32_t n) {
    VertexBatch& b = g_Batch;
    if (n < 0) n = 0;
    if (texture == b.texture && kind == b.kind && format == b.format && g_GPUState.dirty == 0 && !b.closed &&
        HasRoom(n)) {
        return Reserve(n);
    }
    GraphicsFlush();
    b.kind = kind;
    b.texture = texture;
    b.format = format;
    b.stride = GR_FVF_Stride(GR_Format_To_FVF(format));
    const uint32_t needed = static_cast<uint32_t>(n) * b.stride;
    if (SystemMemory()) {
        GrowSystemArray(needed);
        b.vertices = b.array;
        b.count = 0;
    } else {
        b.current = SingleBuffer() ? PrepareSingleBuffer(needed)
                                   : DynamicVB_Find(static_cast<uint32_t>(n), GR_Format_To_FVF(format));
        DynamicVB_Lock(b.current);
        b.vertices = b.current->lockPointer;
    }
    // Strips and fans are drawn alone.
    b.closed = IsStripOrFan(kind);
    return Reserve(n);
}

void GraphicsFlush() {
    const bool profiled = g_ProfilerActive;
    if (profiled) g_Profiler.Begin(PROFILE_SECTION, PROFILE_GRAPHICS_FLUSH);
    VertexBatch& b = g_Batch;
    if (b.kind >= 0) {
        g_GRHooks.setTexture(b.textureStage, b.texture);
        if (SystemMemory()) {
            const int32_t count = static_cast<int32_t>(b.count);
            b.count = 0;
            GR_Batch_Draw(b.kind, count, b.vertices, b.format);
        } else if (DynamicVB* node = b.current) {
            uint32_t count = node->writePosition - node->lockStart;
            if ((node->flags & DVB_BYTE_ADDRESSED) && b.stride) count /= b.stride;
            GR_Batch_Draw(b.kind, static_cast<int32_t>(count), b.vertices, b.format);
            if (g_D3D.discardFlag && !(node->flags & DVB_BYTE_ADDRESSED))
                node->writePosition = node->capacity;
        }
        b.kind = -1;
        b.closed = true;
        b.texture = kNoTexture;
        b.format = 0;
    }
    // State changed since the batch began reaches the device only after that batch.
    GPUState_Apply(&g_GPUState);
    if (profiled) g_Profiler.End();
}

void GR_Batch_Unreserve(int32_t n) {
    VertexBatch& b = g_Batch;
    if (b.kind < 0 || n <= 0) return;
    if (SystemMemory()) {
        b.count -= std::min(static_cast<uint32_t>(n), b.count);
        return;
    }
    DynamicVB* node = b.current;
    if (!node) return;
    // Never give back more than the batch holds.
    const uint32_t held = node->writePosition - node->lockStart;
    if (node->flags & DVB_BYTE_ADDRESSED) {
        node->writePosition -= std::min(static_cast<uint32_t>(n) * b.stride, held);
    } else {
        node->writePosition -= std::min(static_cast<uint32_t>(n), held);
    }
}

void GR_Batch_Draw(int32_t kind, int32_t n, const void* vertices, uint32_t format) {
    const int32_t primitives = GR_Primitive_Count(kind, n);
    Device* device = g_D3D.device;
    if (primitives <= 0 || !device) return;
    const uint32_t deviceKind = DeviceKind(kind);
    const uint32_t fvf = GR_Format_To_FVF(format);
    if (SystemMemory()) {
        SetVertexLayout(fvf);
        device->DrawPrimitiveUP(deviceKind, static_cast<uint32_t>(primitives), vertices, GR_FVF_Stride(fvf));
    } else {
        DynamicVB* node = g_Batch.current;
        if (!node) return;
        if (node->flags & DVB_LOCKED) DynamicVB_Unlock(node);
        if (SingleBuffer()) {
            SetVertexLayout(fvf);
            device->SetStreamSource(0, node->buffer, node->lockStart, GR_FVF_Stride(fvf));
        } else {
            SetVertexLayout(node->format);
            device->SetStreamSource(0, node->buffer, node->lockStart * node->stride, node->stride);
        }
        device->DrawPrimitive(deviceKind, 0, static_cast<uint32_t>(primitives));
    }
    ++g_Batch.drawCalls;
}

void GR_Batch_End_Frame() {
    for (DynamicVB* node = g_listHead; node; node = node->next) {
        if (node->flags & DVB_LOCKED) DynamicVB_Unlock(node);
        if (node->flags & DVB_LOCKED_THIS_FRAME) {
            if (!(node->flags & DVB_BYTE_ADDRESSED)) node->writePosition = 0;
            node->lastUsedFrame = g_BatchFrameCounter;
            node->flags &= ~DVB_LOCKED_THIS_FRAME;
        }
    }
    ++g_BatchFrameCounter;
    g_Batch.current = nullptr;
    g_Batch.kind = -1;
    g_Batch.closed = true;
    if (g_D3D.discardFlag) g_minimumNodeVertices = 4096;
}

void GR_Batch_Close() {
    g_Batch.kind = -1;
    g_Batch.texture = kNoTexture;
    g_Batch.closed = true;
}

void GR_Batch_Free_All() {
    while (g_listHead) DeleteNode(g_listHead);
    g_single = nullptr;
    g_Batch.current = nullptr;
    MEM_FREE(g_Batch.array);
    g_Batch.array = nullptr;
    g_Batch.count = 0;
    g_Batch.kind = -1;
    g_Batch.closed = true;
    g_Batch.texture = kNoTexture;
}

void GR_Draw_Vertex_Buffer(int32_t kind, int32_t n, int32_t, uint32_t, TextureRecord* texture,
                           DynamicVB* node) {
    if (!node || n <= 0 || !g_D3D.device) return;
    GraphicsFlush();
    g_GRHooks.setTexture(g_Batch.textureStage, texture);
    if (node->flags & DVB_LOCKED) DynamicVB_Unlock(node);
    SetVertexLayout(node->format);
    g_D3D.device->SetStreamSource(0, node->buffer, node->stride * node->lockStart, node->stride);
    const int32_t primitives = GR_Primitive_Count(kind, n);
    if (primitives > 0) {
        g_D3D.device->DrawPrimitive(DeviceKind(kind), 0, static_cast<uint32_t>(primitives));
    }
    ++g_Batch.drawCalls;
}

// ---- dynamic vertex buffers ------------------------------------------------------------

int32_t DynamicVB_Create(DynamicVB* node, uint32_t format, uint32_t size, uint32_t creationFlags) {
    DynamicVB_Clear(node);
    node->format = format;
    node->stride = GR_FVF_Stride(format);
    node->capacity = size;
    if (creationFlags & DVB_BYTE_ADDRESSED) node->flags |= DVB_BYTE_ADDRESSED;
    const uint32_t bytes = (creationFlags & DVB_BYTE_ADDRESSED) ? size : size * node->stride;
    CreateNodeBuffer(node, bytes, (creationFlags & DVB_DYNAMIC) != 0);
    node->lastUsedFrame = 0;
    return 1;
}

DynamicVB* DynamicVB_New(uint32_t format, uint32_t n) {
    if (n < g_minimumNodeVertices) n = g_minimumNodeVertices;
    auto* node = static_cast<DynamicVB*>(MEM_ALLOC(sizeof(DynamicVB)));
    node->format = format;
    node->stride = GR_FVF_Stride(format);
    node->capacity = n;
    CreateNodeBuffer(node, n * node->stride, true);
    DynamicVB_List_Append(node);
    node->lastUsedFrame = g_BatchFrameCounter - 7;
    ++g_buffersCreated;
    g_bufferBytesCreated += uint64_t{n} * node->stride;
    return node;
}

DynamicVB* DynamicVB_Find(uint32_t n, uint32_t format) {
    for (DynamicVB* node = g_listHead; node; node = node->next) {
        // A buffer used in frame F rests until frame F + 5, so the device never still reads it.
        if (node->format == format && node->capacity - node->writePosition >= n &&
            node->lastUsedFrame + 4 < g_BatchFrameCounter) {
            return node;
        }
    }
    return DynamicVB_New(format, n);
}

void DynamicVB_Lock(DynamicVB* node) {
    if (node->flags & DVB_LOCKED) return;
    const bool bytes = (node->flags & DVB_BYTE_ADDRESSED) != 0;
    const bool dynamic = (node->flags & DVB_DYNAMIC) != 0;
    node->lockStart = node->writePosition;
    const uint32_t offset = bytes ? node->writePosition : node->writePosition * node->stride;
    const uint32_t size =
        bytes ? node->capacity - node->writePosition : (node->capacity - node->writePosition) * node->stride;
    uint32_t lockFlags = 0;
    if (!bytes && !(node->flags & DVB_LOCKED_THIS_FRAME)) {
        node->flags |= DVB_LOCKED_THIS_FRAME;
        lockFlags = dynamic ? D3DLOCK_DISCARD : 0;
    } else if (dynamic) {
        lockFlags = offset == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE;
    }
    void* pointer = nullptr;
    if (!node->buffer || FAILED(node->buffer->Lock(offset, size, &pointer, lockFlags)) || !pointer) {
        g_GRHooks.runtimeError("Fatal Error: Can not lock vertex buffer\n");
        return;
    }
    node->lockPointer = static_cast<uint8_t*>(pointer);
    node->flags |= DVB_LOCKED;
}

void DynamicVB_Unlock(DynamicVB* node) {
    if (node->buffer) node->buffer->Unlock();
    node->flags &= ~DVB_LOCKED;
    node->lockPointer = nullptr;
}

void DynamicVB_Upload(DynamicVB* node, const void* data, uint32_t size) {
    if ((node->flags & DVB_LOCKED) || !data || !node->buffer) return;
    const uint32_t capacityBytes =
        (node->flags & DVB_BYTE_ADDRESSED) ? node->capacity : node->capacity * node->stride;
    if (size > capacityBytes) size = capacityBytes;
    void* target = nullptr;
    const uint32_t lockFlags = (node->flags & DVB_DYNAMIC) ? D3DLOCK_DISCARD : 0;
    if (FAILED(node->buffer->Lock(0, size, &target, lockFlags)) || !target) {
        g_GRHooks.errorReport("Error: Could not update vertex buffer", false);
        return;
    }
    std::memcpy(target, data, size);
    if (FAILED(node->buffer->Unlock())) g_GRHooks.errorReport("Error: Could not unlock vertex buffer", false);
}

void DynamicVB_Release(DynamicVB* node) {
    if (node->buffer) node->buffer->Release();
    node->buffer = nullptr;
}

void DynamicVB_Clear(DynamicVB* node) {
    std::memset(node, 0, sizeof *node);
}

void DynamicVB_List_Append(DynamicVB* node) {
    node->previous = g_listTail;
    node->next = nullptr;
    if (g_listTail) {
        g_listTail->next = node;
    } else {
        g_listHead = node;
    }
    g_listTail = node;
}

void DynamicVB_List_Remove(DynamicVB* node) {
    if (node->previous) {
        node->previous->next = node->next;
    } else if (g_listHead == node) {
        g_listHead = node->next;
    }
    if (node->next) {
        node->next->previous = node->previous;
    } else if (g_listTail == node) {
        g_listTail = node->previous;
    }
    node->previous = node->next = nullptr;
}
