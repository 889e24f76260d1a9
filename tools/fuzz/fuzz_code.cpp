// libFuzzer target: random bytecode through the loader and the code buffers. The first byte
// picks the shape: the bytes as one code entry of a well-formed file, or as the whole "CODE"
// chunk. Whatever the loader accepts, and the raw bytes too, must prepare and list without
// reading outside the code.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/Console.h"
#include "core/RunSwitches.h"
#include "core/VMBuffer.h"
#include "formpack/FormWriter.h"
#include "base/CodeLink.h"
#include "base/GameFile.h"
#include "base/LoadGame.h"

namespace {

class NullConsole final : public tagIConsole {
public:
    void Output(const char*, ...) override {}
};

int32_t AnyVariable(const char*, int32_t, int32_t index) {
    return 100000 + (index & 0xFFFF);
}
int32_t AnyId(const char*) {
    return 7;
}
void Quiet(const char*) {}

void Setup() {
    g_Switches.headless = true;
    g_LoadState.launchedByGame = true;
    g_CodeLink.variableSetName = AnyVariable;
    g_CodeLink.variableGetId = AnyId;
    g_CodeLink.functionFind = AnyId;
    g_LoaderHooks.showFatalError = Quiet;
}

void PrepareAndList(uint8_t* code, uint32_t length) {
    VMBuffer buffer(code, static_cast<int32_t>(length), 0, 0);
    buffer.Prepare();
    NullConsole console;
    Code_List(nullptr, &buffer, &console);
    for (int32_t at = 0; at <= buffer.runLength; at += 4) (void)buffer.IsInstructionStart(at);
}

std::vector<uint8_t> FileWith(const uint8_t* data, size_t size, bool asEntry) {
    formpack::FormFile file;
    file.header.format = 15;
    file.strings = {"a", "b"};
    formpack::Code code;
    if (asEntry) {
        formpack::CodeEntry entry;
        entry.name = "fuzz";
        entry.words.resize(size / 4);
        if (!entry.words.empty()) std::memcpy(entry.words.data(), data, entry.words.size() * 4);
        code.entries.push_back(entry);
    }
    file.code = code;
    std::vector<uint8_t> bytes = formpack::Build(file);
    if (asEntry || bytes.empty()) return bytes;
    // Replace the (empty) "CODE" chunk's body with the bytes.
    for (size_t at = 8; at + 8 <= bytes.size();) {
        uint32_t length;
        std::memcpy(&length, &bytes[at + 4], 4);
        if (std::memcmp(&bytes[at], "CODE", 4) == 0) {
            std::vector<uint8_t> out(bytes.begin(), bytes.begin() + static_cast<long>(at + 8));
            out.insert(out.end(), data, data + size);
            out.insert(out.end(), bytes.begin() + static_cast<long>(at + 8 + length), bytes.end());
            const auto body = static_cast<uint32_t>(size);
            std::memcpy(&out[at + 4], &body, 4);
            const auto form = static_cast<uint32_t>(out.size() - 8);
            std::memcpy(&out[4], &form, 4);
            return out;
        }
        at += 8 + length;
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (Setup(), true);
    (void)ready;
    if (size < 1 || size > (1u << 16)) return 0;
    const bool asEntry = (data[0] & 1) != 0;
    ++data;
    --size;
    std::vector<uint8_t> raw(data, data + size);
    PrepareAndList(raw.data(), static_cast<uint32_t>(raw.size()));
    std::vector<uint8_t> file = FileWith(data, size, asEntry);
    if (file.empty()) return 0;
    if (Form_SetData(file.data(), static_cast<uint32_t>(file.size())) &&
        Form_FirstPass(Form_Base(), Form_Size()) && LoadGameData(Form_Base(), Form_Size())) {
        for (uint32_t i = 0; i < Code_EntryCount(); ++i) {
            CodeEntryView e;
            if (Code_GetEntry(i, &e)) PrepareAndList(e.code, e.length);
        }
    }
    return 0;
}
