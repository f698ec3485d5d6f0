// Runs the shipped KWin script or shell extension against a fake desktop through a fixed sequence
// of window events and prints, one JSON object a line, each bus call it makes ({"call": ...}) and
// where each step begins ({"step": ...}); FocusBusTest sends the calls to the program's adaptor.
// Usage: node desktop_side.mjs kwin5|kwin6|gnome SCRIPT OWN_PID
// OWN_PID: a live process's pid, given to one window so that its executable can be found.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import vm from 'node:vm';
import {pathToFileURL} from 'node:url';

const [mode, script, ownPidText] = process.argv.slice(2);
const ownPid = Number(ownPidText);
const out = line => process.stdout.write(JSON.stringify(line) + '\n');
const step = name => out({step: name});
const problems = [];
const check = (ok, what) => {
    if (!ok)
        problems.push(what);
};

// A signal source as both desktops have it: handlers by id.
class Signals {
    constructor() {
        this.handlers = new Map();
        this.next = 1;
    }
    connect(name, fn) {
        this.handlers.set(this.next, {name, fn});
        return this.next++;
    }
    disconnect(id) {
        check(this.handlers.delete(id), `disconnect of an unknown handler ${id}`);
    }
    emit(name, ...args) {
        for (const {name: n, fn} of [...this.handlers.values()])
            if (n === name)
                fn(...args);
    }
    count() {
        return this.handlers.size;
    }
}

// ---- KWin -------------------------------------------------------------------------------------

// Plasma 5 gives byte arrays for the class and desktop file name: objects that read as text.
const bytes = (plasma6, s) => (plasma6 ? s : {toString: () => s});

function runKWin(plasma6) {
    const win = (o) => ({
        caption: o.caption,
        pid: o.pid,
        resourceClass: bytes(plasma6, o.cls),
        desktopFileName: bytes(plasma6, o.desktop ?? ''),
        normalWindow: !o.special,
        dialog: false,
        specialWindow: !!o.special,
    });
    const konsole = win({caption: '~ : bash', pid: 101, cls: 'konsole', desktop: 'org.kde.konsole'});
    const firefox = win({caption: 'News — Mozilla Firefox', pid: 202, cls: 'firefox'});
    const panel = win({caption: 'Plasma', pid: 303, cls: 'plasmashell', desktop: 'org.kde.plasmashell', special: true});
    const gimp = win({caption: 'GNU Image Manipulation Program', pid: ownPid, cls: 'gimp', desktop: 'gimp.desktop'});
    const firefox2 = win({caption: 'Mail — Mozilla Firefox', pid: 202, cls: 'firefox'});
    let list = [konsole, panel, firefox];

    const activated = new Signals(), added = new Signals(), removed = new Signals();
    const signal = (s) => ({connect: fn => s.connect('x', fn), disconnect: () => {}});
    const workspace = plasma6 ? {
        windowList: () => list.slice(),
        activeWindow: konsole,
        windowActivated: signal(activated),
        windowAdded: signal(added),
        windowRemoved: signal(removed),
    } : {
        clientList: () => list.slice(),
        activeClient: konsole,
        clientActivated: signal(activated),
        clientAdded: signal(added),
        clientRemoved: signal(removed),
    };
    const callDBus = (service, objectPath, iface, method, ...args) =>
        out({call: {service, path: objectPath, interface: iface, method, args}});

    step('start');
    vm.runInNewContext(fs.readFileSync(script, 'utf8'), {workspace, callDBus, print: () => {}, console},
        {filename: script});
    step('firefox in front');
    activated.emit('x', firefox);
    step('firefox again');
    activated.emit('x', firefox);
    step('the panel and the desktop');
    activated.emit('x', panel);
    activated.emit('x', null);
    step('gimp opens');
    list.push(gimp);
    added.emit('x', gimp);
    activated.emit('x', gimp);
    step('konsole closes');
    removed.emit('x', konsole); // still listed while KWin tells of it
    list = list.filter(w => w !== konsole);
    step('a second firefox window comes and goes');
    list.push(firefox2);
    added.emit('x', firefox2);
    removed.emit('x', firefox2);
    list = list.filter(w => w !== firefox2);
    step('end');
}

