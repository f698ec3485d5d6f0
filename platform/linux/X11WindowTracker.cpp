#include "platform/linux/X11WindowTracker.h"

#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace nk7x {
namespace {

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : XCB_ATOM_NONE;
    std::free(r);
    return atom;
}

// A property's bytes (at most 64 KiB of them); empty when it is not there.
std::string Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 16384), nullptr);
    std::string out;
    if (r && r->type != XCB_ATOM_NONE) {
        const int n = xcb_get_property_value_length(r);
        out.assign(static_cast<const char*>(xcb_get_property_value(r)), static_cast<size_t>(std::max(n, 0)));
    }
    std::free(r);
    return out;
}

std::vector<uint32_t> Words(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    const std::string bytes = Property(c, w, property, type);
    std::vector<uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

} // namespace

struct X11WindowTracker::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t activeAtom = XCB_ATOM_NONE;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t wmName = XCB_ATOM_NONE;
    xcb_atom_t utf8 = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
    int stopFd = -1;
    std::thread thread;
    Listener listener;
    std::mutex lastLock;
    ActiveApp last;
    bool reported = false;

    ActiveApp AppOf(xcb_window_t w) const {
        ActiveApp app;
        // WM_CLASS: the instance, a NUL, the class, a NUL.
        const std::string cls = Property(conn, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        const size_t nul = cls.find('\0');
        app.instance = cls.substr(0, nul);
        if (nul != std::string::npos) {
            const std::string rest = cls.substr(nul + 1);
            app.appId = rest.substr(0, rest.find('\0'));
        }
        app.title = Property(conn, w, wmName, utf8);
        if (app.title.empty())
            app.title = Property(conn, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        const std::vector<uint32_t> pid = Words(conn, w, wmPid, XCB_ATOM_CARDINAL);
        app.pid = pid.empty() ? 0 : static_cast<int>(pid[0]);
        app.executable = ExecutableOfPid(app.pid);
        return app;
    }

    void ReportActive() {
        const std::vector<uint32_t> active = Words(conn, root, activeAtom, XCB_ATOM_WINDOW);
        const ActiveApp app = active.empty() || active[0] == XCB_WINDOW_NONE ? ActiveApp{} : AppOf(active[0]);
        {
            std::lock_guard lock(lastLock);
            if (reported && app == last)
                return;
            last = app;
            reported = true;
        }
        if (listener)
            listener(app);
    }

    void Run() {
        pollfd fds[2] = {{xcb_get_file_descriptor(conn), POLLIN, 0}, {stopFd, POLLIN, 0}};
        ReportActive();
        for (;;) {
            // Events read while answering requests wait in the queue: take them before sleeping.
            bool changed = false;
            while (xcb_generic_event_t* ev = xcb_poll_for_event(conn)) {
                if ((ev->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
                    const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(ev);
                    changed = changed || (p->window == root && p->atom == activeAtom);
                }
                std::free(ev);
            }
            if (changed)
                ReportActive();
            if (xcb_connection_has_error(conn))
                return; // the display went away; nothing more will come
            if (xcb_poll_for_queued_event(conn))
                continue;
            fds[0].revents = fds[1].revents = 0;
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents)
                return;
        }
    }
};

X11WindowTracker::X11WindowTracker() : m_impl(std::make_unique<Impl>()) {}

X11WindowTracker::~X11WindowTracker() {
    Stop();
}

bool X11WindowTracker::Start(Listener listener, std::string* why) {
    Stop();
    Impl& d = *m_impl;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        if (why)
            *why = "there is no X display (DISPLAY is not set)";
        return false;
    }
    int screen = 0;
    d.conn = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(d.conn)) {
        if (why)
            *why = std::string("the X display ") + display + " cannot be opened";
        xcb_disconnect(d.conn);
        d.conn = nullptr;
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(d.conn));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    d.root = it.data->root;
    d.activeAtom = Intern(d.conn, "_NET_ACTIVE_WINDOW");
    d.clientList = Intern(d.conn, "_NET_CLIENT_LIST");
    d.wmName = Intern(d.conn, "_NET_WM_NAME");
    d.utf8 = Intern(d.conn, "UTF8_STRING");
    d.wmPid = Intern(d.conn, "_NET_WM_PID");
    const std::vector<uint32_t> supported =
        Words(d.conn, d.root, Intern(d.conn, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (std::find(supported.begin(), supported.end(), d.activeAtom) == supported.end()) {
        if (why)
            *why = "the window manager does not say which window is active (no _NET_ACTIVE_WINDOW)";
        xcb_disconnect(d.conn);
        d.conn = nullptr;
        return false;
    }
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(d.conn, d.root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(d.conn);
    d.stopFd = eventfd(0, EFD_CLOEXEC);
    d.listener = std::move(listener);
    d.reported = false;
    d.thread = std::thread([&d] { d.Run(); });
    return true;
}

void X11WindowTracker::Stop() {
    Impl& d = *m_impl;
    if (d.thread.joinable()) {
        const uint64_t one = 1;
        (void)!write(d.stopFd, &one, sizeof one);
        d.thread.join();
    }
    if (d.stopFd >= 0)
        close(d.stopFd);
    d.stopFd = -1;
    if (d.conn)
        xcb_disconnect(d.conn);
    d.conn = nullptr;
    d.listener = nullptr;
}

std::vector<ActiveApp> X11WindowTracker::OpenApps() {
    Impl& d = *m_impl;
    std::vector<ActiveApp> apps;
    if (!d.conn)
        return apps;
    for (uint32_t w : Words(d.conn, d.root, d.clientList, XCB_ATOM_WINDOW)) {
        ActiveApp app = d.AppOf(w);
        if (app.appId.empty())
            continue;
        if (std::none_of(apps.begin(), apps.end(),
                         [&app](const ActiveApp& a) { return a.appId == app.appId; }))
            apps.push_back(std::move(app));
    }
    return apps;
}

} // namespace nk7x
