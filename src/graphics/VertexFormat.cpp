#include "graphics/VertexFormat.h"

#include <string>

#include "base/Error_Report.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "platform/Device.h"

namespace {

std::vector<VertexFormatRef> g_formats;
VertexFormatRef g_open;  // the format under construction
uint32_t g_nextBit = 0;
constexpr size_t kMaxElements = 32;

// Device usages of codes 1..14.
constexpr uint8_t kDeclUsage[15] = {
    D3DDECLUSAGE_POSITION, D3DDECLUSAGE_POSITION,    D3DDECLUSAGE_COLOR,       D3DDECLUSAGE_NORMAL,
    D3DDECLUSAGE_TEXCOORD, D3DDECLUSAGE_BLENDWEIGHT, D3DDECLUSAGE_BLENDWEIGHT, D3DDECLUSAGE_TANGENT,
    D3DDECLUSAGE_TANGENT,  D3DDECLUSAGE_BINORMAL,    D3DDECLUSAGE_TESSFACTOR,  D3DDECLUSAGE_POSITIONT,
    D3DDECLUSAGE_FOG,      D3DDECLUSAGE_DEPTH,       D3DDECLUSAGE_SAMPLE};

void Report(const std::string& text) {
    Error_Report(text.c_str(), false);
}

// The checks every adder makes, with its own name in the messages; false after the report.
bool MayAdd(const char* name, int32_t argc, bool checkCount) {
    if (checkCount && argc != 0) {
        Report(std::string(name) + "(): Illegal argument count");
        return false;
    }
    if (!g_open) {
        Report(std::string(name) + "(): haven't started a new format.");
        return false;
    }
    if (g_open->elements.size() >= kMaxElements) {
        Report(std::string(name) + "(): Too many elements");
        return false;
    }
    return true;
}

void AddToOpen(int32_t type, int32_t usage) {
    VertexFormat_Add_Element(g_open.get(), type, usage, g_nextBit);
    g_nextBit <<= 1;
}

void Adder(const char* name, int32_t argc, int32_t type, int32_t usage) {
    if (MayAdd(name, argc, true)) AddToOpen(type, usage);
}

void F_VertexFormatBegin(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (argc != 0) return Report("vertex_format_begin(): Illegal argument count");
    if (g_open) return Report("vertex_format_begin(): Can't start a new format, still creating another one.");
    g_open = std::make_shared<VertexFormat>();
    g_nextBit = 1;
}

void F_VertexFormatAddPosition(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    Adder("vertex_format_add_position", argc, VF_FLOAT2, 1);
}

void F_VertexFormatAddPosition3D(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    Adder("vertex_format_add_position_3d", argc, VF_FLOAT3, 1);
}

void F_VertexFormatAddColour(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    Adder("vertex_format_add_colour", argc, VF_COLOUR, 2);
}

void F_VertexFormatAddNormal(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    Adder("vertex_format_add_normal", argc, VF_FLOAT3, 3);
}

void F_VertexFormatAddTexcoord(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    Adder("vertex_format_add_textcoord", argc, VF_FLOAT2, 4);
}

void F_VertexFormatAddCustom(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (!MayAdd("vertex_format_add_custom", argc, false)) return;
    const int32_t type = Arg_GetInt32(args, 0), usage = Arg_GetInt32(args, 1);
    if (type < 1 || type > 6) return Report("vertex_format_add_custom(): illegal types");
    if (usage < 1 || usage > 14) return Report("vertex_format_add_custom(): illegal usage");
    AddToOpen(type, usage);
}

void F_VertexFormatEnd(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (argc != 0) return Report("vertex_format_end(): Illegal argument count");
    if (!g_open) return Report("vertex_format_end(): Can't end format, you haven't started one yet.");
    VertexFormatRef format = VertexFormat_Register(std::move(g_open));
    g_open.reset();
    g_nextBit = 0;
    VertexFormat_Build_Declaration(format.get());
    result = RValue_Real(format->id);
}

void F_VertexFormatDelete(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Error_Report("vertex_format_delete(): Illegal argument count", true);
    if (!RValue_IsReal(&args[0])) return Error_Report("vertex_format_delete(): Illegal argument type", true);
    const uint32_t id = Arg_GetUInt32(args, 0);
    for (const VertexFormatRef& format : g_formats) {
        if (!format || static_cast<uint32_t>(format->id) != id) continue;
        GraphicsFlush();
        VertexFormat_Release_Declaration(format.get());
        VertexFormat_Free(format.get());
        return;
    }
}

}  // namespace

VertexFormat::~VertexFormat() {
    if (declaration) declaration->Release();
}

int32_t VertexFormat_Type_Size(int32_t type) {
    switch (type) {
        case VF_FLOAT1:
        case VF_COLOUR:
        case VF_UBYTE4:
            return 4;
        case VF_FLOAT2:
            return 8;
        case VF_FLOAT3:
            return 12;
        case VF_FLOAT4:
            return 16;
        default:
            return 0;
    }
}

VertexFormatRef VertexFormat_Get_Ref(uint32_t id) {
    if (id < GR_CUSTOM_FORMAT_BIT) return nullptr;
    const uint32_t slot = id & ~GR_CUSTOM_FORMAT_BIT;
    return slot < g_formats.size() ? g_formats[slot] : nullptr;
}

