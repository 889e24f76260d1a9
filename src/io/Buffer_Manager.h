// The buffer table and the buffer_* built-ins. Game code addresses buffers by index; the
// runner's own code (networking, game save, buffer sounds, secure maps) creates, finds and
// frees its buffers through the same table. Main thread only.
#pragma once

#include <cstdint>

#include "io/IBuffer.h"

// The first free index from 0 upward; with none free the table doubles (32 the first time)
// and the first new index is given. The index stays free until a buffer is put in it.
int32_t Buffer_AllocSlot();
// A new buffer in the next free index: kind 3 is a Buffer_Fast, kinds 0, 1, 2 and 4 a
// Buffer_Standard. Another kind is a fatal run-time error; a size below 0 or above
// IBuffer::kMaxSize is refused. -1 when nothing was made.
int32_t Buffer_Create(int32_t size, int32_t type, int32_t alignment);
// Puts a buffer the caller made into the next free index; the table owns it from then on.
int32_t Buffer_Add(IBuffer* buffer);
// The buffer, or null when the index is out of range or free.
IBuffer* Buffer_GetByIndex(int32_t index);
// Deletes the buffer (whether in use or not) and frees the index.
void Buffer_Free(int32_t index);
// IBuffer::Write on the buffer; an unknown index reports "Illegal Buffer Index" and gives -1.
int32_t Buffer_WriteByIndex(int32_t index, int32_t type, const RValue* value);
// Deletes every buffer and empties the table (shutdown and restart).
void Buffer_FreeAll();
// The table's length (free entries included).
int32_t Buffer_TableLength();

// buffer_get_address hands game code a 32-bit handle, never the block's address: the handle
// names the buffer (and the life of its index), so it survives a resize and dies with the
// buffer. Extension calls turn it back into the address of the buffer's bytes here; an
// unknown or stale handle gives null.
uint32_t Buffer_GetAddressHandle(int32_t index);
uint8_t* Buffer_GetAddressFromHandle(uint32_t handle);

// What the vertex-buffer built-ins read of a vertex buffer; the graphics layer installs the
// lookup. Unset (or false), no vertex buffer exists.
struct BufferVertexSource {
    const uint8_t* data;
    int32_t vertexCount;
    int32_t stride;  // bytes of one vertex of its format; 0 when it has no format
    bool frozen;
};
using BufferVertexLookup = bool (*)(int32_t vertexBuffer, BufferVertexSource* out);
void Buffer_SetVertexLookup(BufferVertexLookup lookup);

// Registers the buffer built-ins in the built-in function table.
void InitBufferFunctions();
