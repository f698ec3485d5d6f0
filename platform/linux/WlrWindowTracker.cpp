#include "platform/linux/WlrWindowTracker.h"

#include "platform/DebugLog.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace nk7x {
namespace {

// Version 3 only adds the parent event, which is ignored; older compositors offer 1 or 2.
constexpr uint32_t kManagerVersion = 3;

bool HoldsActivated(const wl_array* states) {
    const auto* s = static_cast<const uint32_t*>(states->data);
    const size_t n = states->size / sizeof(uint32_t);
    return std::find(s, s + n, static_cast<uint32_t>(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)) !=
           s + n;
}

} // namespace

struct WlrWindowTracker::Impl {
    // One window as the compositor describes it. The title, app id and states come one event each
    // and count together only at `done`; until then they wait in the next* fields.
    struct Toplevel {
        Impl* owner = nullptr;
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        std::string appId;
        std::string title;
        bool activated = false;
        std::string nextAppId;
        std::string nextTitle;
        bool nextActivated = false;
    };

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    uint32_t managerName = 0;
    std::list<Toplevel> toplevels; // a list: the handles point at their entries
    int stopFd = -1;
    std::thread thread;
    // The tracker's thread as it knows itself: set before its first listener call, which may come
    // before Start has stored `thread`.
    std::atomic<std::thread::id> threadId{};
    Listener listener;
    std::atomic<bool> stopping{false};

    // Touched only by the thread that dispatches (Start's, then the tracker's), or after it ended.
    bool threadRunning = false;
    std::optional<ActiveApp> last; // the one reported last, or due at the thread's start
    bool reportDue = false;

    std::mutex appsLock;
    std::vector<ActiveApp> apps; // OpenApps' answer, renewed on the dispatching thread

    static ActiveApp AppOf(const Toplevel& t) {
        ActiveApp app;
        app.appId = t.appId;
        app.title = t.title;
        return app;
    }

    void Report(const ActiveApp& app) {
        if (stopping || (last && *last == app))
            return;
        last = app;
        // Start's own dispatching reports nothing: the first call comes from the tracker's thread.
        if (!threadRunning) {
            reportDue = true;
            return;
        }
        if (listener)
            listener(app);
    }

    void PublishApps() {
        std::vector<ActiveApp> now;
        for (const Toplevel& t : toplevels) {
            if (t.appId.empty())
                continue;
            if (std::none_of(now.begin(), now.end(), [&t](const ActiveApp& a) { return a.appId == t.appId; }))
                now.push_back(AppOf(t));
        }
        std::lock_guard lock(appsLock);
        apps = std::move(now);
    }

    // --- the handle's events

    static void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        static_cast<Toplevel*>(data)->nextTitle = title ? title : "";
    }
    static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        static_cast<Toplevel*>(data)->nextAppId = appId ? appId : "";
    }
    static void OnOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void OnOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void OnState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        static_cast<Toplevel*>(data)->nextActivated = HoldsActivated(states);
    }
    static void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
        auto* t = static_cast<Toplevel*>(data);
        const bool renamed = t->appId != t->nextAppId || t->title != t->nextTitle;
        t->appId = t->nextAppId;
        t->title = t->nextTitle;
        t->activated = t->nextActivated;
        if (renamed)
            t->owner->PublishApps();
        if (t->activated)
            t->owner->Report(AppOf(*t));
    }
    static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* t = static_cast<Toplevel*>(data);
        Impl* self = t->owner;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        self->toplevels.remove_if([t](const Toplevel& x) { return &x == t; });
        self->PublishApps();
    }
    static void OnParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
        .title = OnTitle,
        .app_id = OnAppId,
        .output_enter = OnOutputEnter,
        .output_leave = OnOutputLeave,
        .state = OnState,
        .done = OnDone,
        .closed = OnClosed,
        .parent = OnParent,
    };

    // --- the manager's events

    static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<Impl*>(data);
        Toplevel& t = self->toplevels.emplace_back();
        t.owner = self;
        t.handle = handle;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, &t);
    }
    static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        auto* self = static_cast<Impl*>(data);
        DebugLog("window tracking (wlroots): the compositor stopped announcing windows");
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self->manager = nullptr;
    }

    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {
        .toplevel = OnToplevel,
        .finished = OnFinished,
    };

    // --- the registry's events

    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version) {
        auto* self = static_cast<Impl*>(data);
        if (self->manager || std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0)
            return;
        self->managerName = name;
        self->manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, kManagerVersion)));
        zwlr_foreign_toplevel_manager_v1_add_listener(self->manager, &kManagerListener, self);
    }
    static void OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
        auto* self = static_cast<Impl*>(data);
        if (self->manager && name == self->managerName)
            DebugLog("window tracking (wlroots): the compositor withdrew its window list");
    }

    static constexpr wl_registry_listener kRegistryListener = {
        .global = OnGlobal,
        .global_remove = OnGlobalRemove,
    };

    void Lost() {
        const int error = wl_display_get_error(display);
        DebugLogf("window tracking (wlroots): the Wayland connection ended (%s)",
                  std::strerror(error ? error : errno));
    }

    void Run() {
        threadId = std::this_thread::get_id();
        if (reportDue && !stopping && listener) {
            reportDue = false;
            listener(*last);
        }
        const int fd = wl_display_get_fd(display);
        while (!stopping) {
            // Events that came in while sending are handled before sleeping.
            while (wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0)
                    return Lost();
            }
            short events = POLLIN;
            if (wl_display_flush(display) < 0) {
                if (errno != EAGAIN) {
                    wl_display_cancel_read(display);
                    return Lost();
                }
                events |= POLLOUT; // the socket is full: wake up to send the rest
            }
            pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                wl_display_cancel_read(display);
                if (errno == EINTR)
                    continue;
                DebugLogf("window tracking (wlroots): poll failed: %s", std::strerror(errno));
                return;
            }
            if (fds[1].revents) {
                wl_display_cancel_read(display);
                return;
            }
            if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
                if (wl_display_read_events(display) < 0)
                    return Lost();
            } else {
                wl_display_cancel_read(display);
            }
            if (wl_display_dispatch_pending(display) < 0)
                return Lost();
        }
    }

    // Frees the connection and all that hangs on it; the thread has ended.
    void Close() {
        for (Toplevel& t : toplevels)
            zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
        toplevels.clear();
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        manager = nullptr;
        managerName = 0;
        if (registry)
            wl_registry_destroy(registry);
        registry = nullptr;
        if (display)
            wl_display_disconnect(display);
        display = nullptr;
        if (stopFd >= 0)
            ::close(stopFd);
        stopFd = -1;
        listener = nullptr;
        threadRunning = false;
        threadId = std::thread::id{};
        last.reset();
        reportDue = false;
        std::lock_guard lock(appsLock);
        apps.clear();
    }
};

