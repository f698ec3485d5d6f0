// SharedLibrary: a library opened at run time, for services the program needs only now and then
// (the HTTP stack of the update check), so that a start-up does not map them.
#pragma once

#include <memory>
#include <string>

namespace nk7x {

class SharedLibrary {
  public:
    // Opens the library by its file name (searched as the system searches); nullptr and the
    // system's reason in `error` when it cannot be opened.
    static std::unique_ptr<SharedLibrary> Open(const std::string& name, std::string& error);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of a symbol; nullptr when the library has none of that name.
    void* Symbol(const char* name) const;
    // Leaves the library loaded when this object goes, for one that may hold threads or callbacks
    // of its own once called.
    void KeepLoaded() { m_keep = true; }

  private:
    explicit SharedLibrary(void* handle) : m_handle(handle) {}
    void* m_handle;
    bool m_keep = false;
};

} // namespace nk7x
