#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Error_Report.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Array.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "graphics/Function_3D_Rows.h"
#include "graphics/GPUState.h"

namespace {

struct StateKey {
    const char* name;
    int32_t id;
    bool isFloat;
};

// The order of the exported map's first entries.
const StateKey kStateKeys[] = {
    {"blendenable", GPU_RS_BLENDENABLE, false},
    {"ztestenable", GPU_RS_ZTESTENABLE, false},
    {"zfunc", GPU_RS_ZFUNC, false},
    {"zwriteenable", GPU_RS_ZWRITEENABLE, false},
    {"fogenable", GPU_RS_FOGENABLE, false},
    {"fogcolor", GPU_RS_FOGCOLOR, false},
    {"fogstart", GPU_RS_FOGSTART, true},
    {"fogend", GPU_RS_FOGEND, true},
    {"cullmode", GPU_RS_CULLMODE, false},
    {"srcblend", GPU_RS_SRCBLEND, false},
    {"destblend", GPU_RS_DESTBLEND, false},
    {"srcblendalpha", GPU_RS_SRCBLENDALPHA, false},
    {"destblendalpha", GPU_RS_DESTBLENDALPHA, false},
    {"sepalphaenable", GPU_RS_SEPALPHAENABLE, false},
    {"colorwriteenable", GPU_RS_COLORWRITEENABLE, false},
    {"alphatestenable", GPU_RS_ALPHATESTENABLE, false},
    {"alphatestref", GPU_RS_ALPHATESTREF, false},
    {"alphatestfunc", GPU_RS_ALPHATESTFUNC, false},
};

// Sampler key prefixes in the order of the sampler kinds.
const char* const kSamplerPrefixes[4] = {"magfilter", "minfilter", "addressu", "addressv"};

// (source, destination) of blend modes 0 to 3.
const uint32_t kBlendModes[4][2] = {{5, 6}, {5, 2}, {5, 4}, {1, 4}};

void Report(const char* text) {
    Error_Report(text, false);
}

uint32_t Get(int32_t id) {
    return GPUState_GetRenderState(&g_GPUState, id);
}

void Set(int32_t id, uint32_t value) {
    GPUState_SetRenderState(&g_GPUState, id, value);
}

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The values of a setter taking `count` values: the arguments themselves, or the items of one
// array argument of exactly that many values. Null after reporting the fitting message.
const RValue* SetterValues(int32_t argc, RValue* args, int32_t count, const char* countMessage,
                           const char* arrayMessage) {
    if (argc == count) return args;
    if (argc == 1 && count > 1 && arrayMessage) {
        const ArrayRow* row = ArrayArgumentRow(args[0]);
        if (row && row->length == count) return row->items;
        Report(arrayMessage);
        return nullptr;
    }
    Report(countMessage);
    return nullptr;
}

// A setter of one render state from one integer argument (or flag, read as 0 or 1).
template <int32_t Id, bool Flag>
void SetOne(RValue& result, int32_t argc, RValue* args, const char* message) {
    result = RValue_Real(-1);
    if (argc != 1) return Report(message);
    Set(Id, Flag ? (Arg_GetBool(args, 0) ? 1u : 0u) : static_cast<uint32_t>(Arg_GetInt32(args, 0)));
}

#define HV_GPU_SETTER(Function, Id, Flag, Message) \
    void Function(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) { \
        SetOne<Id, Flag>(result, argc, args, Message); \
    }

HV_GPU_SETTER(F_GpuSetBlendEnable, GPU_RS_BLENDENABLE, false,
              "gpu_set_blendenable() - wrong number of parameters (takes a single true\\false parameter)")
HV_GPU_SETTER(F_GpuSetZTestEnable, GPU_RS_ZTESTENABLE, false,
              "gpu_set_ztestenable() - wrong number of parameters (takes a single true\\false parameter)")
HV_GPU_SETTER(F_GpuSetZFunc, GPU_RS_ZFUNC, false, "gpu_set_zfunc() - should be passed a single parameter")
HV_GPU_SETTER(F_GpuSetZWriteEnable, GPU_RS_ZWRITEENABLE, true,
              "gpu_set_zwriteenable() - wrong number of parameters (takes a single true\\false parameter)")
HV_GPU_SETTER(F_GpuSetCullMode, GPU_RS_CULLMODE, false,
              "gpu_set_cullmode() - should be passed a single parameter")
HV_GPU_SETTER(F_GpuSetAlphaTestEnable, GPU_RS_ALPHATESTENABLE, true,
              "gpu_set_alphatestenable() - wrong number of parameters (takes a single true\\false parameter)")
HV_GPU_SETTER(F_GpuSetAlphaTestRef, GPU_RS_ALPHATESTREF, false,
              "gpu_set_alphatestref() - should be passed a single parameter")
HV_GPU_SETTER(F_GpuSetAlphaTestFunc, GPU_RS_ALPHATESTFUNC, false,
              "gpu_set_alphatestfunc() - should be passed a single parameter")

void F_GpuSetFog(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    const RValue* values = SetterValues(
        argc, args, 4,
        "gpu_set_fog() - wrong number of parameters (parameters are (enable, color, start, end))",
        "gpu_set_fog() - invalid array (must be 4 values)");
    if (!values) return;
    const int32_t enable = Arg_GetInt32(values, 0);
    Set(GPU_RS_FOGENABLE, static_cast<uint32_t>(enable));
    if (enable == 0) return;
    const uint32_t colour = static_cast<uint32_t>(Arg_GetInt32(values, 1));
    Set(GPU_RS_FOGCOLOR, 0xFF000000u | (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu));
    Set(GPU_RS_FOGSTART, FloatBits(Arg_GetFloat(values, 2)));
    Set(GPU_RS_FOGEND, FloatBits(Arg_GetFloat(values, 3)));
}

void SetBlendFactors(uint32_t source, uint32_t dest, uint32_t sourceAlpha, uint32_t destAlpha,
                     bool separate) {
    Set(GPU_RS_SRCBLEND, source);
    Set(GPU_RS_DESTBLEND, dest);
    Set(GPU_RS_SRCBLENDALPHA, sourceAlpha);
    Set(GPU_RS_DESTBLENDALPHA, destAlpha);
    Set(GPU_RS_SEPALPHAENABLE, separate ? 1 : 0);
}

void F_GpuSetBlendMode(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Report("gpu_set_blendmode() - should be passed a single parameter");
    int32_t mode = Arg_GetInt32(args, 0);
    if (mode < 1 || mode > 3) mode = 0;
    SetBlendFactors(kBlendModes[mode][0], kBlendModes[mode][1], kBlendModes[mode][0], kBlendModes[mode][1],
                    false);
}

void F_GpuSetBlendModeExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    const RValue* v = SetterValues(argc, args, 2, "gpu_set_blendmode_ext() - should be passed two parameters",
                                   "gpu_set_blendmode_ext() - invalid array (must be 2 values)");
    if (!v) return;
    const uint32_t source = static_cast<uint32_t>(Arg_GetInt32(v, 0));
    const uint32_t dest = static_cast<uint32_t>(Arg_GetInt32(v, 1));
    SetBlendFactors(source, dest, source, dest, false);
}