WlrWindowTracker::WlrWindowTracker() : m_impl(std::make_unique<Impl>()) {}

WlrWindowTracker::~WlrWindowTracker() {
    Stop();
}

bool WlrWindowTracker::Start(Listener listener, std::string* why) {
    auto fail = [this, why](const std::string& reason) {
        if (why)
            *why = reason;
        DebugLog("window tracking (wlroots): " + reason);
        m_impl->Close();
        return false;
    };
    Impl& d = *m_impl;
    if (d.threadId.load() == std::this_thread::get_id()) {
        // The connection in use stays as it is: the thread that dispatches on it is this one.
        if (why)
            *why = "cannot start again from its own listener";
        return false;
    }
    Stop();
    d.stopping = false;

    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* socket = std::getenv("WAYLAND_SOCKET");
    // Without either, libwayland would still try "wayland-0", which belongs to whatever session made it.
    if (!socket && (!name || !*name))
        return fail("no Wayland display (WAYLAND_DISPLAY is not set)");
    d.display = wl_display_connect(nullptr); // WAYLAND_SOCKET first, as libwayland does
    if (!d.display)
        return fail(std::string("no Wayland display (") + (socket ? "WAYLAND_SOCKET" : name) +
                    " cannot be connected)");
    d.registry = wl_display_get_registry(d.display);
    wl_registry_add_listener(d.registry, &Impl::kRegistryListener, &d);
    // The first round trip lists the globals (and binds the manager); the second brings the windows
    // the manager announces at once, so that OpenApps is complete when Start returns.
    if (wl_display_roundtrip(d.display) < 0)
        return fail("the Wayland display closed the connection");
    if (!d.manager)
        return fail("this Wayland compositor does not tell other programs which window is active (no "
                    "foreign-toplevel management)");
    if (wl_display_roundtrip(d.display) < 0)
        return fail("the Wayland display closed the connection");
    d.PublishApps();

    d.stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (d.stopFd < 0)
        return fail(std::string("eventfd: ") + std::strerror(errno));
    d.listener = std::move(listener);
    d.threadRunning = true;
    d.thread = std::thread([&d] { d.Run(); });
    return true;
}

void WlrWindowTracker::Stop() {
    Impl& d = *m_impl;
    d.stopping = true;
    // From the listener: the loop ends once the call returns; the next Stop elsewhere cleans up.
    if (d.threadId.load() == std::this_thread::get_id())
        return;
    if (d.thread.joinable()) {
        const uint64_t one = 1;
        (void)!::write(d.stopFd, &one, sizeof one);
        d.thread.join();
    }
    d.Close();
}

std::vector<ActiveApp> WlrWindowTracker::OpenApps() {
    std::lock_guard lock(m_impl->appsLock);
    return m_impl->apps;
}

} // namespace nk7x
