// Vertex buffers that game code fills in its own vertex formats and draws: vertex_begin opens
// a buffer in a format, one writer call per element fills each vertex, vertex_end closes it,
// vertex_submit draws it through the vertex batch, or from a static device buffer once frozen.
// The writers come checked (installed at start-up: every call and the element order are
// validated) and unchecked (release mode: they append bytes after a cheap range check).
#pragma once

#include <cstdint>

#include "graphics/VertexFormat.h"

struct DynamicVB;
struct TextureRecord;

struct VertexBuffer {
    uint8_t* data = nullptr;  // the vertex bytes while not frozen
    uint32_t capacity = 0;
    uint32_t writeOffset = 0;
    int32_t elementCounter = 0;  // unchecked writers: elements of the current vertex
    int32_t formatElementCount = 0;
    uint32_t writtenMask = 0;  // checked writers: elements of the current vertex
    int32_t vertexCount = 0;
    bool frozen = false;
    VertexFormatRef writing;   // set by vertex_begin, cleared by vertex_end
    VertexFormatRef contents;  // the format of the finished contents
    DynamicVB* device = nullptr;
};

int32_t VertexBuffer_Create(uint32_t size);
VertexBuffer* VertexBuffer_Get(int32_t index);
void VertexBuffer_Reserve(VertexBuffer* buffer);
void VertexBuffer_Freeze_Upload(VertexBuffer* buffer);
void VertexBuffer_Destroy(VertexBuffer* buffer);
void VertexBuffer_Release_All_Device();
void VertexBuffer_Free_All();
// Installs the checked writers (true) or the unchecked ones (false) under the same names.
void VertexBuffer_Set_Checked(bool checked);
// Draws a finished buffer as vertex_submit does after its checks.
void VertexBuffer_Submit(VertexBuffer* buffer, int32_t primitive, TextureRecord* texture);
// Gives the buffer built-ins their view of vertex buffers.
void VertexBuffer_InstallHooks();

void InitVertexBufferFunctions();
