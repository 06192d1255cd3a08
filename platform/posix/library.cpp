#include "platform/library.h"

#include <dlfcn.h>

namespace nx {

bool Library::load(const std::string& name) {
    unload();
    error_.clear();
    dlerror();
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : "cannot load " + name;
        return false;
    }
    return true;
}

void* Library::entry(const char* symbol) const {
    if (!handle_) return nullptr;
    dlerror();
    return dlsym(handle_, symbol);
}

void Library::unload() {
    if (!handle_) return;
    dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace nx
