#include "platform/SharedObject.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

class SystemLoader final : public SharedObjectLoader {
public:
    void* Open(const char* path, std::string* error) override {
        // Symbols stay private to each library, so two extensions may export the same names.
        void* module = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr && error != nullptr) {
            const char* reason = ::dlerror();
            *error = reason != nullptr ? reason : "";
        }
        return module;
    }
    void* Symbol(void* module, const char* name) override {
        if (module == nullptr || name == nullptr) return nullptr;
        return ::dlsym(module, name);
    }
    void Close(void* module) override {
        if (module != nullptr) ::dlclose(module);
    }
};

SystemLoader g_system;
SharedObjectLoader* g_loader = &g_system;

}  // namespace

SharedObjectLoader& SharedObject_Loader() {
    return *g_loader;
}

void SharedObject_SetLoader(SharedObjectLoader* loader) {
    g_loader = loader != nullptr ? loader : &g_system;
}

bool SharedObject_IsWindowsLibrary(const char* path) {
    if (path == nullptr) return false;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char magic[2] = {};
    const bool windows = std::fread(magic, 1, 2, file) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    std::fclose(file);
    return windows;
}
