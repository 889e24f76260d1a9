#include "io/Support_SecureMap.h"

#include <cstdio>
#include <cstring>

#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/Base64.h"
#include "io/Buffer_Manager.h"
#include "io/IBuffer.h"
#include "io/LoadSave.h"
#include "io/LoadSaveFOpen.h"
#include "io/SHA1.h"
#include "io/Support_Json.h"
#include "platform/MachineIdM.h"

namespace {

constexpr int32_t kSignatureLength = 80;
// The two bytes mixed into the code: one for an even position, one for an odd.
constexpr uint8_t kEvenKey = 0x5A;
constexpr uint8_t kOddKey = 0xA7;

std::string (*g_machineIdSource)() = nullptr;

void Digest(const char* text, size_t lengthWithTerminator, uint32_t out[5]) {
    SHA1Context context;
    SHA1_Reset(&context);
    SHA1_Input(&context, text, lengthWithTerminator);
    SHA1_Result(&context);
    std::memcpy(out, context.hash, sizeof context.hash);
}

// The map's JSON text followed by its zero byte, in Base64; "{ }" for an index with no map.
std::string EncodedMap(int32_t map) {
    char* json = JSON_EncodeMapText(map);
    const char* text = json != nullptr ? json : "{ }";
    const int64_t length = static_cast<int64_t>(std::strlen(text)) + 1;
    std::string encoded(static_cast<size_t>(Base64_EncodedCapacity(length)), '\0');
    Base64_Encode(reinterpret_cast<const uint8_t*>(text), length, encoded.data());
    encoded.resize(std::strlen(encoded.c_str()));
    MEM_FREE(json);
    return encoded;
}

// The signature and the Base64 text as one block; empty when no signature can be made.
std::string SecureText(int32_t map) {
    char* signature = SecureMap_MakeSignature();
    if (signature == nullptr) return std::string();
    std::string joined(signature, kSignatureLength);
    MEM_FREE(signature);
    return joined + EncodedMap(map);
}

// A new map from the Base64 text of the JSON; -1 when it does not decode to an object.
int32_t MapFromEncoded(const char* encoded, int64_t length) {
    const int64_t capacity = (length + 3) / 4 * 3 + 2;
    auto* json = static_cast<uint8_t*>(MEM_ALLOC(capacity));
    Base64_Decode(encoded, capacity, json, true);
    const int32_t map = JSON_DecodeToMap(reinterpret_cast<const char*>(json), -1);
    MEM_FREE(json);
    return map;
}

// Reads the signature and the text after it through the reader; -1 for data shorter than
// the signature, another computer's signature or a text that is not a map.
template <typename Read>
int32_t LoadFrom(int64_t size, Read read) {
    if (size < kSignatureLength || size > 0x7FFFFFFF) return -1;
    char signature[kSignatureLength + 1] = {};
    if (read(signature, kSignatureLength) != kSignatureLength || !SecureMap_CheckSignature(signature))
        return -1;
    const int64_t restLength = size - kSignatureLength;
    auto* rest = static_cast<char*>(MEM_ALLOC(restLength + 1));
    const int64_t got = read(rest, restLength);
    rest[got > 0 ? got : 0] = '\0';
    const int32_t map = MapFromEncoded(rest, got > 0 ? got : 0);
    MEM_FREE(rest);
    return map;
}

}  // namespace

char* MachineGuid_Get() {
    std::string id = g_machineIdSource != nullptr ? g_machineIdSource() : MachineIdM_Read();
    if (g_machineIdSource == nullptr && id.empty()) id = "NOT SUPPORTED";
    return String_Duplicate(id.c_str());
}

void MachineGuid_SetSource(std::string (*source)()) {
    g_machineIdSource = source;
}

