// Tells the NK-7X configurator which application is in front, for its profiles that follow the
// application. The configurator loads this script through KWin's scripting interface while it
// needs it and unloads it afterwards. Plasma 5 (5.23 and later) and Plasma 6.

var SERVICE = "com.NorlaKeys.NK7X";
var OBJECT_PATH = "/com/NorlaKeys/NK7X";
var INTERFACE = "com.NorlaKeys.NK7X.Focus1";

var plasma6 = typeof workspace.windowList === "function";

function allWindows() {
    return plasma6 ? workspace.windowList() : workspace.clientList();
}

// Plasma 5 hands some names over as byte arrays; String() reads them as text.
function text(value) {
    return value === undefined || value === null ? "" : String(value);
}

// The desktop file's name when the window has one (a Wayland app id), else the window class.
function appIdOf(win) {
    var id = text(win.desktopFileName);
    if (id.slice(-8) === ".desktop")
        id = id.slice(0, -8);
    return id !== "" ? id : text(win.resourceClass);
}

// Application windows: not panels, the desktop, notifications or menus.
function tracked(win) {
    return !!win && (win.normalWindow || win.dialog) && appIdOf(win) !== "";
}

// A whole number, so that the bus sees an int.
function pidOf(win) {
    var pid = Number(win.pid);
    return pid > 0 ? pid | 0 : 0;
}

// The apps with a window, each once, leaving out `gone` (a window being removed).
function openApps(gone) {
    var ids = [];
    var windows = allWindows();
    for (var i = 0; i < windows.length; ++i) {
        var win = windows[i];
        if (win === gone || !tracked(win))
            continue;
        var id = appIdOf(win);
        if (ids.indexOf(id) < 0)
            ids.push(id);
    }
    return ids;
}

function reportOpen() {
    callDBus(SERVICE, OBJECT_PATH, INTERFACE, "OpenApps", openApps(null));
}

function windowActivated(win) {
    if (!tracked(win))
        return;
    callDBus(SERVICE, OBJECT_PATH, INTERFACE, "WindowActivated", appIdOf(win), text(win.caption), pidOf(win));
}

function windowAdded(win) {
    if (tracked(win))
        reportOpen();
}

function windowRemoved(win) {
    if (!tracked(win))
        return;
    var id = appIdOf(win);
    if (openApps(win).indexOf(id) < 0)
        callDBus(SERVICE, OBJECT_PATH, INTERFACE, "WindowClosed", id);
}

if (plasma6) {
    workspace.windowActivated.connect(windowActivated);
    workspace.windowAdded.connect(windowAdded);
    workspace.windowRemoved.connect(windowRemoved);
} else {
    workspace.clientActivated.connect(windowActivated);
    workspace.clientAdded.connect(windowAdded);
    workspace.clientRemoved.connect(windowRemoved);
}

reportOpen();
windowActivated(plasma6 ? workspace.activeWindow : workspace.activeClient);