// ---- GNOME Shell ------------------------------------------------------------------------------

class FakeWindow extends Signals {
    constructor(o) {
        super();
        Object.assign(this, o);
        this.skip_taskbar = !!o.skipTaskbar;
    }
    get_wm_class() {
        return this.wmClass;
    }
    get_title() {
        return this.title;
    }
    get_pid() {
        return this.pid;
    }
    is_override_redirect() {
        return !!this.overrideRedirect;
    }
}

class Variant {
    constructor(signature, value) {
        this.signature = signature;
        this.value = value;
    }
}
const plain = v => (v instanceof Variant ? plain(v.value) : Array.isArray(v) ? v.map(plain) : v);

async function runGnome() {
    const display = new Signals();
    let tabList = [];
    display.get_tab_list = () => tabList.filter(w => !w.skip_taskbar && !w.overrideRedirect);
    display.focus_window = null;
    const focus = win => {
        display.focus_window = win;
        display.emit('notify::focus-window');
    };
    const subscriptions = new Map();
    const watches = new Map();
    let nextId = 1;
    globalThis.__fakeShell = {
        global: {display},
        Gio: {
            BusType: {SESSION: 2},
            BusNameWatcherFlags: {NONE: 0},
            DBusSignalFlags: {NONE: 0},
            DBusCallFlags: {NONE: 0, NO_AUTO_START: 1},
            DBus: {
                session: {
                    call(service, objectPath, iface, method, parameters, replyType, flags, timeout, cancellable, done) {
                        check(parameters instanceof Variant && parameters.signature.startsWith('('),
                            `${method}: parameters are not a tuple`);
                        check(flags === 1, `${method}: the call may start the program`);
                        out({call: {service, path: objectPath, interface: iface, method,
                            signature: parameters.signature.slice(1, -1), args: plain(parameters.value)}});
                        done({call_finish: () => {
                            throw new Error('the program is not running');
                        }}, null);
                    },
                    signal_subscribe(sender, iface, member, objectPath, arg0, flags, fn) {
                        subscriptions.set(nextId, {sender, iface, member, path: objectPath, fn});
                        return nextId++;
                    },
                    signal_unsubscribe(id) {
                        check(subscriptions.delete(id), 'unsubscribed an unknown subscription');
                    },
                },
            },
            bus_watch_name(type, name, flags, appeared, vanished) {
                watches.set(nextId, {name, appeared, vanished});
                return nextId++;
            },
            bus_unwatch_name(id) {
                check(watches.delete(id), 'unwatched an unknown name watch');
            },
        },
        GLib: {Variant},
        Meta: {TabList: {NORMAL: 0, NORMAL_ALL: 3}},
        Shell: {
            WindowTracker: {
                get_default: () => ({
                    get_window_app: win => ({get_id: () => win.app}),
                }),
            },
        },
        Extension: class {
            constructor(metadata) {
                this.metadata = metadata;
            }
        },
    };
    // The extension as shipped, its imports pointed at the fakes.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'nk7x-extension-'));
    const fakes = {
        'gi://Gio': 'export default globalThis.__fakeShell.Gio;',
        'gi://GLib': 'export default globalThis.__fakeShell.GLib;',
        'gi://Meta': 'export default globalThis.__fakeShell.Meta;',
        'gi://Shell': 'export default globalThis.__fakeShell.Shell;',
        'resource:///org/gnome/shell/extensions/extension.js':
            'export const Extension = globalThis.__fakeShell.Extension;',
    };
    let source = fs.readFileSync(script, 'utf8');
    let n = 0;
    for (const [specifier, text] of Object.entries(fakes)) {
        const file = `fake${n++}.mjs`;
        fs.writeFileSync(path.join(dir, file), text);
        check(source.includes(`'${specifier}'`), `the extension does not import ${specifier}`);
        source = source.split(`'${specifier}'`).join(`'./${file}'`);
    }
    fs.writeFileSync(path.join(dir, 'extension.mjs'), source);
    globalThis.global = globalThis.__fakeShell.global;
    let FocusReports;
    try {
        FocusReports = (await import(pathToFileURL(path.join(dir, 'extension.mjs')).href)).default;
    } finally {
        fs.rmSync(dir, {recursive: true, force: true});
    }

    const console_ = new FakeWindow({app: 'org.gnome.Console.desktop', wmClass: 'kgx', title: '~', pid: 101});
    const firefox = new FakeWindow({app: 'firefox.desktop', wmClass: 'firefox', title: 'News', pid: 202});
    const xterm = new FakeWindow({app: 'window:7', wmClass: 'XTerm', title: 'xterm', pid: 303});
    const dock = new FakeWindow({app: 'org.gnome.Shell.desktop', wmClass: 'gnome-shell', title: 'dock', pid: 404,
        skipTaskbar: true});
    const menu = new FakeWindow({app: 'window:9', wmClass: 'firefox', title: '', pid: 202, overrideRedirect: true});
    const gimp = new FakeWindow({app: 'org.gimp.GIMP.desktop', wmClass: 'gimp', title: 'GIMP', pid: ownPid});
    const firefox2 = new FakeWindow({app: 'firefox.desktop', wmClass: 'firefox', title: 'Mail', pid: 202});
    tabList = [console_, firefox, xterm, dock];
    display.focus_window = console_;

    const programAppears = () => {
        for (const w of watches.values())
            if (w.name === 'com.NorlaKeys.NK7X')
                w.appeared();
    };
    const reportsWanted = () => {
        for (const s of subscriptions.values())
            if (s.member === 'ReportsWanted' && s.sender === 'com.NorlaKeys.NK7X' &&
                s.iface === 'com.NorlaKeys.NK7X.Focus1' && s.path === '/com/NorlaKeys/NK7X')
                s.fn();
    };

    const extension = new FocusReports({uuid: 'nk7x-focus@norlakeys'});
    step('enabled, the program not on the bus');
    extension.enable();
    focus(firefox);
    step('the program appears');
    programAppears();
    step('the console in front');
    focus(console_);
    step('the console again');
    focus(console_);
    step('the dock, a menu and nothing');
    focus(dock);
    focus(null);
    display.emit('window-created', display, menu);
    step('gimp opens');
    tabList.push(gimp);
    display.emit('window-created', display, gimp);
    gimp.emit('shown');
    focus(gimp);
    step('the program asks for reports');
    reportsWanted();
    step('the console closes');
    console_.emit('unmanaged'); // still listed while the shell tells of it
    tabList = tabList.filter(w => w !== console_);
    step('a second firefox window comes and goes');
    tabList.push(firefox2);
    display.emit('window-created', display, firefox2);
    firefox2.emit('shown');
    firefox2.emit('unmanaged');
    tabList = tabList.filter(w => w !== firefox2);
    step('disabled');
    extension.disable();
    check(display.count() === 0, `${display.count()} handler(s) left on the display`);
    for (const w of [console_, firefox, xterm, dock, menu, gimp, firefox2])
        check(w.count() === 0, `${w.count()} handler(s) left on the window ${w.title}`);
    check(subscriptions.size === 0, 'the ReportsWanted subscription is left');
    check(watches.size === 0, 'the name watch is left');
    focus(firefox);
    step('end');
}

if (mode === 'kwin5' || mode === 'kwin6')
    runKWin(mode === 'kwin6');
else if (mode === 'gnome')
    await runGnome();
else
    problems.push(`unknown mode ${mode}`);
for (const p of problems)
    process.stderr.write(`desktop_side: ${p}\n`);
process.exitCode = problems.length ? 1 : 0;