void F_GpuSetBlendModeExtSepAlpha(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    const RValue* v =
        SetterValues(argc, args, 4, "gpu_set_blendmode_ext_sepalpha() - should be passed four parameters",
                     "gpu_set_blendmode_ext_sepalpha() - invalid array (must be 4 values)");
    if (!v) return;
    SetBlendFactors(static_cast<uint32_t>(Arg_GetInt32(v, 0)), static_cast<uint32_t>(Arg_GetInt32(v, 1)),
                    static_cast<uint32_t>(Arg_GetInt32(v, 2)), static_cast<uint32_t>(Arg_GetInt32(v, 3)),
                    true);
}

void F_GpuSetColourWriteEnable(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    const RValue* v =
        SetterValues(argc, args, 4, "gpu_set_colourwriteenable() - should be passed four parameters",
                     "gpu_set_colourwriteenable() - invalid array (must be 4 values)");
    if (!v) return;
    uint32_t mask = 0;
    for (int32_t i = 0; i < 4; ++i)
        if (Arg_GetBool(v, i)) mask |= 1u << i;
    Set(GPU_RS_COLORWRITEENABLE, mask);
}

// Sampler kinds first and first + 1 of one stage (or all when stage is -1): 0 when on, else 1.
void SetSamplerPair(int32_t stage, int32_t firstKind, bool on) {
    for (int32_t s = 0; s < GPU_STAGES; ++s) {
        if (stage >= 0 && s != stage) continue;
        GPUState_SetSamplerState(&g_GPUState, s, firstKind, on ? 0 : 1);
        GPUState_SetSamplerState(&g_GPUState, s, firstKind + 1, on ? 0 : 1);
    }
}

