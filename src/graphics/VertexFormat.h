// Vertex formats made by game code: an ordered list of elements (a type and a usage each)
// with offsets, a stride and a device vertex declaration. Ids carry bit 24 (0x1000000 | slot)
// so they never meet the fixed formats' FVF codes. Records are shared: a vertex buffer keeps
// the record it was written in, so deleting a format never leaves a buffer pointing at freed
// memory; the table forgets it and a new format may take its id.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class GpuVertexDeclaration;

// Element types (vertex_format_add_custom's codes).
enum VertexElementType : int32_t {
    VF_FLOAT1 = 1,
    VF_FLOAT2 = 2,
    VF_FLOAT3 = 3,
    VF_FLOAT4 = 4,
    VF_COLOUR = 5,
    VF_UBYTE4 = 6,
};

struct VertexFormatElement {
    int32_t offset;
    int32_t type;
    int32_t usage;
    uint32_t bit;
};

struct VertexFormat {
    int32_t id = 0;
    std::vector<VertexFormatElement> elements;
    GpuVertexDeclaration* declaration = nullptr;  // one reference; none when creation failed
    uint32_t usageMask = 0;
    int32_t stride = 0;
    ~VertexFormat();
};

using VertexFormatRef = std::shared_ptr<VertexFormat>;

// Bytes of an element type (0 for an unknown code).
int32_t VertexFormat_Type_Size(int32_t type);
// The format of a valid id, or null (outside the table, deleted slot, no bit 24).
VertexFormat* VertexFormat_Get(uint32_t id);
VertexFormatRef VertexFormat_Get_Ref(uint32_t id);
void VertexFormat_Add_Element(VertexFormat* format, int32_t type, int32_t usage, uint32_t bit);
VertexFormatRef VertexFormat_Register(VertexFormatRef format);
void VertexFormat_Build_Declaration(VertexFormat* format);
void VertexFormat_Release_Declaration(VertexFormat* format);
void VertexFormat_Free(VertexFormat* format);
void VertexFormat_Free_All();
// Reverses the bytes of every 4-byte component of each vertex (never needed here: colours
// are stored as the device reads them).
void VertexFormat_Byte_Swap(const VertexFormat* format, uint8_t* data, int32_t count, int32_t start,
                            int32_t bufferSize, bool wrap);

// What the batch asks of a custom format id: its stride (0 when gone) and its layout on the
// device (no declaration when gone, which draws nothing).
uint32_t VertexFormat_Stride(uint32_t id);
void VertexFormat_Apply(uint32_t id);

void InitVertexFormatFunctions();
