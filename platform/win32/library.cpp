#include "platform/library.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace nx {

bool Library::load(const std::string& name) {
    unload();
    error_.clear();
    HMODULE module = LoadLibraryA(name.c_str());
    if (!module) {
        error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<void*>(module);
    return true;
}

void* Library::entry(const char* symbol) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), symbol));
}

void Library::unload() {
    if (!handle_) return;
    FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

}  // namespace nx