void F_GpuSetTexFilter(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Report("gpu_set_texfilter() - should be passed a single parameter");
    SetSamplerPair(-1, GPU_SAMP_MAGFILTER, Arg_GetBool(args, 0));
}

void F_GpuSetTexFilterExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 2)
        return Report("gpu_set_texfilter_ext() - incorrect number of parameters, should be (stage,linear)");
    const int32_t stage = Arg_GetInt32(args, 0);
    if (stage >= 0 && stage < GPU_STAGES) SetSamplerPair(stage, GPU_SAMP_MAGFILTER, Arg_GetBool(args, 1));
}

void F_GpuSetTexRepeat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Report("gpu_set_texrepeat() - should be passed a single parameter");
    SetSamplerPair(-1, GPU_SAMP_ADDRESSU, Arg_GetBool(args, 0));
}

void F_GpuSetTexRepeatExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 2)
        return Report("gpu_set_texrepeat_ext() - incorrect number of parameters, should be (stage,repeat)");
    const int32_t stage = Arg_GetInt32(args, 0);
    if (stage >= 0 && stage < GPU_STAGES) SetSamplerPair(stage, GPU_SAMP_ADDRESSU, Arg_GetBool(args, 1));
}

// --- Getters --------------------------------------------------------------------------------

// False (after the report) when a getter without arguments was given some.
bool NoArguments(int32_t argc, const char* name) {
    if (argc == 0) return true;
    char text[128];
    std::snprintf(text, sizeof text, "%s() - shouldn't take any arguments", name);
    Report(text);
    return false;
}

template <int32_t Id, bool Flag>
void GetOne(RValue& result, int32_t argc, const char* name) {
    result = RValue_Real(0);
    if (!NoArguments(argc, name)) return;
    const uint32_t value = Get(Id);
    result = RValue_Real(Flag ? (value != 0 ? 1 : 0) : static_cast<double>(value));
}

#define HV_GPU_GETTER(Function, Id, Flag, Name) \
    void Function(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) { \
        GetOne<Id, Flag>(result, argc, Name); \
    }

HV_GPU_GETTER(F_GpuGetBlendEnable, GPU_RS_BLENDENABLE, true, "gpu_get_blendenable")
HV_GPU_GETTER(F_GpuGetZTestEnable, GPU_RS_ZTESTENABLE, true, "gpu_get_ztestenable")
HV_GPU_GETTER(F_GpuGetZWriteEnable, GPU_RS_ZWRITEENABLE, true, "gpu_get_zwriteenable")
HV_GPU_GETTER(F_GpuGetAlphaTestEnable, GPU_RS_ALPHATESTENABLE, true, "gpu_get_alphatestenable")
HV_GPU_GETTER(F_GpuGetZFunc, GPU_RS_ZFUNC, false, "gpu_get_zfunc")
HV_GPU_GETTER(F_GpuGetCullMode, GPU_RS_CULLMODE, false, "gpu_get_cullmode")
HV_GPU_GETTER(F_GpuGetAlphaTestRef, GPU_RS_ALPHATESTREF, false, "gpu_get_alphatestref")
HV_GPU_GETTER(F_GpuGetAlphaTestFunc, GPU_RS_ALPHATESTFUNC, false, "gpu_get_alphatestfunc")

