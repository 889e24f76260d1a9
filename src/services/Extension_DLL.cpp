#include "services/Extension_DLL.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "core/Console.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "io/LoadSave.h"
#include "platform/SharedObject.h"
#include "platform/Support_FileM.h"

namespace {

// The codes the load failure reports, as the game's own tools know them.
constexpr int32_t kModuleNotFound = 126;
constexpr int32_t kBadExeFormat = 193;
// Bytes an argument takes in a decorated name: a double, or a 32-bit text pointer.
constexpr int32_t kRealBytes = 8, kTextBytes = 4;

struct ExternalFunction {
    std::string path;  // as resolved from the name the game gave
    void* module = nullptr;
    std::string name;
    void* function = nullptr;
    bool calleeCleans = false;  // found only under the decorated name
    int32_t argc = 0;
    bool argIsText[DLL_MAX_ARGUMENTS] = {};
    bool resultIsText = false;
};

std::vector<std::unique_ptr<ExternalFunction>> g_functions;

// --- loading ------------------------------------------------------------------------------

// The save area's file, else the game folder's, else the name for the system's own search.
// An absolute path is taken as it is: it names the same file under every root.
std::string ResolvePath(const char* name) {
    if (name[0] == '/') return name;
    if (LoadSave_SaveFileExists(name)) {
        std::string path = LoadSave_GetSavePath(name);
        if (!path.empty()) return path;
    }
    if (LoadSave_BundleFileExists(name)) {
        std::string path = LoadSave_GetBundlePath(name);
        if (!path.empty()) return path;
    }
    return name;
}

bool EndsWithDll(const std::string& name) {
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0;
}

// One attempt; a Windows library is refused before the system sees it.
void* OpenOne(const std::string& path, int32_t* code) {
    std::string reason;
    void* module = nullptr;
    if (SharedObject_IsWindowsLibrary(path.c_str())) {
        reason = "a Windows library, which this platform cannot load";
        if (*code == 0) *code = kBadExeFormat;
    } else {
        module = SharedObject_Loader().Open(path.c_str(), &reason);
        if (module == nullptr && *code == 0) *code = kModuleNotFound;
    }
    if (module == nullptr) DebugConsole.Output("Cannot load %s: %s\n", path.c_str(), reason.c_str());
    return module;
}

// Loads the library; a ".dll" name that does not load is tried as the ".so" of the same stem.
// The current folder is put back afterwards, whatever the library's start-up did to it.
void* LoadLibrary(const char* name, const std::string& path) {
    const std::string folder = FileM_CurrentDirectory();
    int32_t code = 0;
    void* module = OpenOne(path, &code);
    const std::string given = name;
    if (module == nullptr && EndsWithDll(given)) {
        const std::string stem = given.substr(0, given.size() - 4) + ".so";
        module = OpenOne(ResolvePath(stem.c_str()), &code);
    }
    if (!folder.empty()) FileM_SetCurrentDirectory(folder.c_str());
    if (module == nullptr) ErrorConsole.Output("LoadLibraryA failed with error code %d\n", code);
    return module;
}

// The handle of the last definition made from the path; null when there is none or it was
// freed.
void* LoadedModule(const std::string& path) {
    void* module = nullptr;
    for (const auto& f : g_functions)
        if (f->path == path) module = f->module;
    return module;
}

bool CheckLimits(const char* name, int32_t argc, const int32_t* argTypes) {
    if (argc > DLL_MAX_ARGUMENTS) {
        DebugConsole.Output(
            "ERROR :: DLL_Define :: function %s has too many parameters (limit 16) - has %d\n", name, argc);
        return false;
    }
    bool ok = true;
    if (argc > DLL_MAX_MIXED_ARGUMENTS) {
        for (int32_t i = 0; i < argc; ++i) {
            if (argTypes[i] != 1) continue;
            DebugConsole.Output(
                "ERROR :: DLL_Define :: function %s has more than 4 parameters and they are not all "
                "numbers\n",
                name);
            ok = false;
        }
    }
    return ok;
}

// --- calling ------------------------------------------------------------------------------

using Text = const char*;

struct NativeArguments {
    double real[DLL_MAX_ARGUMENTS] = {};
    Text text[DLL_MAX_ARGUMENTS] = {};
};

// A number crosses by its value whatever its kind; anything else as 0.
double RealArgument(const RValue& value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return value.val;
        case VALUE_INT32:
            return value.v32;
        case VALUE_INT64:
            return static_cast<double>(value.v64);
        default:
            return 0.0;
    }
}

// A pointer value crosses as its pointer, a string as its UTF-8 text; anything else as null.
Text TextArgument(const RValue& value) {
    if (RValue_IsPtr(value)) return static_cast<Text>(value.ptr);
    if (RValue_IsString(value)) return RValue_GetStringText(&value);
    return nullptr;
}

// The native call shapes: up to four arguments, each a double or a text, or five to sixteen
// doubles, returning a double or a text. Each shape is an exact C function type, so the
// compiler places every argument and reads the result as the platform's convention says.
template <typename R, typename... A>
R CallShape(void* function, A... args) {
    return reinterpret_cast<R (*)(A...)>(function)(args...);
}

// Adds argument sizeof...(A) to the shape, as a text or a double, until all are placed.
template <typename R, typename... A>
R CallMixed(void* function, const ExternalFunction& f, const NativeArguments& in, A... placed) {
    constexpr int32_t next = sizeof...(A);
    if constexpr (next == DLL_MAX_MIXED_ARGUMENTS) {
        return CallShape<R>(function, placed...);
    } else {
        if (next == f.argc) return CallShape<R>(function, placed...);
        if (f.argIsText[next]) return CallMixed<R>(function, f, in, placed..., in.text[next]);
        return CallMixed<R>(function, f, in, placed..., in.real[next]);
    }
}

