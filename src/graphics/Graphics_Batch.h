// The one open vertex batch all drawing goes through, the fixed vertex formats, and the
// dynamic vertex buffers the batch (and frozen vertex buffers) draw from.
//
// A drawing routine asks GR_Batch_Alloc for n vertices of a primitive kind, texture and
// format and writes exactly n vertices at the pointer before any other batch or device
// call. The batch reaches the device when its key changes, a GPU state is dirty, its space
// runs out, the primitive is a strip or fan, someone calls GraphicsFlush, or the scene ends.
#pragma once

#include <cstdint>

#include "platform/Device.h"

struct TextureRecord;

// Vertex format values: 16 (x, y, z, colour), 24 (+ u, v), 36 (+ normal before colour); other
// values are FVF codes or custom format ids (bit 24 set).
constexpr uint32_t GR_FORMAT_XYZC = 16;
constexpr uint32_t GR_FORMAT_XYZCUV = 24;
constexpr uint32_t GR_FORMAT_XYZNCUV = 36;
constexpr uint32_t GR_CUSTOM_FORMAT_BIT = 0x1000000;

enum DynamicVBFlag : uint32_t {
    DVB_LOCKED = 1,
    DVB_DYNAMIC = 2,
    DVB_LOCKED_THIS_FRAME = 4,
    DVB_BYTE_ADDRESSED = 8,
};

struct DynamicVB {
    DynamicVB* previous;
    DynamicVB* next;
    uint32_t flags;
    GpuVertexBuffer* buffer;
    uint32_t format;
    uint32_t stride;
    uint32_t lockStart, writePosition, capacity;  // vertices, or bytes when byte-addressed
    uint8_t* lockPointer;
    uint64_t lastUsedFrame;
};

struct VertexBatch {
    int32_t kind;  // -1: no batch open
    TextureRecord* texture;
    uint32_t format;
    uint32_t stride;
    uint8_t* vertices;
    bool closed;
    uint32_t count;  // system-memory method
    uint8_t* array;
    uint32_t arrayBytes;
    DynamicVB* current;  // vertex-buffer methods
    int32_t textureStage;
    uint32_t drawCalls;  // shown and reset by the overlay
};

extern VertexBatch g_Batch;
extern uint64_t g_BatchFrameCounter;  // starts at 10
// 0: one byte-addressed ring buffer; 1: per-format buffers; 2: system memory.
extern int32_t g_BatchMethod;
// The FVF recorded for the 36-byte format (read by model drawing).
extern uint32_t g_Format36FVF;

void* GR_Batch_Alloc(int32_t kind, TextureRecord* texture, uint32_t format, int32_t n);
void GraphicsFlush();
// Closes the batch after a direct draw: the next GR_Batch_Alloc starts afresh.
void GR_Batch_Close();
void GR_Batch_Unreserve(int32_t n);
constexpr int32_t GR_Batch_Max_Vertices() {
    return 65536;
}
constexpr int32_t GR_Batch_Max_Bytes() {
    return 0x240000;
}
void GR_Batch_Draw(int32_t kind, int32_t n, const void* vertices, uint32_t format);
void GR_Batch_End_Frame();
void GR_Batch_Free_All();
uint32_t GR_Format_To_FVF(uint32_t format);
uint32_t GR_FVF_Stride(uint32_t fvf);
inline bool GR_Prim_Supported(int32_t) {
    return true;
}
inline bool GR_VB_Buffers_Valid() {
    return true;
}
void GR_Draw_Vertex_Buffer(int32_t kind, int32_t n, int32_t start, uint32_t format, TextureRecord* texture,
                           DynamicVB* node);
// Primitives of a kind that n vertices make (any unknown kind counts as points).
int32_t GR_Primitive_Count(int32_t kind, int32_t n);

int32_t DynamicVB_Create(DynamicVB* node, uint32_t format, uint32_t size, uint32_t creationFlags);
DynamicVB* DynamicVB_New(uint32_t format, uint32_t n);
DynamicVB* DynamicVB_Find(uint32_t n, uint32_t format);
void DynamicVB_Lock(DynamicVB* node);
void DynamicVB_Unlock(DynamicVB* node);
void DynamicVB_Upload(DynamicVB* node, const void* data, uint32_t size);
void DynamicVB_Release(DynamicVB* node);
void DynamicVB_Clear(DynamicVB* node);
void DynamicVB_List_Append(DynamicVB* node);
void DynamicVB_List_Remove(DynamicVB* node);
