#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace nk7x {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& name, std::string& error) {
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        error = reason ? reason : "cannot be opened";
        return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle));
}

SharedLibrary::~SharedLibrary() {
    if (!m_keep)
        ::dlclose(m_handle);
}

void* SharedLibrary::Symbol(const char* name) const {
    return ::dlsym(m_handle, name);
}

} // namespace nk7x