template <int32_t Id>
void GetBlendFactor(RValue& result, int32_t argc, const char* name) {
    result = RValue_Real(-1);
    if (NoArguments(argc, name)) result = RValue_Real(static_cast<double>(Get(Id)));
}

void F_GpuGetBlendModeSrc(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    GetBlendFactor<GPU_RS_SRCBLEND>(result, argc, "gpu_get_blendmode_src");
}
void F_GpuGetBlendModeDest(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    GetBlendFactor<GPU_RS_DESTBLEND>(result, argc, "gpu_get_blendmode_dest");
}
void F_GpuGetBlendModeSrcAlpha(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    GetBlendFactor<GPU_RS_SRCBLENDALPHA>(result, argc, "gpu_get_blendmode_srcalpha");
}
void F_GpuGetBlendModeDestAlpha(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    GetBlendFactor<GPU_RS_DESTBLENDALPHA>(result, argc, "gpu_get_blendmode_destalpha");
}

void F_GpuGetBlendMode(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (!NoArguments(argc, "gpu_get_blendmode")) return;
    const uint32_t source = Get(GPU_RS_SRCBLEND), dest = Get(GPU_RS_DESTBLEND);
    if (Get(GPU_RS_SRCBLENDALPHA) != source || Get(GPU_RS_DESTBLENDALPHA) != dest) return;
    for (int32_t mode = 0; mode < 4; ++mode)
        if (kBlendModes[mode][0] == source && kBlendModes[mode][1] == dest) result = RValue_Real(mode);
}

void ReturnStates(RValue& result, std::initializer_list<int32_t> ids) {
    double values[4];
    int32_t n = 0;
    for (int32_t id : ids) values[n++] = static_cast<double>(Get(id));
    ReturnRealArray(result, n, values);
}

void F_GpuGetBlendModeExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (NoArguments(argc, "gpu_get_blendmode_ext")) ReturnStates(result, {GPU_RS_SRCBLEND, GPU_RS_DESTBLEND});
}

void F_GpuGetBlendModeExtSepAlpha(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (NoArguments(argc, "gpu_get_blendmode_ext_sepalpha"))
        ReturnStates(result,
                     {GPU_RS_SRCBLEND, GPU_RS_DESTBLEND, GPU_RS_SRCBLENDALPHA, GPU_RS_DESTBLENDALPHA});
}

void F_GpuGetColourWriteEnable(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(0);
    if (!NoArguments(argc, "gpu_get_colorwriteenable_r")) return;
    const uint32_t mask = Get(GPU_RS_COLORWRITEENABLE);
    double values[4];
    for (int32_t i = 0; i < 4; ++i) values[i] = (mask >> i & 1u) ? 1 : 0;
    ReturnRealArray(result, 4, values);
}

void F_GpuGetFog(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    const double values[4] = {Get(GPU_RS_FOGENABLE) != 0 ? 1.0 : 0.0,
                              static_cast<double>(Get(GPU_RS_FOGCOLOR)), BitsFloat(Get(GPU_RS_FOGSTART)),
                              BitsFloat(Get(GPU_RS_FOGEND))};
    ReturnRealArray(result, 4, values);
}

// 1 when the sampler kind of the stage is 0 (linear filter, wrapping addresses).
double SamplerIsZero(int32_t stage, int32_t kind) {
    if (stage < 0 || stage >= GPU_STAGES) return 0;
    return GPUState_GetSamplerState(&g_GPUState, stage, kind) == 0 ? 1 : 0;
}

