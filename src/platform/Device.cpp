#include "platform/Device.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

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

int32_t Gpu_UsageLocation(uint32_t declUsage, uint32_t usageIndex) {
    switch (declUsage) {
        case D3DDECLUSAGE_POSITION:
            return usageIndex == 0 ? 0 : -1;
        case D3DDECLUSAGE_NORMAL:
            return usageIndex == 0 ? 1 : -1;
        case D3DDECLUSAGE_COLOR:
            return usageIndex == 0 ? 2 : usageIndex == 1 ? 11 : -1;
        case D3DDECLUSAGE_TEXCOORD:
            return usageIndex < 8 ? 3 + static_cast<int32_t>(usageIndex) : -1;
        case D3DDECLUSAGE_BLENDWEIGHT:
            return usageIndex == 0 ? 12 : -1;
        case D3DDECLUSAGE_BLENDINDICES:
            return usageIndex == 0 ? 13 : -1;
        case D3DDECLUSAGE_TANGENT:
            return usageIndex == 0 ? 14 : -1;
        case D3DDECLUSAGE_BINORMAL:
            return usageIndex == 0 ? 15 : -1;
        default:
            return -1;
    }
}

int32_t Gpu_AttributeLocation(const char* name) {
    if (!name) return -1;
    if (std::strncmp(name, "in_", 3) == 0) name += 3;
    size_t length = std::strlen(name);
    size_t wordLength = length;
    while (wordLength > 0 && std::isdigit(static_cast<unsigned char>(name[wordLength - 1]))) --wordLength;
    if (wordLength == 0 || length - wordLength > 2) return -1;
    const uint32_t index = wordLength < length ? static_cast<uint32_t>(std::atoi(name + wordLength)) : 0;
    struct Word {
        const char* text;
        uint32_t usage;
    };
    static const Word kWords[] = {
        {"position", D3DDECLUSAGE_POSITION},
        {"normal", D3DDECLUSAGE_NORMAL},
        {"colour", D3DDECLUSAGE_COLOR},
        {"color", D3DDECLUSAGE_COLOR},
        {"texturecoord", D3DDECLUSAGE_TEXCOORD},
        {"texcoord", D3DDECLUSAGE_TEXCOORD},
        {"blendweight", D3DDECLUSAGE_BLENDWEIGHT},
        {"blendindices", D3DDECLUSAGE_BLENDINDICES},
        {"tangent", D3DDECLUSAGE_TANGENT},
        {"binormal", D3DDECLUSAGE_BINORMAL},
    };
    for (const Word& word : kWords) {
        if (std::strlen(word.text) == wordLength && strncasecmp(word.text, name, wordLength) == 0)
            return Gpu_UsageLocation(word.usage, index);
    }
    return -1;
}