char* SecureMap_MakeSignature() {
    char* id = MachineGuid_Get();
    const int32_t length = id != nullptr ? static_cast<int32_t>(std::strlen(id)) : 0;
    if (length == 0) {
        MEM_FREE(id);
        return nullptr;
    }
    // The position comes from a signed byte of the identifier, brought into 0 .. length - 1.
    const int32_t lead = static_cast<signed char>(id[2 % length]);
    const int32_t position = (lead % length + length) % length;
    const uint8_t key = position % 2 == 0 ? kEvenKey : kOddKey;
    char code[4];
    std::snprintf(code, sizeof code, "%03d", static_cast<uint8_t>(id[position]) ^ key);

    std::string mixed(id, static_cast<size_t>(position));
    mixed += code;
    mixed += id + position;
    MEM_FREE(id);

    uint32_t first[5];
    uint32_t second[5];
    Digest(mixed.c_str(), mixed.size() + 1, first);
    Digest(code, std::strlen(code) + 1, second);
    auto* signature = static_cast<char*>(MEM_ALLOC(kSignatureLength + 1));
    for (int i = 0; i < 5; ++i) {
        std::snprintf(signature + 16 * i, 9, "%08x", first[i]);
        std::snprintf(signature + 16 * i + 8, 9, "%08x", second[i]);
    }
    return signature;
}

bool SecureMap_CheckSignature(const char* text) {
    char* signature = SecureMap_MakeSignature();
    if (signature == nullptr || text == nullptr) {
        MEM_FREE(signature);
        return false;
    }
    bool same = true;
    for (int i = 0; i < kSignatureLength; i += 8)
        same = same && std::strncmp(text + i, signature + i, 8) == 0;
    MEM_FREE(signature);
    return same;
}

void SecureMap_Save(int32_t map, const char* name) {
    const std::string text = SecureText(map);
    if (!text.empty()) LoadSave_WriteFile(name, text.data(), static_cast<int64_t>(text.size()));
}

int32_t SecureMap_SaveBuffer(int32_t map, int32_t buffer) {
    const std::string text = SecureText(map);
    RValue value = RValue_Undefined();
    RValue_CreateString(&value, text.c_str());
    const int32_t written = Buffer_WriteByIndex(buffer, eBuffer_Text, &value);
    RValue_Free(&value);
    return written;
}

int32_t SecureMap_Load(const char* name) {
    char path[1024];
    if (!LoadSave_GetSavePath(path, sizeof path, name)) return -1;
    LoadSaveFile* file = LoadSave_fopen(path, "rb");
    if (file == nullptr) return -1;
    const int64_t size = LoadSave_fseek(file, 0, 2);
    LoadSave_fseek(file, 0, 0);
    const int32_t map = LoadFrom(size, [file](char* out, int64_t n) -> int64_t {
        return LoadSave_fread(out, 1, static_cast<int32_t>(n), file);
    });
    LoadSave_fclose(file);
    return map;
}

int32_t SecureMap_LoadBuffer(int32_t index) {
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) return -1;
    return LoadFrom(buffer->GetSize(), [buffer](char* out, int64_t n) -> int64_t {
        return buffer->ReadBytes(out, 1, static_cast<int32_t>(n));
    });
}

namespace {

void F_SecureSave(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(0);
    const int32_t map = Arg_GetInt32(args, 0);
    SecureMap_Save(map, Arg_GetString(args, 1));
}

void F_SecureSaveBuffer(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t map = Arg_GetInt32(args, 0);
    result = RValue_Real(SecureMap_SaveBuffer(map, Arg_GetInt32(args, 1)));
}

void F_SecureLoad(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(SecureMap_Load(Arg_GetString(args, 0)));
}

void F_SecureLoadBuffer(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(SecureMap_LoadBuffer(Arg_GetInt32(args, 0)));
}

void Install(const char* name, BuiltinProc function, int32_t argc) {
    for (int32_t i = 0; i < Code_Function_Count(); ++i) {
        const BuiltinFunction* row = Code_Function_Row(i);
        if (row != nullptr && std::strcmp(row->name, name) == 0) {
            Code_Function_Replace(name, function);
            return;
        }
    }
    Code_Function_Add(name, function, argc);
}

}  // namespace

void InitSecureMapFunctions() {
    Install("ds_map_secure_save", F_SecureSave, 2);
    Install("ds_map_secure_load", F_SecureLoad, 1);
    Install("ds_map_secure_save_buffer", F_SecureSaveBuffer, 2);
    Install("ds_map_secure_load_buffer", F_SecureLoadBuffer, 1);
}