void F_GpuGetTexFilter(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(0);
    if (NoArguments(argc, "gpu_get_texfilter")) result = RValue_Real(SamplerIsZero(0, GPU_SAMP_MAGFILTER));
}

void F_GpuGetTexFilterExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(0);
    if (argc != 1)
        return Report("gpu_get_texfilter_ext() - wrong number of arguments - should take stage index");
    result = RValue_Real(SamplerIsZero(Arg_GetInt32(args, 0), GPU_SAMP_MAGFILTER));
}

void F_GpuGetTexRepeat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(0);
    if (NoArguments(argc, "gpu_get_texrepeat")) result = RValue_Real(SamplerIsZero(0, GPU_SAMP_ADDRESSU));
}

void F_GpuGetTexRepeatExt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(0);
    if (argc != 1)
        return Report("gpu_get_texrepeat_ext() - wrong number of arguments - should take stage index");
    result = RValue_Real(SamplerIsZero(Arg_GetInt32(args, 0), GPU_SAMP_ADDRESSU));
}

// --- The whole state --------------------------------------------------------------------------

void F_GpuPushState(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    GPUState_Push(&g_GPUState);
}

void F_GpuPopState(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    GPUState_Pop(&g_GPUState);
}

void F_GpuGetState(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(-1);
    const int32_t index = DsMap_CreateFromPairs(0);
    CDS_Map* map = DS_GetMap(index);
    if (!map) return;
    for (const StateKey& key : kStateKeys) {
        const uint32_t value = Get(key.id);
        map->AddByName(key.name, key.isFloat ? static_cast<double>(BitsFloat(value)) : value, nullptr);
    }
    for (int32_t kind = 0; kind < 4; ++kind) {
        for (int32_t stage = 0; stage < GPU_STAGES; ++stage) {
            char name[256];
            std::snprintf(name, sizeof name, "%s%d", kSamplerPrefixes[kind], stage);
            map->AddByName(name, GPUState_GetSamplerState(&g_GPUState, stage, kind), nullptr);
        }
    }
    result = RValue_Real(index);
}

// A map value as a state's 32 bits: the exported colours are unsigned numbers above the
// signed range, so they wrap through 64 bits rather than saturate.
uint32_t StateBits(const RValue* value) {
    return static_cast<uint32_t>(static_cast<int64_t>(Arg_GetReal(value, 0)));
}

void SetStateFromPair(const char* key, const RValue* value) {
    for (const StateKey& state : kStateKeys) {
        if (std::strcmp(key, state.name) != 0) continue;
        Set(state.id, state.isFloat ? FloatBits(Arg_GetFloat(value, 0)) : StateBits(value));
        return;
    }
    for (int32_t kind = 0; kind < 4; ++kind) {
        const size_t length = std::strlen(kSamplerPrefixes[kind]);
        if (std::strncmp(key, kSamplerPrefixes[kind], length) != 0) continue;
        const int32_t stage = std::atoi(key + length);
        if (stage >= 0 && stage < GPU_STAGES)
            GPUState_SetSamplerState(&g_GPUState, stage, kind, StateBits(value));
        return;
    }
}

void F_GpuSetState(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc != 1) return Report("gpu_set_state() - wrong number of arguments - should take ds_map");
    CDS_Map* map = DS_GetMap(Arg_GetInt32(args, 0));
    if (!map) return Report("gpu_set_state() - ds_map index is invalid");
    for (RValue* key = map->FindFirst(); key; key = map->FindNext(key)) {
        const char* text = RValue_IsString(key) ? RValue_GetStringText(key) : nullptr;
        const DSMapEntry* entry = map->Find(key);
        if (text && entry) SetStateFromPair(text, &entry->value);
    }
}

}  // namespace