VertexFormat* VertexFormat_Get(uint32_t id) {
    return VertexFormat_Get_Ref(id).get();
}

void VertexFormat_Add_Element(VertexFormat* format, int32_t type, int32_t usage, uint32_t bit) {
    format->elements.push_back({format->stride, type, usage, bit});
    format->usageMask |= bit;
    format->stride += VertexFormat_Type_Size(type);
}

VertexFormatRef VertexFormat_Register(VertexFormatRef format) {
    size_t slot = 0;
    while (slot < g_formats.size() && g_formats[slot]) ++slot;
    if (slot == g_formats.size()) g_formats.emplace_back();
    format->id = static_cast<int32_t>(slot | GR_CUSTOM_FORMAT_BIT);
    g_formats[slot] = format;
    return format;
}

void VertexFormat_Build_Declaration(VertexFormat* format) {
    std::vector<GpuVertexElement> elements;
    int32_t seen[15] = {};
    for (const VertexFormatElement& e : format->elements) {
        const bool knownType = e.type >= 1 && e.type <= 6;
        const bool knownUsage = e.usage >= 1 && e.usage <= 14;
        const uint8_t index = knownUsage ? static_cast<uint8_t>(seen[e.usage]++) : 0;
        elements.push_back({0, static_cast<uint16_t>(e.offset),
                            static_cast<uint8_t>(knownType ? e.type - 1 : D3DDECLTYPE_FLOAT1),
                            D3DDECLMETHOD_DEFAULT,
                            knownUsage ? kDeclUsage[e.usage] : uint8_t{D3DDECLUSAGE_POSITION}, index});
    }
    elements.push_back(D3DDECL_END);
    GpuVertexDeclaration* declaration = nullptr;
    if (g_D3D.device && SUCCEEDED(g_D3D.device->CreateVertexDeclaration(elements.data(), &declaration)))
        format->declaration = declaration;
}

void VertexFormat_Release_Declaration(VertexFormat* format) {
    if (format->declaration) format->declaration->Release();
    format->declaration = nullptr;
}

void VertexFormat_Free(VertexFormat* format) {
    if (!format) return;
    // The record itself goes when the last buffer written in it lets go.
    for (VertexFormatRef& slot : g_formats)
        if (slot.get() == format) slot.reset();
}

void VertexFormat_Free_All() {
    GraphicsFlush();
    for (VertexFormatRef& slot : g_formats)
        if (slot) VertexFormat_Release_Declaration(slot.get());
    g_formats.clear();
    g_open.reset();
    g_nextBit = 0;
}

void VertexFormat_Byte_Swap(const VertexFormat* format, uint8_t* data, int32_t count, int32_t start,
                            int32_t bufferSize, bool wrap) {
    if (!format || !data || format->stride <= 0 || count <= 0) return;
    const int64_t stride = format->stride;
    if (bufferSize > 0) {
        if (wrap) {
            start %= bufferSize;
            count = static_cast<int32_t>(std::min<int64_t>(count, bufferSize / stride));
        } else {
            count = static_cast<int32_t>(std::min<int64_t>(count, (bufferSize - start) / stride));
        }
    }
    for (int32_t v = 0; v < count; ++v) {
        for (const VertexFormatElement& e : format->elements) {
            const int32_t components = e.type >= VF_FLOAT1 && e.type <= VF_FLOAT4 ? e.type : 1;
            for (int32_t c = 0; c < components; ++c) {
                int64_t at = start + v * stride + e.offset + 4 * c;
                uint8_t* p[4];
                for (int32_t b = 0; b < 4; ++b)
                    p[b] = data + (wrap && bufferSize > 0 ? (at + b) % bufferSize : at + b);
                std::swap(*p[0], *p[3]);
                std::swap(*p[1], *p[2]);
            }
        }
    }
}

uint32_t VertexFormat_Stride(uint32_t id) {
    const VertexFormat* format = VertexFormat_Get(id);
    return format ? static_cast<uint32_t>(format->stride) : 0;
}

void VertexFormat_Apply(uint32_t id) {
    const VertexFormat* format = VertexFormat_Get(id);
    if (g_D3D.device) g_D3D.device->SetVertexDeclaration(format ? format->declaration : nullptr);
}

void InitVertexFormatFunctions() {
    static const BuiltinRow kRows[] = {
        {"vertex_format_begin", F_VertexFormatBegin, 0},
        {"vertex_format_add_position", F_VertexFormatAddPosition, 0},
        {"vertex_format_add_position_3d", F_VertexFormatAddPosition3D, 0},
        {"vertex_format_add_colour", F_VertexFormatAddColour, 0},
        {"vertex_format_add_normal", F_VertexFormatAddNormal, 0},
        {"vertex_format_add_textcoord", F_VertexFormatAddTexcoord, 0},
        {"vertex_format_add_texcoord", F_VertexFormatAddTexcoord, 0},
        {"vertex_format_add_custom", F_VertexFormatAddCustom, 2},
        {"vertex_format_end", F_VertexFormatEnd, 0},
        {"vertex_format_delete", F_VertexFormatDelete, 1},
    };
    static_assert(std::size(kRows) == 10);
    Code_Function_AddRows(kRows);
}
