// Tells the NK-7X configurator which application is in front, for its profiles that follow the
// application. It reports only while the configurator is on the session bus; a report it misses
// is made good when the configurator asks again (ReportsWanted).
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const BUS_NAME = 'com.NorlaKeys.NK7X';
const OBJECT_PATH = '/com/NorlaKeys/NK7X';
const INTERFACE = 'com.NorlaKeys.NK7X.Focus1';

// The app's desktop file name without ".desktop"; the window class for a window the shell matched
// to no desktop file (its app id is then "window:N").
function appIdOf(win) {
    const app = Shell.WindowTracker.get_default().get_window_app(win);
    const id = app?.get_id() ?? '';
    if (id !== '' && !id.startsWith('window:'))
        return id.endsWith('.desktop') ? id.slice(0, -'.desktop'.length) : id;
    return win.get_wm_class() ?? '';
}

export default class FocusReports extends Extension {
    enable() {
        this._watched = new Map(); // window -> {ids: its signal handlers, appId: the last known}
        this._programThere = false;
        this._display = [
            global.display.connect('notify::focus-window', () => this._reportFocus()),
            global.display.connect('window-created', (_display, win) => this._watch(win)),
        ];
        for (const win of this._appWindows())
            this._watch(win);
        this._wantedId = Gio.DBus.session.signal_subscribe(BUS_NAME, INTERFACE, 'ReportsWanted', OBJECT_PATH,
            null, Gio.DBusSignalFlags.NONE, () => this._reportAll());
        this._nameId = Gio.bus_watch_name(Gio.BusType.SESSION, BUS_NAME, Gio.BusNameWatcherFlags.NONE,
            () => {
                this._programThere = true;
                this._reportAll();
            },
            () => {
                this._programThere = false;
            });
    }

    disable() {
        Gio.bus_unwatch_name(this._nameId);
        Gio.DBus.session.signal_unsubscribe(this._wantedId);
        for (const id of this._display)
            global.display.disconnect(id);
        for (const [win, watched] of this._watched) {
            for (const id of watched.ids)
                win.disconnect(id);
        }
        this._watched = null;
        this._display = null;
    }

    _appWindows() {
        return global.display.get_tab_list(Meta.TabList.NORMAL_ALL, null);
    }

    _watch(win) {
        if (this._watched.has(win) || win.is_override_redirect())
            return;
        this._watched.set(win, {
            ids: [
                // First shown: the shell knows the window's app by then.
                win.connect('shown', () => this._reportOpen()),
                win.connect('unmanaged', () => this._closed(win)),
            ],
            appId: '',
        });
    }

    // The window's app id, remembered for when it is gone.
    _appIdOf(win) {
        const id = appIdOf(win);
        const watched = this._watched.get(win);
        if (watched && id !== '')
            watched.appId = id;
        return id;
    }

    _openApps(gone) {
        const ids = [];
        for (const win of this._appWindows()) {
            const id = win === gone ? '' : this._appIdOf(win);
            if (id !== '' && !ids.includes(id))
                ids.push(id);
        }
        return ids;
    }

    _closed(win) {
        const watched = this._watched.get(win);
        if (!watched)
            return;
        for (const id of watched.ids)
            win.disconnect(id);
        this._watched.delete(win);
        const id = watched.appId;
        if (id !== '' && !this._openApps(win).includes(id))
            this._call('WindowClosed', new GLib.Variant('(s)', [id]));
    }

    _reportOpen() {
        const ids = this._openApps(null).map(id => new GLib.Variant('s', id));
        this._call('OpenApps', new GLib.Variant('(av)', [ids]));
    }

    _reportFocus() {
        const win = global.display.focus_window;
        if (!win || win.skip_taskbar)
            return;
        const id = this._appIdOf(win);
        if (id === '')
            return;
        const pid = win.get_pid();
        this._call('WindowActivated', new GLib.Variant('(ssi)', [id, win.get_title() ?? '', pid > 0 ? pid : 0]));
    }

    _reportAll() {
        this._reportOpen();
        this._reportFocus();
    }

    _call(method, parameters) {
        if (!this._programThere)
            return;
        Gio.DBus.session.call(BUS_NAME, OBJECT_PATH, INTERFACE, method, parameters, null,
            Gio.DBusCallFlags.NO_AUTO_START, -1, null, (connection, result) => {
                try {
                    connection.call_finish(result);
                } catch {
                    // The program left or is busy: its next request for reports makes up for it.
                }
            });
    }
}
