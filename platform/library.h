// Run-time loading of a library by name: LoadLibrary / GetProcAddress / FreeLibrary
// on Windows, dlopen / dlsym / dlclose elsewhere. The library stays loaded while its
// Library object holds it and is unloaded when the object goes.
#pragma once

#include <string>
#include <string_view>

namespace nx {

// The Simple MAPI library as the program names it.
inline constexpr const char* kMapiLibraryName = "MAPI32.DLL";

// The name handed to the system loader for `name`. On Windows it is `name` itself.
// Elsewhere "MAPI32.DLL" (any case) stands for the project's own provider:
//   1. the environment variable NORVEXA_MAPI_LIBRARY, when set and not empty;
//   2. otherwise libnorvexa_mapi.so in the directory of the running executable,
//      when that file exists (a build tree);
//   3. otherwise libnorvexa_mapi.so in the program's private library directory,
//      found from the executable's directory as installed (/usr/bin/norvexa ->
//      /usr/lib/<multiarch>/norvexa), when that file exists;
//   4. otherwise "libnorvexa_mapi.so", found by the loader's normal search.
// Any other name is returned unchanged.
std::string libraryLoadName(std::string_view name);
// The same, for an executable at `exePath`.
std::string libraryLoadName(std::string_view name, const std::string& exePath);

class Library {
public:
    Library() = default;
    ~Library() { unload(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads the library named `name` (through libraryLoadName); unloads one held
    // before. False when it cannot be loaded; error() then says why.
    bool load(std::string_view name);
    bool isLoaded() const { return handle_ != nullptr; }

    // The address of the entry point `symbol`, or null when the library lacks it
    // (or none is loaded).
    void* entry(const char* symbol) const;

    // Unloads the library if one is held.
    void unload();

    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace nx
