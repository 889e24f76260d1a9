// Base64 of texts, and MD5 and SHA-1 digests of texts (their UTF-8 bytes or their UTF-16
// form) and of files, answered as lower-case hexadecimal.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/MemoryManager.h"
#include "core/UTF8.h"
#include "core/Value_Convert.h"
#include "io/Base64.h"
#include "io/LoadSave.h"
#include "io/MD5.h"
#include "io/SHA1.h"
#include "services/Pell_Functions_Internal.h"

namespace {

constexpr int64_t kFileChunk = 2048;

// The two digests behind one face: feed bytes, then write the hexadecimal text.
struct Md5Digest {
    MD5Context context;
    Md5Digest() { MD5_Init(&context); }
    void Feed(const void* bytes, uint64_t length) { MD5_Update(&context, bytes, length); }
    std::string Hex() {
        MD5_Final(&context);
        char text[33];
        for (int32_t i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", context.digest[i]);
        return text;
    }
};

struct Sha1Digest {
    SHA1Context context;
    Sha1Digest() { SHA1_Reset(&context); }
    void Feed(const void* bytes, uint64_t length) { SHA1_Input(&context, bytes, length); }
    // A corrupted context still writes its words as they stand.
    std::string Hex() {
        SHA1_Result(&context);
        char text[41];
        for (int32_t i = 0; i < 5; ++i) std::snprintf(text + 8 * i, 9, "%08x", context.hash[i]);
        return text;
    }
};

// Each character's code point as one little-endian 16-bit unit.
std::vector<uint8_t> Utf16Bytes(const char* text) {
    std::vector<uint8_t> bytes;
    const char* cursor = text;
    const char* end = text + std::strlen(text);
    while (cursor < end) {
        const uint16_t unit = UTF8_GetChar(cursor);
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

template <typename Digest>
void DigestUtf8(RValue& result, RValue* args) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    Digest digest;
    digest.Feed(text, std::strlen(text));
    RValue_SetString(&result, digest.Hex().c_str());
}

template <typename Digest>
void DigestUnicode(RValue& result, RValue* args) {
    const std::vector<uint8_t> bytes = Utf16Bytes(Arg_GetStringOrEmpty(args, 0));
    Digest digest;
    digest.Feed(bytes.data(), bytes.size());
    RValue_SetString(&result, digest.Hex().c_str());
}

// A save-area file is read in chunks; a bundled one whole.
template <typename Digest>
bool DigestSaveFile(Digest& digest, const char* name) {
    char path[2048];
    if (!LoadSave_GetSavePath(path, sizeof path, name)) return false;
    FILE* file = LoadSave_wfopen(path, "rb");
    if (file == nullptr) return false;
    std::fseek(file, 0, SEEK_END);
    int64_t remaining = static_cast<uint32_t>(std::ftell(file));
    std::fseek(file, 0, SEEK_SET);
    uint8_t chunk[kFileChunk];
    while (remaining > 0) {
        const size_t read = std::fread(chunk, 1, static_cast<size_t>(std::min(remaining, kFileChunk)), file);
        if (read == 0) break;
        digest.Feed(chunk, read);
        remaining -= static_cast<int64_t>(read);
    }
    std::fclose(file);
    return true;
}

template <typename Digest>
bool DigestBundleFile(Digest& digest, const char* name) {
    int64_t size = 0;
    void* contents = LoadSave_ReadBundleFile(name, &size);
    if (contents == nullptr) return false;
    digest.Feed(contents, static_cast<uint64_t>(size));
    MEM_FREE(contents);
    return true;
}

template <typename Digest>
void DigestFile(RValue& result, RValue* args) {
    const char* name = Arg_GetStringOrEmpty(args, 0);
    Digest digest;
    const bool done = LoadSave_SaveFileExists(name)     ? DigestSaveFile(digest, name)
                      : LoadSave_BundleFileExists(name) ? DigestBundleFile(digest, name)
                                                        : false;
    RValue_SetString(&result, done ? digest.Hex().c_str() : nullptr);
}

PELL_BUILTIN(Base64Encode) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const int64_t length = static_cast<int64_t>(std::strlen(text));
    std::vector<char> out(static_cast<size_t>(4 * length / 3 + 4), '\0');
    Base64_Encode(reinterpret_cast<const uint8_t*>(text), length, out.data());
    RValue_SetString(&result, out.data());
}

// The answer ends at the first zero byte of the decoded data.
PELL_BUILTIN(Base64Decode) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const int64_t capacity = static_cast<int64_t>(3 * std::strlen(text) / 4 + 4);
    std::vector<uint8_t> out(static_cast<size_t>(capacity), 0);
    Base64_Decode(text, capacity, out.data(), true);
    RValue_SetString(&result, reinterpret_cast<const char*>(out.data()));
}

PELL_BUILTIN(Md5StringUnicode) {
    DigestUnicode<Md5Digest>(result, args);
}
PELL_BUILTIN(Md5StringUtf8) {
    DigestUtf8<Md5Digest>(result, args);
}
PELL_BUILTIN(Md5File) {
    DigestFile<Md5Digest>(result, args);
}
PELL_BUILTIN(Sha1StringUnicode) {
    DigestUnicode<Sha1Digest>(result, args);
}
PELL_BUILTIN(Sha1StringUtf8) {
    DigestUtf8<Sha1Digest>(result, args);
}
PELL_BUILTIN(Sha1File) {
    DigestFile<Sha1Digest>(result, args);
}

const BuiltinRow kTextAndHashRows[] = {
    {"base64_encode", F_Base64Encode, 1},
    {"base64_decode", F_Base64Decode, 1},
    {"md5_string_unicode", F_Md5StringUnicode, 1},
    {"md5_string_utf8", F_Md5StringUtf8, 1},
    {"md5_file", F_Md5File, 1},
    {"sha1_string_unicode", F_Sha1StringUnicode, 1},
    {"sha1_string_utf8", F_Sha1StringUtf8, 1},
    {"sha1_file", F_Sha1File, 1},
};

}  // namespace

void PellRows_TextAndHashes() {
    Code_Function_AddRows(kTextAndHashRows);
}
