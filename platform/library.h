// Run-time loading of a library by name: LoadLibrary / GetProcAddress / FreeLibrary
// on Windows, dlopen / dlsym / dlclose elsewhere. The library stays loaded while its
// Library object holds it and is unloaded when the object goes.
#pragma once

#include <string>

namespace nx {

class Library {
public:
    Library() = default;
    ~Library() { unload(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads the library `name` as the system loader finds it; unloads one held
    // before. False when it cannot be loaded; error() then says why.
    bool load(const std::string& name);
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
