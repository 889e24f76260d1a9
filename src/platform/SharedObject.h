// Shared objects (".so") loaded at run time and their exported symbols: the extension layer's
// way to the libraries a game names. One real loader (dlopen and dlsym); tests install their own.
#pragma once

#include <string>

class SharedObjectLoader {
public:
    virtual ~SharedObjectLoader() = default;
    // The library at the path (a name without "/" goes through the system's library search),
    // or null with the reason in `error`.
    virtual void* Open(const char* path, std::string* error) = 0;
    // The address exported under exactly that name, or null.
    virtual void* Symbol(void* module, const char* name) = 0;
    // Gives back one Open of the module.
    virtual void Close(void* module) = 0;
};

// The loader in use: the system's unless one was installed.
SharedObjectLoader& SharedObject_Loader();
// Installs a loader (the caller keeps it alive); null puts the system's back.
void SharedObject_SetLoader(SharedObjectLoader* loader);

// True when the file starts like a Windows program or library ("MZ"): such a file never loads
// here, whatever its name.
bool SharedObject_IsWindowsLibrary(const char* path);