template <size_t>
using RealSlot = double;

template <typename R, size_t... I>
R CallRealsOf(void* function, const double* reals, std::index_sequence<I...>) {
    return CallShape<R, RealSlot<I>...>(function, reals[I]...);
}

template <typename R, size_t N>
R CallRealsN(void* function, const double* reals) {
    return CallRealsOf<R>(function, reals, std::make_index_sequence<N>{});
}

template <typename R>
R CallReals(void* function, int32_t argc, const double* reals) {
    using Shape = R (*)(void*, const double*);
    static constexpr Shape kShapes[] = {
        CallRealsN<R, 5>,  CallRealsN<R, 6>,  CallRealsN<R, 7>,  CallRealsN<R, 8>,
        CallRealsN<R, 9>,  CallRealsN<R, 10>, CallRealsN<R, 11>, CallRealsN<R, 12>,
        CallRealsN<R, 13>, CallRealsN<R, 14>, CallRealsN<R, 15>, CallRealsN<R, 16>,
    };
    static_assert(sizeof kShapes / sizeof kShapes[0] == DLL_MAX_ARGUMENTS - DLL_MAX_MIXED_ARGUMENTS);
    return kShapes[argc - DLL_MAX_MIXED_ARGUMENTS - 1](function, reals);
}

template <typename R>
R CallNative(const ExternalFunction& f, const NativeArguments& in) {
    if (f.argc <= DLL_MAX_MIXED_ARGUMENTS) return CallMixed<R>(f.function, f, in);
    return CallReals<R>(f.function, f.argc, in.real);
}

// The four callbacks go to an export whose name holds "RegisterCallbacks", once, at once.
void HandOverCallbacks(const ExternalFunction& f) {
    if (std::strstr(f.name.c_str(), "RegisterCallbacks") == nullptr) return;
    const DsExtensionCallbacks callbacks = DS_GetExtensionCallbacks();
    using Register = void (*)(void*, void*, void*, void*);
    reinterpret_cast<Register>(f.function)(
        reinterpret_cast<void*>(callbacks.postMapEvent), reinterpret_cast<void*>(callbacks.createFromPairs),
        reinterpret_cast<void*>(callbacks.addRealDirect), reinterpret_cast<void*>(callbacks.addStringDirect));
}

}  // namespace

int32_t DLL_Define(const char* dll, const char* name, int32_t convention, int32_t argc,
                   const int32_t* argTypes, bool resultIsText) {
    (void)convention;
    if (dll == nullptr || name == nullptr || argc < 0 || (argc > 0 && argTypes == nullptr)) return -1;
    if (!CheckLimits(name, argc, argTypes)) return -1;
    const std::string path = ResolvePath(dll);
    void* module = LoadedModule(path);
    if (module == nullptr) module = LoadLibrary(dll, path);
    if (module == nullptr) return -1;

    auto f = std::make_unique<ExternalFunction>();
    f->path = path;
    f->module = module;
    f->name = name;
    f->argc = argc;
    f->resultIsText = resultIsText;
    int32_t bytes = 0;
    for (int32_t i = 0; i < argc; ++i) {
        f->argIsText[i] = argTypes[i] == 1;
        bytes += f->argIsText[i] ? kTextBytes : kRealBytes;
    }
    f->function = SharedObject_Loader().Symbol(module, name);
    if (f->function == nullptr) {
        char decorated[512];
        std::snprintf(decorated, sizeof decorated, "_%s@%d", name, bytes);
        f->function = SharedObject_Loader().Symbol(module, decorated);
        f->calleeCleans = true;
    }
    // Not found under either name: no record is kept (the library stays loaded).
    if (f->function == nullptr) return -1;

    const int32_t id = static_cast<int32_t>(g_functions.size());
    g_functions.push_back(std::move(f));
    HandOverCallbacks(*g_functions.back());
    return id;
}

void DLL_Call(int32_t id, int32_t argc, const RValue* args, RValue* result) {
    RValue_Release(result);
    RValue_SetReal(result, 0.0);
    if (id < 0 || id >= static_cast<int32_t>(g_functions.size())) return;
    const ExternalFunction& f = *g_functions[static_cast<size_t>(id)];
    if (argc != f.argc || f.module == nullptr) return;
    if (g_Switches.externalCallsOff) return;

    NativeArguments in;
    for (int32_t i = 0; i < argc; ++i) {
        in.real[i] = RealArgument(args[i]);
        in.text[i] = TextArgument(args[i]);
    }
    if (!f.resultIsText) {
        RValue_SetReal(result, CallNative<double>(f, in));
        return;
    }
    // The library keeps its buffer: the result holds a copy (none for a null pointer).
    RValue_SetString(result, CallNative<Text>(f, in));
}

void DLL_Free(const char* dll) {
    if (dll == nullptr) return;
    bool closed = false;
    for (const auto& f : g_functions) {
        if (f->path != dll) continue;
        if (!closed && f->module != nullptr) {
            SharedObject_Loader().Close(f->module);
            closed = true;
        }
        f->module = nullptr;
    }
}

void DLL_FreeTable() {
    g_functions.clear();
}

bool DLL_GetRecord(int32_t id, DLL_Record* out) {
    if (id < 0 || id >= static_cast<int32_t>(g_functions.size())) return false;
    const ExternalFunction& f = *g_functions[static_cast<size_t>(id)];
    *out = DLL_Record{f.path.c_str(), f.name.c_str(), f.module != nullptr,
                      f.calleeCleans, f.argc,         f.resultIsText};
    return true;
}

int32_t DLL_Count() {
    return static_cast<int32_t>(g_functions.size());
}
