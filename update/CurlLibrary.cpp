#include "update/CurlLibrary.h"

#include <memory>
#include <mutex>

#include "platform/DebugLog.h"
#include "platform/SharedLibrary.h"

namespace nk7x {

namespace {

// The file name of the library's ABI this program was built against.
constexpr const char* kCurlLibrary = "libcurl.so.4";

struct Loaded {
    std::unique_ptr<SharedLibrary> library;
    CurlApi api{};
    bool ready = false;
    std::string error;
};

template <class Fn> bool Resolve(const SharedLibrary& lib, const char* name, Fn& slot, std::string& error) {
    slot = reinterpret_cast<Fn>(lib.Symbol(name));
    if (!slot)
        error = std::string(kCurlLibrary) + " has no " + name;
    return slot != nullptr;
}

void Load(Loaded& l) {
    l.library = SharedLibrary::Open(kCurlLibrary, l.error);
    if (!l.library) {
        l.error = std::string(kCurlLibrary) + " could not be opened: " + l.error;
        return;
    }
    const SharedLibrary& lib = *l.library;
    CurlApi& a = l.api;
    std::string& e = l.error;
    const bool all = Resolve(lib, "curl_global_init", a.global_init, e) &&
                     Resolve(lib, "curl_easy_init", a.easy_init, e) &&
                     Resolve(lib, "curl_easy_cleanup", a.easy_cleanup, e) &&
                     Resolve(lib, "curl_easy_setopt", a.easy_setopt, e) &&
                     Resolve(lib, "curl_easy_getinfo", a.easy_getinfo, e) &&
                     Resolve(lib, "curl_easy_strerror", a.easy_strerror, e) &&
                     Resolve(lib, "curl_multi_init", a.multi_init, e) &&
                     Resolve(lib, "curl_multi_cleanup", a.multi_cleanup, e) &&
                     Resolve(lib, "curl_multi_add_handle", a.multi_add_handle, e) &&
                     Resolve(lib, "curl_multi_remove_handle", a.multi_remove_handle, e) &&
                     Resolve(lib, "curl_multi_perform", a.multi_perform, e) &&
                     Resolve(lib, "curl_multi_poll", a.multi_poll, e) &&
                     Resolve(lib, "curl_multi_wakeup", a.multi_wakeup, e) &&
                     Resolve(lib, "curl_multi_info_read", a.multi_info_read, e) &&
                     Resolve(lib, "curl_slist_append", a.slist_append, e) &&
                     Resolve(lib, "curl_slist_free_all", a.slist_free_all, e);
    if (!all)
        return;
    const CURLcode init = a.global_init(CURL_GLOBAL_DEFAULT);
    if (init != CURLE_OK) {
        e = std::string(kCurlLibrary) + " did not start: " + a.easy_strerror(init);
        return;
    }
    l.ready = true;
}

} // namespace

const CurlApi* Curl(std::string* error) {
    // Kept to the end of the process: transfers on worker threads may still hold its handles.
    static Loaded* loaded = new Loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        Load(*loaded);
        if (!loaded->ready)
            DebugLog("HTTP transfers unavailable: " + loaded->error);
    });
    if (!loaded->ready && error)
        *error = loaded->error;
    return loaded->ready ? &loaded->api : nullptr;
}

} // namespace nk7x
