#include "services/Extension_Main.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Error_Report.h"
#include "base/GameFile.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/Script_Main.h"
#include "core/Value.h"
#include "services/Extension_Class.h"
#include "services/Extension_DLL.h"

namespace {

// A package under this name belongs to the authoring tool and is never prepared or called.
constexpr const char* kToolPackage = "PellWorks";

enum CallKind : int32_t { CALL_EXTERNAL = 0, CALL_NOTHING = 2 };

struct CallRow {
    int32_t kind = CALL_EXTERNAL;
    int32_t external = -1;
};

std::vector<std::unique_ptr<CExtensionPackage>> g_packages;
std::vector<CallRow> g_calls;
int32_t g_highestId = 0;

std::string Text(ChunkView& chunk, uint32_t ref) {
    const char* text = chunk.String(ref);
    return text != nullptr ? text : "";
}

void ReadFunction(ChunkView& chunk, uint32_t at, CExtensionFunction& f) {
    f.name = Text(chunk, chunk.FileU32(at));
    const int32_t id = chunk.FileI32(at + 4);
    f.convention = chunk.FileI32(at + 8);
    f.resultType = chunk.FileI32(at + 12);
    f.externalName = Text(chunk, chunk.FileU32(at + 16));
    const uint32_t argCount = chunk.FileCount(at + 20, 4);
    f.argCount = static_cast<int32_t>(argCount);
    for (uint32_t a = 0; a < argCount && a < EXTENSION_MAX_ARGUMENTS; ++a)
        f.argTypes[a] = chunk.FileI32(at + 24 + 4 * a);
    // An id outside the call table's range could never be called: the function is kept out.
    if (id < 0 || id > EXTENSION_MAX_FUNCTION_ID) {
        if (chunk.Ok())
            DebugConsole.Output("Extension function %s has id %d, outside 0..%d, and is left out\n",
                                f.name.c_str(), id, EXTENSION_MAX_FUNCTION_ID);
        f.id = -1;
    } else {
        f.id = id;
    }
}

void ReadFile(ChunkView& chunk, uint32_t at, CExtensionFile& file) {
    file.name = Text(chunk, chunk.FileU32(at));
    file.finalFunction = Text(chunk, chunk.FileU32(at + 4));
    file.initFunction = Text(chunk, chunk.FileU32(at + 8));
    file.kind = chunk.FileI32(at + 12);
    const uint32_t count = chunk.FileCount(at + 16, 4);
    for (uint32_t k = 0; k < count && chunk.Ok(); ++k) {
        auto function = std::make_unique<CExtensionFunction>();
        ReadFunction(chunk, chunk.FileU32(at + 20 + 4 * k), *function);
        file.functions.push_back(std::move(function));
    }
}

void ReadPackage(ChunkView& chunk, uint32_t at, CExtensionPackage& package) {
    package.name = Text(chunk, chunk.FileU32(at));
    package.secondText = Text(chunk, chunk.FileU32(at + 4));
    package.thirdText = Text(chunk, chunk.FileU32(at + 8));
    const uint32_t count = chunk.FileCount(at + 12, 4);
    for (uint32_t j = 0; j < count && chunk.Ok(); ++j) {
        auto file = std::make_unique<CExtensionFile>();
        const uint32_t fileAt = chunk.FileU32(at + 16 + 4 * j);
        if (fileAt != 0) ReadFile(chunk, fileAt, *file);
        package.files.push_back(std::move(file));
    }
}

void ReleaseChunk() {
    Extension_Free();
}

// Visits the kept packages' functions in order; the visitor answers false to stop.
template <typename Visit>
void ForEachFunction(Visit visit) {
    for (const auto& package : g_packages) {
        if (!package) continue;
        for (const auto& file : package->files)
            for (const auto& function : file->functions)
                if (!visit(*package, *file, *function)) return;
    }
}

int32_t FindInPackage(const CExtensionPackage& package, const std::string& name) {
    for (const auto& file : package.files)
        for (const auto& function : file->functions)
            if (function->id >= 0 && function->name == name) return function->id;
    return -1;
}

// One initialisation or finalisation function: a script of the name, else a function of the
// package. False after the fatal report.
bool RunOne(const CExtensionPackage& package, const std::string& name, const char* missingFormat) {
    auto* scratch = new CInstance(0.0f, 0.0f, 0, -1, false);
    RValue result = RValue_Real(0.0);
    bool ok = true;
    const int32_t script = Script_Find(name.c_str());
    if (script >= 0) {
        if (!Script_Run(script, scratch, scratch, 0, &result, nullptr)) {
            Error_Show(Error_LastText(), true);
            ok = false;
        }
    } else {
        const int32_t id = FindInPackage(package, name);
        if (id >= 0) {
            Extension_Call(id, 0, nullptr, &result);
        } else {
            char message[1024];
            std::snprintf(message, sizeof message, missingFormat, name.c_str());
            Error_Show(message, true);
            ok = false;
        }
    }
    RValue_Free(&result);
    delete scratch;
    return ok;
}

bool RunFunctions(bool init) {
    const char* missing =
        init ? "Could not locate initialization function %s" : "Could not locate finalization function %s";
    for (const auto& package : g_packages) {
        if (!package) continue;
        for (const auto& file : package->files) {
            const std::string& name = init ? file->initFunction : file->finalFunction;
            if (name.empty()) continue;
            if (!RunOne(*package, name, missing)) return false;
        }
    }
    return true;
}

void DefineFunction(const CExtensionFile& file, const CExtensionFunction& f) {
    CallRow& row = g_calls[static_cast<size_t>(f.id)];
    if (file.kind == EXTENSION_FILE_INERT) {
        row = CallRow{CALL_NOTHING, -1};
        return;
    }
    if (file.kind != EXTENSION_FILE_LIBRARY) return;
    int32_t flags[EXTENSION_MAX_ARGUMENTS + 1] = {};
    for (int32_t n = 0; n < EXTENSION_MAX_ARGUMENTS; ++n) flags[n] = f.ArgType(n) == EXTENSION_TYPE_STRING;
    const int32_t convention = f.convention == EXTENSION_CONVENTION_CDECL ? 0 : 1;
    row = CallRow{CALL_EXTERNAL, DLL_Define(file.name.c_str(), f.externalName.c_str(), convention, f.argCount,
                                            flags, f.resultType == EXTENSION_TYPE_STRING)};
}

}  // namespace