void AddGPUStateRows() {
    static const BuiltinRow kRows[] = {
        {"gpu_set_blendenable", F_GpuSetBlendEnable, 1, 1},
        {"gpu_set_ztestenable", F_GpuSetZTestEnable, 1, 1},
        {"gpu_set_zfunc", F_GpuSetZFunc, 1, 1},
        {"gpu_set_cullmode", F_GpuSetCullMode, 1, 1},
        {"gpu_set_blendmode", F_GpuSetBlendMode, 1, 1},
        {"gpu_set_blendmode_ext", F_GpuSetBlendModeExt, 2, 1},
        {"gpu_set_blendmode_ext_sepalpha", F_GpuSetBlendModeExtSepAlpha, 4, 1},
        {"gpu_set_colorwriteenable", F_GpuSetColourWriteEnable, 4, 1},
        {"gpu_set_alphatestenable", F_GpuSetAlphaTestEnable, 1, 1},
        {"gpu_set_alphatestref", F_GpuSetAlphaTestRef, 1, 1},
        {"gpu_set_alphatestfunc", F_GpuSetAlphaTestFunc, 1, 1},
        {"gpu_set_texfilter", F_GpuSetTexFilter, 1, 1},
        {"gpu_set_texfilter_ext", F_GpuSetTexFilterExt, 2, 1},
        {"gpu_set_texrepeat", F_GpuSetTexRepeat, 1, 1},
        {"gpu_set_texrepeat_ext", F_GpuSetTexRepeatExt, 2, 1},
        {"gpu_set_zwriteenable", F_GpuSetZWriteEnable, 1, 1},
        {"gpu_set_fog", F_GpuSetFog, 4, 1},
        {"gpu_get_blendenable", F_GpuGetBlendEnable, 0, 1},
        {"gpu_get_ztestenable", F_GpuGetZTestEnable, 0, 1},
        {"gpu_get_zfunc", F_GpuGetZFunc, 0, 1},
        {"gpu_get_cullmode", F_GpuGetCullMode, 0, 1},
        {"gpu_get_blendmode", F_GpuGetBlendMode, 0, 1},
        {"gpu_get_blendmode_ext", F_GpuGetBlendModeExt, 0, 1},
        {"gpu_get_blendmode_ext_sepalpha", F_GpuGetBlendModeExtSepAlpha, 0, 1},
        {"gpu_get_blendmode_src", F_GpuGetBlendModeSrc, 0, 1},
        {"gpu_get_blendmode_dest", F_GpuGetBlendModeDest, 0, 1},
        {"gpu_get_blendmode_srcalpha", F_GpuGetBlendModeSrcAlpha, 0, 1},
        {"gpu_get_blendmode_destalpha", F_GpuGetBlendModeDestAlpha, 0, 1},
        {"gpu_get_colorwriteenable", F_GpuGetColourWriteEnable, 0, 1},
        {"gpu_get_alphatestenable", F_GpuGetAlphaTestEnable, 0, 1},
        {"gpu_get_alphatestref", F_GpuGetAlphaTestRef, 0, 1},
        {"gpu_get_alphatestfunc", F_GpuGetAlphaTestFunc, 0, 1},
        {"gpu_get_texfilter", F_GpuGetTexFilter, 0, 1},
        {"gpu_get_texfilter_ext", F_GpuGetTexFilterExt, 1, 1},
        {"gpu_get_texrepeat", F_GpuGetTexRepeat, 0, 1},
        {"gpu_get_texrepeat_ext", F_GpuGetTexRepeatExt, 1, 1},
        {"gpu_get_zwriteenable", F_GpuGetZWriteEnable, 0, 1},
        {"gpu_get_fog", F_GpuGetFog, 0, 1},
        {"gpu_push_state", F_GpuPushState, 0, 1},
        {"gpu_pop_state", F_GpuPopState, 0, 1},
        {"gpu_get_state", F_GpuGetState, 0, 1},
        {"gpu_set_state", F_GpuSetState, 1, 1},
    };
    Code_Function_AddRows(kRows);
}
