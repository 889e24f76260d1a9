#include "platform/Device.h"

uint32_t Gpu_VertexCount(uint32_t kind, uint32_t primitiveCount) {
    switch (kind) {
        case D3DPT_LINELIST:
            return primitiveCount * 2;
        case D3DPT_LINESTRIP:
            return primitiveCount + 1;
        case D3DPT_TRIANGLELIST:
            return primitiveCount * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return primitiveCount + 2;
        default:
            return primitiveCount;
    }
}

uint32_t Gpu_FVFStride(uint32_t fvf) {
    uint32_t stride = 0;
    if (fvf & D3DFVF_XYZ) stride += 12;
    if (fvf & D3DFVF_XYZRHW) stride += 16;
    if (fvf & D3DFVF_NORMAL) stride += 12;
    if (fvf & D3DFVF_DIFFUSE) stride += 4;
    if (fvf & D3DFVF_TEX1) stride += 8;
    return stride;
}