void Extension_RegisterChunkReader() {
    Form_RegisterChunkReader("EXTN", ChunkReader{Extension_Load, nullptr, ReleaseChunk});
}

void Extension_Load(ChunkView& chunk) {
    Extension_Free();
    const uint32_t count = chunk.Count(0, 4);
    g_packages.resize(count);
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t at = chunk.U32(4 + 4 * i);
        if (at == 0) continue;
        g_packages[i] = std::make_unique<CExtensionPackage>();
        ReadPackage(chunk, at, *g_packages[i]);
    }
}

bool Extension_Prepare() {
    for (auto& package : g_packages)
        if (package && package->name == kToolPackage) package.reset();
    g_highestId = 0;
    ForEachFunction([](const CExtensionPackage&, const CExtensionFile&, const CExtensionFunction& f) {
        if (f.id > g_highestId) g_highestId = f.id;
        return true;
    });
    g_calls.assign(static_cast<size_t>(g_highestId) + 1, CallRow{});
    ForEachFunction([](const CExtensionPackage&, const CExtensionFile& file, const CExtensionFunction& f) {
        if (f.id >= 0) DefineFunction(file, f);
        return true;
    });
    return true;
}

bool Extension_RunInitFunctions() {
    return RunFunctions(true);
}

bool Extension_RunFinalFunctions() {
    return RunFunctions(false);
}

int32_t Extension_Find(const char* name) {
    if (name == nullptr) return -1;
    int32_t found = -1;
    ForEachFunction([&](const CExtensionPackage&, const CExtensionFile&, const CExtensionFunction& f) {
        if (f.id >= 0 && f.name == name) found = f.id;
        return found < 0;
    });
    return found;
}

bool Extension_Call(int32_t id, int32_t argc, RValue* args, RValue* result) {
    if (id < 0 || id > g_highestId || static_cast<size_t>(id) >= g_calls.size()) return false;
    const CallRow& row = g_calls[static_cast<size_t>(id)];
    switch (row.kind) {
        case CALL_EXTERNAL:
            DLL_Call(row.external, argc, args, result);
            return true;
        case CALL_NOTHING:
            return true;
        default:
            return false;
    }
}

void Extension_Free() {
    g_packages.clear();
    g_calls.clear();
    g_highestId = 0;
}

int32_t Extension_PackageCount() {
    return static_cast<int32_t>(g_packages.size());
}

const CExtensionPackage* Extension_GetPackage(int32_t index) {
    if (index < 0 || index >= Extension_PackageCount()) return nullptr;
    return g_packages[static_cast<size_t>(index)].get();
}

int32_t Extension_HighestId() {
    return g_highestId;
}
