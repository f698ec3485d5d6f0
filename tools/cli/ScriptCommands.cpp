#include "tools/cli/ScriptCommands.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "devices/LightModeTables.h"
#include "devices/ReportRates.h"
#include "devices/discovery/DeviceTables.h"
#include "devices/headset/HeadsetDevice.h"
#include "devices/keyboard/KeyboardDevice.h"
#include "devices/mouse/MouseDevice.h"
#include "devices/mousepad/MousePadDevice.h"
#include "link/KindDescriptors.h"
#include "link/hid/HidTransport.h"
#include "platform/DebugLog.h"
#include "platform/SessionBus.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ProfileList.h"
#include "tools/cli/CliDevice.h"

namespace nk7x::cli {
namespace {

constexpr const char* kService = "com.NorlaKeys.NK7X";
constexpr const char* kPath = "/com/NorlaKeys/NK7X";
constexpr const char* kInterface = "com.NorlaKeys.NK7X.Control1";

struct ScriptOptions {
    bool log = false;
    bool json = false;
    std::string kind;
    std::string path;
    std::optional<std::string> color;
    std::optional<std::string> copyFrom;
    std::optional<uint32_t> brightness;
    std::optional<uint32_t> speed;
    std::optional<uint32_t> activeStage;
    std::vector<std::string> words;
};

bool Parse(int argc, char** argv, ScriptOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = std::string(a) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--log") {
            o.log = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--kind") {
            if (!value(o.kind))
                return false;
        } else if (a == "--path") {
            if (!value(o.path))
                return false;
        } else if (a == "--copy") {
            if (!value(v))
                return false;
            o.copyFrom = v;
        } else if (a == "--color") {
            if (!value(v))
                return false;
            o.color = v;
        } else if (a == "--brightness" || a == "--speed") {
            if (!value(v))
                return false;
            const std::optional<uint32_t> n = ParseNumber(v, 255);
            if (!n) {
                error = std::string(a) + " takes a number from 0 to 255, not " + v;
                return false;
            }
            (a == "--brightness" ? o.brightness : o.speed) = n;
        } else if (a == "--active") {
            if (!value(v))
                return false;
            o.activeStage = ParseNumber(v, 99);
            if (!o.activeStage) {
                error = "--active takes a stage number, not " + v;
                return false;
            }
        } else if (a.size() > 2 && a.substr(0, 2) == "--") {
            error = "unknown option " + std::string(a);
            return false;
        } else {
            o.words.emplace_back(a);
        }
    }
    return true;
}

std::optional<DeviceFamily> FamilyNamed(const std::string& name) {
    for (const KindDescriptor& d : Kinds())
        if (name == d.scriptName)
            return d.family;
    return std::nullopt;
}

std::string KnownKinds() {
    std::string names;
    for (const KindDescriptor& d : Kinds())
        names += std::string(names.empty() ? "" : ", ") + d.scriptName;
    return names;
}

// The bus error as this tool's exit code and message.
Exit FailBus(const BusCallResult& r) {
    const std::string& name = r.errorName;
    Exit code = Exit::Failure;
    if (name == "com.NorlaKeys.NK7X.Error.InvalidArgument" || name == "com.NorlaKeys.NK7X.Error.UnknownKind")
        code = Exit::Usage;
    else if (name == "com.NorlaKeys.NK7X.Error.NoDevice")
        code = Exit::Absent;
    return Fail(code, r.errorMessage.empty() ? name : r.errorMessage);
}

// The families of the supported command interfaces present now, without the program.
// `paths`, `slots`: the first command interface of each family, when given.
std::vector<DeviceFamily> PresentFamilies(bool& permissionDenied, std::map<DeviceFamily, std::string>* paths,
                                          std::map<DeviceFamily, DeviceSlot>* slots = nullptr) {
    std::vector<DeviceFamily> families;
    CHidTransport probe;
    if (probe.EnumeratePaths() != 1)
        return families;
    while (const char* path = probe.NextPath()) {
        if (probe.Open(path, true, false) != 1) {
            permissionDenied |= probe.LastOpenError() == HidOpenError::PermissionDenied &&
                                FindRowByPath(CandidateFromPath(path)) >= 0;
            continue;
        }
        int row = -1;
        const DeviceSlot slot = SlotFromTransport(probe, &row);
        probe.Close();
        if (row < 0 || !slot.kind || slot.role != kRoleCommand)
            continue;
        const DeviceFamily family = FamilyOf(*slot.kind);
        if (paths && !paths->contains(family))
            (*paths)[family] = path;
        if (slots && !slots->contains(family))
            (*slots)[family] = slot;
        if (std::find(families.begin(), families.end(), family) == families.end())
            families.push_back(family);
    }
    return families;
}

ProfileList OpenProfileList(DeviceFamily family) {
    ProfileList list;
    list.SetDeviceType(KindNumber(Describe(family).kind));
    list.SetFolders(KindFolder(family), DefaultProfilePath(family));
    (void)list.LoadList(); // a repair that could not be written still leaves what the disk holds
    return list;
}

void PrintProfiles(const std::vector<std::string>& names, const std::string& active, bool json) {
    if (json) {
        Json::Value list(Json::arrayValue);
        for (const std::string& name : names) {
            Json::Value entry(Json::objectValue);
            entry["name"] = name;
            entry["active"] = name == active;
            list.append(entry);
        }
        Json::Value root(Json::objectValue);
        root["profiles"] = list;
        PrintJson(root);
        return;
    }
    for (const std::string& name : names)
        std::printf("%s %s\n", name == active ? "*" : " ", TerminalSafe(name).c_str());
}

// A device of the family, opened on `path` (or the first one present) with the profile `uuid`
// loaded, as the program would have it: without the program, the tool writes it itself.
struct OfflineDevice {
    DeviceFamily family = DeviceFamily::Keyboard;
    std::unique_ptr<CDeviceBase> device;
    bool connected = false;
    CKeyboardDevice* Keyboard() const { return dynamic_cast<CKeyboardDevice*>(device.get()); }
    CMouseDevice* Mouse() const { return dynamic_cast<CMouseDevice*>(device.get()); }
};

std::unique_ptr<CDeviceBase> MakeDevice(DeviceFamily family) {
    switch (family) {
    case DeviceFamily::Keyboard:
        return std::make_unique<CKeyboardDevice>();
    case DeviceFamily::Mouse:
        return std::make_unique<CMouseDevice>();
    case DeviceFamily::MousePad:
        return std::make_unique<CMousePadDevice>();
    case DeviceFamily::Headset:
        return std::make_unique<CHeadsetDevice>();
    }
    return nullptr;
}

Exit OpenDevice(const ScriptOptions& o, DeviceFamily family, const std::string& uuid, OfflineDevice& d) {
    d.family = family;
    d.device = MakeDevice(family);
    if (!d.device) // a kind added to the program at run time has no offline device here
        return Fail(Exit::Usage, std::string("this tool cannot open a ") + Describe(family).scriptName +
                                     " without the program running");
    CDeviceBase& device = *d.device;
    device.SetLightingName(Describe(family).lightingName);
    device.SetProfileName(uuid);
    device.LoadProfile();
    std::string path = o.path;
    bool permissionDenied = false;
    if (path.empty()) {
        std::map<DeviceFamily, std::string> paths;
        PresentFamilies(permissionDenied, &paths);
        path = paths.contains(family) ? paths[family] : std::string();
    }
    if (path.empty()) {
        if (permissionDenied)
            return Fail(Exit::Permission, std::string("a ") + Describe(family).scriptName +
                                              " is present, but this user may not open it.\n" + kUdevHint);
        return Exit::Ok; // none there: the profile files alone change
    }
    Options link;
    link.path = path;
    const Exit opened = OpenCommandLink(link, device.Link());
    d.connected = opened == Exit::Ok;
    if (auto* streamed = dynamic_cast<CStreamedLightDevice*>(d.device.get()); streamed && d.connected) {
        // What the program reads when it connects (with no worker, here and now): the mouse's button
        // layout and DPI range, the pad's and the headset's own record, whose bytes of their own a
        // write must give back; the profile is loaded again with them. No frame is streamed.
        streamed->OnConnect();
        streamed->StopLightThread();
    }
    return opened;
}

// What a change writes, as the program writes it: the settings record, and for a profile switch the
// key table and the macros of a device that has them.
Exit WriteDevice(OfflineDevice& d, bool keysAndMacros) {
    if (!d.connected)
        return Exit::Ok;
    CDeviceBase& device = *d.device;
    const std::string kind = Describe(d.family).scriptName;
    ISettingsRecordDevice* record = device.SettingsRecord();
    LinkResult result = record ? record->WriteSettings(0, 0) : kResultOk;
    IKeyTableDevice* keys = device.KeyTable();
    if (result == kResultOk && keysAndMacros && keys) {
        if (CKeyboardDevice* keyboard = d.Keyboard())
            result = keyboard->ReadKeyLayout();
        if (result == kResultOk)
            result = keys->WriteProfileKeyAssignments(0);
        if (result == kResultOk) {
            const MacroDownload macros = keys->DownloadMacros();
            if (macros.status == MacroDownload::Status::NoImage)
                return Fail(Exit::Failure, "the macros could not be sent (a macro file cannot be read)");
            if (macros.status == MacroDownload::Status::TooLarge)
                return Fail(Exit::Failure, "the macros do not fit the " + kind + ": remove " +
                                               std::to_string(macros.excessEvents) + " events");
            result = macros.link;
        }
    }
    return result == kResultOk ? Exit::Ok : Fail(ExitForResult(result), kind + ": " + ResultText(result));
}

class Script {
  public:
    explicit Script(ScriptOptions o) : m_o(std::move(o)) {
        m_running = m_bus.Open(nullptr) && m_bus.HasOwner(kService);
    }

    Exit Run() {
        const std::string& command = m_o.words[0];
        const size_t args = m_o.words.size() - 1;
        if (command == "devices" && args == 0)
            return Devices();
        if (Exit e = PickFamily(); e != Exit::Ok)
            return e;
        if (command == "profile" && args == 1 && m_o.words[1] == "list")
            return ProfileListCommand();
        if (command == "profile" && args == 2 && m_o.words[1] == "use")
            return ProfileUse(m_o.words[2]);
        if (command == "profile" && args == 2 && m_o.words[1] == "add")
            return ProfileAdd(m_o.words[2]);
        if (command == "light" && args == 1)
            return Light(m_o.words[1]);
        if (command == "rate" && args == 1)
            return Rate(m_o.words[1]);
        if (command == "dpi")
            return Dpi(std::vector<std::string>(m_o.words.begin() + 1, m_o.words.end()));
        if (command == "bind" && args == 2)
            return Bind(m_o.words[1], m_o.words[2]);
        if (command == "unbind" && args == 1)
            return Unbind(m_o.words[1]);
        if (command == "bindings" && args == 0)
            return BindingsCommand();
        if (command == "keys" && args >= 1)
            return Keys(std::vector<std::string>(m_o.words.begin() + 1, m_o.words.end()));
        return Fail(Exit::Usage, "unknown command or wrong arguments: " + command + "\n" + kScriptUsage);
    }

  private:
    BusCallResult Call(const std::string& method, std::vector<BusArg> args, const BusDict* dict = nullptr) {
        return m_bus.Call(kService, kPath, kInterface, method, args, dict);
    }

    Exit PickFamily() {
        if (!m_o.kind.empty()) {
            const std::optional<DeviceFamily> named = FamilyNamed(m_o.kind);
            if (!named)
                return Fail(Exit::Usage,
                            "no device kind \"" + m_o.kind + "\"; the kinds are " + KnownKinds());
            m_family = *named;
            return Exit::Ok;
        }
        if (!m_running)
            return Exit::Ok; // the keyboard
        const BusCallResult r = Call("Devices", {});
        if (!r.ok)
            return FailBus(r);
        if (r.strings.size() > 1) {
            std::string list;
            for (const std::string& s : r.strings)
                list += (list.empty() ? "" : ", ") + s;
            return Fail(Exit::Usage, "several devices are connected (" + list + "): say which with --kind");
        }
        if (r.strings.size() == 1)
            m_family = FamilyNamed(r.strings[0]).value_or(DeviceFamily::Keyboard);
        return Exit::Ok;
    }

    std::string Kind() const { return Describe(m_family).scriptName; }

    Exit Devices() {
        struct Line {
            std::string kind;
            BusDict info;
        };
        std::vector<Line> lines;
        if (m_running) {
            const BusCallResult r = Call("Devices", {});
            if (!r.ok)
                return FailBus(r);
            for (const std::string& kind : r.strings) {
                const BusCallResult info = Call("DeviceInfo", {kind});
                lines.push_back({kind, info.ok ? info.dict : BusDict{}});
            }
        } else {
            bool permissionDenied = false;
            std::map<DeviceFamily, DeviceSlot> slots;
            for (DeviceFamily f : PresentFamilies(permissionDenied, nullptr, &slots)) {
                const DeviceSlot& slot = slots[f];
                BusDict info;
                info["name"] = std::string(Describe(f).productName);
                info["vendor-id"] = static_cast<int32_t>(slot.vendorId);
                info["product-id"] = static_cast<int32_t>(slot.productId);
                info["connection"] =
                    std::string(slot.kind == DeviceKind::MouseReceiver ? "wireless" : "cable");
                lines.push_back({Describe(f).scriptName, info});
            }
            if (lines.empty() && permissionDenied)
                return Fail(Exit::Permission,
                            std::string("a supported device is present, but this user may not open it.\n") +
                                kUdevHint);
        }
        const auto text = [](const BusDict& d, const char* key) {
            const auto it = d.find(key);
            return it == d.end()
                       ? std::string()
                       : std::visit(
                             [](const auto& v) {
                                 if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
                                     return v;
                                 else
                                     return std::to_string(v);
                             },
                             it->second);
        };
        const auto number = [](const BusDict& d, const char* key) -> std::optional<int32_t> {
            const auto it = d.find(key);
            if (it == d.end() || !std::holds_alternative<int32_t>(it->second))
                return std::nullopt;
            return std::get<int32_t>(it->second);
        };
        if (m_o.json) {
            Json::Value list(Json::arrayValue);
            for (const Line& l : lines) {
                Json::Value d(Json::objectValue);
                d["kind"] = l.kind;
                d["name"] = text(l.info, "name");
                char ids[16];
                std::snprintf(ids, sizeof ids, "%04X:%04X", number(l.info, "vendor-id").value_or(0),
                              number(l.info, "product-id").value_or(0));
                d["ids"] = ids;
                d["connection"] = text(l.info, "connection");
                if (const std::optional<int32_t> battery = number(l.info, "battery"))
                    d["battery"] = *battery;
                if (!text(l.info, "power").empty())
                    d["power"] = text(l.info, "power");
                list.append(d);
            }
            Json::Value root(Json::objectValue);
            root["devices"] = list;
            PrintJson(root);
            return Exit::Ok;
        }
        for (const Line& l : lines) {
            std::printf("%-9s %-16s %04X:%04X %s", l.kind.c_str(), text(l.info, "name").c_str(),
                        number(l.info, "vendor-id").value_or(0), number(l.info, "product-id").value_or(0),
                        text(l.info, "connection").c_str());
            if (const std::optional<int32_t> battery = number(l.info, "battery"))
                std::printf(" battery %d %%%s%s", *battery, text(l.info, "power").empty() ? "" : " ",
                            text(l.info, "power").c_str());
            std::printf("\n");
        }
        return Exit::Ok;
    }

    Exit ProfileListCommand() {
        if (m_running) {
            const BusCallResult names = Call("Profiles", {Kind()});
            if (!names.ok)
                return FailBus(names);
            const BusCallResult active = Call("ActiveProfile", {Kind()});
            if (!active.ok)
                return FailBus(active);
            PrintProfiles(names.strings, active.strings.empty() ? "" : active.strings[0], m_o.json);
            return Exit::Ok;
        }
        const ProfileList list = OpenProfileList(m_family);
        const int selected = list.GetSelectedIndex();
        PrintProfiles(list.Names(), selected >= 0 ? list.Names()[static_cast<size_t>(selected)] : "",
                      m_o.json);
        return Exit::Ok;
    }

    Exit ProfileUse(const std::string& name) {
        if (m_running) {
            const BusCallResult r = Call("UseProfile", {Kind(), name});
            return r.ok ? Exit::Ok : FailBus(r);
        }
        ProfileList list = OpenProfileList(m_family);
        const int index = list.IndexOfName(name);
        if (index < 0)
            return Fail(Exit::Failure, "the " + Kind() + " has no profile \"" + name + "\"");
        if (list.SelectProfile(index) == ProfileResult::WriteFailed)
            return Fail(Exit::Failure, "the choice could not be stored in " + KindFolder(m_family));
        OfflineDevice d;
        if (Exit e = OpenDevice(m_o, m_family, list.GetSelectedUUID(), d); e != Exit::Ok)
            return e;
        return WriteDevice(d, true);
    }

    Exit ProfileAdd(const std::string& name) {
        if (m_running) {
            const BusCallResult r = Call("AddProfile", {Kind(), name, m_o.copyFrom.value_or("")});
            return r.ok ? Exit::Ok : FailBus(r);
        }
        ProfileList list = OpenProfileList(m_family);
        int from = -1;
        if (m_o.copyFrom) {
            from = list.IndexOfName(*m_o.copyFrom);
            if (from < 0)
                return Fail(Exit::Failure, "the " + Kind() + " has no profile \"" + *m_o.copyFrom + "\"");
        }
        if (list.IndexOfName(name) >= 0)
            return Fail(Exit::Usage, "the " + Kind() + " has a profile \"" + name + "\" already");
        switch (list.AddNamedProfile(name, from)) {
        case ProfileResult::Done:
            return Exit::Ok;
        case ProfileResult::BlankName:
            return Fail(Exit::Usage, "a profile needs a name");
        case ProfileResult::WriteFailed:
            return Fail(Exit::Failure, "the profile could not be written in " + KindFolder(m_family));
        case ProfileResult::Refused:
            break;
        }
        return Fail(Exit::Usage, "the " + Kind() + " has " + std::to_string(list.Count()) +
                                     " profiles, as many as it can keep");
    }

    Exit Light(const std::string& mode) {
        // Checked here too, so that a wrong value is refused the same way with or without the program.
        std::optional<int> modeNumber;
        if (mode != "-") {
            const int n = FindLightMode(m_family, mode);
            if (n < 0) {
                std::string names;
                for (const std::string& m : VisibleLightModeNames(m_family))
                    names += (names.empty() ? "" : ", ") + m;
                return Fail(Exit::Usage, "the " + Kind() + " has no lighting mode \"" + mode +
                                             "\"; its modes are " + names);
            }
            modeNumber = n;
        }
        std::optional<uint32_t> rgb;
        if (m_o.color) {
            std::string text = *m_o.color;
            if (!text.empty() && text[0] == '#')
                text.erase(0, 1);
            const std::optional<std::vector<uint8_t>> bytes = ParseHex(text);
            if (text.size() != 6 || !bytes || bytes->size() != 3)
                return Fail(Exit::Usage,
                            "a colour is six hexadecimal digits, RRGGBB; \"" + *m_o.color + "\" is not one");
            rgb = uint32_t{(*bytes)[0]} << 16 | uint32_t{(*bytes)[1]} << 8 | (*bytes)[2];
        }
        if (m_running) {
            BusDict dict;
            if (modeNumber)
                dict["mode"] = mode;
            if (m_o.color)
                dict["color"] = *m_o.color;
            if (m_o.brightness)
                dict["brightness"] = static_cast<int32_t>(*m_o.brightness);
            if (m_o.speed)
                dict["speed"] = static_cast<int32_t>(*m_o.speed);
            const BusCallResult r = Call("SetLighting", {Kind()}, &dict);
            return r.ok ? Exit::Ok : FailBus(r);
        }
        const ProfileList list = OpenProfileList(m_family);
        OfflineDevice d;
        if (Exit e = OpenDevice(m_o, m_family, list.GetSelectedUUID(), d); e != Exit::Ok)
            return e;
        CDeviceBase& device = *d.device;
        LightState s = device.GetLightSettings();
        if (modeNumber)
            s.mode = static_cast<uint8_t>(*modeNumber);
        if (rgb) {
            s.red = static_cast<uint8_t>(*rgb >> 16);
            s.green = static_cast<uint8_t>(*rgb >> 8);
            s.blue = static_cast<uint8_t>(*rgb);
            s.multiColor = 0;
        }
        if (m_o.brightness)
            s.brightness = static_cast<uint8_t>(*m_o.brightness);
        if (m_o.speed)
            s.speed = static_cast<uint8_t>(*m_o.speed);
        // As every lighting edit in the window: into the device object and the profile, then written.
        device.SetLightSettings(s);
        device.SaveProfile();
        device.ApplyProfile();
        return WriteDevice(d, false);
    }

    Exit Rate(const std::string& text) {
        const std::optional<uint32_t> hz = ParseNumber(text, 100000);
        if (!hz)
            return Fail(Exit::Usage, "a report rate is a number of Hz, not " + text);
        if (m_running) {
            const BusCallResult r = Call("SetReportRate", {Kind(), static_cast<int32_t>(*hz)});
            return r.ok ? Exit::Ok : FailBus(r);
        }
        if (ReportRateOptions(m_family) == 0)
            return Fail(Exit::Usage, "the " + Kind() + " has no report rate");
        const int option = ReportRateOption(m_family, static_cast<int>(*hz));
        if (option < 0)
            return Fail(Exit::Usage, "the " + Kind() + "'s report rates are " + ReportRatesText(m_family) +
                                         " Hz; " + text + " is not one");
        const ProfileList list = OpenProfileList(m_family);
        OfflineDevice d;
        if (Exit e = OpenDevice(m_o, m_family, list.GetSelectedUUID(), d); e != Exit::Ok)
            return e;
        if (CKeyboardDevice* keyboard = d.Keyboard()) {
            KeyboardSystemStages stages = keyboard->Profile().GetSystemStages();
            stages.pollingRate = static_cast<uint16_t>(option);
            keyboard->SetSystemStages(stages);
            keyboard->SaveProfile();
        } else if (CMouseDevice* mouse = d.Mouse()) {
            MouseSystemStages stages = mouse->Profile().GetSystemStages();
            stages.reportRateStage = static_cast<uint16_t>(option);
            mouse->SetSystemStages(stages); // stored; the record below carries it
        }
        return WriteDevice(d, false);
    }

    Exit Dpi(const std::vector<std::string>& settings) {
        std::vector<std::pair<int, int>> changes; // stage (1-5), DPI
        for (const std::string& s : settings) {
            const size_t eq = s.find('=');
            const std::optional<uint32_t> stage =
                eq == std::string::npos ? std::nullopt : ParseNumber(s.substr(0, eq), 99);
            const std::optional<uint32_t> dpi =
                eq == std::string::npos ? std::nullopt : ParseNumber(s.substr(eq + 1), 1000000);
            if (!stage || !dpi)
                return Fail(Exit::Usage, "a stage is set as STAGE=DPI, for example 2=1600; not " + s);
            changes.emplace_back(static_cast<int>(*stage), static_cast<int>(*dpi));
        }
        std::vector<int32_t> dpis;
        std::vector<bool> enabled;
        int activeStage = 0;
        if (m_running) {
            for (const auto& [stage, dpi] : changes) {
                const BusCallResult r = Call("SetDpiStage", {Kind(), stage, dpi});
                if (!r.ok)
                    return FailBus(r);
            }
            if (m_o.activeStage) {
                const BusCallResult a =
                    Call("SetActiveDpiStage", {Kind(), static_cast<int32_t>(*m_o.activeStage)});
                if (!a.ok)
                    return FailBus(a);
            }
            const BusCallResult r = Call("DpiStages", {Kind()});
            if (!r.ok)
                return FailBus(r);
            const BusCallResult active = Call("ActiveDpiStage", {Kind()});
            if (!active.ok)
                return FailBus(active);
            dpis = r.ints;
            enabled = r.bools;
            activeStage = active.ints.empty() ? 0 : active.ints[0];
        } else if (Exit e = OfflineDpi(changes, dpis, enabled, activeStage); e != Exit::Ok) {
            return e;
        }
        PrintStages(dpis, enabled, activeStage);
        return Exit::Ok;
    }

    // The mouse's stages without the program: checked and set as the page sets them, then written.
    Exit OfflineDpi(const std::vector<std::pair<int, int>>& changes, std::vector<int32_t>& dpis,
                    std::vector<bool>& enabled, int& activeStage) {
        if (m_family != DeviceFamily::Mouse)
            return Fail(Exit::Usage, "the " + Kind() + " has no DPI stages");
        const ProfileList list = OpenProfileList(m_family);
        OfflineDevice d;
        if (Exit e = OpenDevice(m_o, m_family, list.GetSelectedUUID(), d); e != Exit::Ok)
            return e;
        CMouseDevice& mouse = *d.Mouse();
        if (!d.connected)
            return Fail(Exit::Absent, "no mouse is connected: its DPI range is not known");
        const int stages = static_cast<int>(mouse.SettingsControls().stages.size());
        const auto stageRefusal = [stages](int stage) {
            return stage < 1 || stage > stages ? "the stages are 1 to " + std::to_string(stages) + "; " +
                                                     std::to_string(stage) + " is not one"
                                               : std::string();
        };
        for (const auto& [stage, dpi] : changes) {
            std::string refusal = stageRefusal(stage);
            if (refusal.empty() && !(refusal = mouse.StageDpiRefusal(dpi)).empty())
                refusal = "the mouse " + refusal;
            if (!refusal.empty())
                return Fail(Exit::Usage, refusal);
        }
        if (m_o.activeStage) {
            const int stage = static_cast<int>(*m_o.activeStage);
            if (const std::string refusal = stageRefusal(stage); !refusal.empty())
                return Fail(Exit::Usage, refusal);
            if (mouse.SettingsControls().stages[static_cast<size_t>(stage - 1)].active == 0)
                return Fail(Exit::Usage, "stage " + std::to_string(stage) + " is off");
        }
        for (const auto& [stage, dpi] : changes)
            (void)mouse.SetStageDpi(stage - 1, dpi);
        if (m_o.activeStage)
            mouse.SetActiveStage(static_cast<int>(*m_o.activeStage) - 1);
        if (!changes.empty() || m_o.activeStage)
            if (Exit e = WriteDevice(d, false); e != Exit::Ok)
                return e;
        const MouseSettingsControls now = mouse.SettingsControls();
        for (const DpiStage& stage : now.stages) {
            dpis.push_back(mouse.Info().DpiForSteps(stage.dpiX));
            enabled.push_back(stage.active != 0);
        }
        activeStage = now.activeStage + 1;
        return Exit::Ok;
    }

    void PrintStages(const std::vector<int32_t>& dpis, const std::vector<bool>& enabled,
                     int activeStage) const {
        const auto on = [&enabled](size_t i) { return i < enabled.size() && enabled[i]; };
        if (m_o.json) {
            Json::Value stages(Json::arrayValue);
            for (size_t i = 0; i < dpis.size(); ++i) {
                Json::Value stage(Json::objectValue);
                stage["stage"] = static_cast<int>(i + 1);
                stage["dpi"] = dpis[i];
                stage["enabled"] = on(i);
                stage["active"] = static_cast<int>(i + 1) == activeStage;
                stages.append(stage);
            }
            Json::Value root(Json::objectValue);
            root["stages"] = stages;
            PrintJson(root);
            return;
        }
        for (size_t i = 0; i < dpis.size(); ++i)
            std::printf("%s%zu: %d%s\n", static_cast<int>(i + 1) == activeStage ? "*" : " ", i + 1, dpis[i],
                        on(i) ? "" : " (off)");
    }

    // Profiles that follow the application in front: go through the program, which tracks the windows.
    Exit Bind(const std::string& profile, const std::string& app) {
        if (!m_running)
            return Fail(Exit::Failure, "applications are bound through the program; it is not running");
        const BusCallResult r = Call("Bind", {Kind(), profile, app});
        return r.ok ? Exit::Ok : FailBus(r);
    }

    Exit Unbind(const std::string& app) {
        if (!m_running)
            return Fail(Exit::Failure, "applications are unbound through the program; it is not running");
        const BusCallResult r = Call("Unbind", {Kind(), app});
        return r.ok ? Exit::Ok : FailBus(r);
    }

    Exit BindingsCommand() {
        if (!m_running)
            return Fail(Exit::Failure, "bindings are read through the program; it is not running");
        const BusCallResult r = Call("Bindings", {Kind()});
        if (!r.ok)
            return FailBus(r);
        const BusCallResult d = Call("DefaultProfile", {Kind()});
        const BusCallResult t = Call("Tracking", {});
        const std::string defaultProfile = d.ok && !d.strings.empty() ? d.strings[0] : "";
        const std::string method = t.ok && !t.strings.empty() ? t.strings[0] : "";
        const std::string why = t.ok && t.strings.size() > 1 ? t.strings[1] : "";
        if (m_o.json) {
            Json::Value root(Json::objectValue);
            Json::Value& list = root["bindings"] = Json::Value(Json::arrayValue);
            for (const auto& [app, profile] : r.dict) {
                Json::Value b(Json::objectValue);
                b["app"] = app;
                b["profile"] = std::get<std::string>(profile);
                list.append(b);
            }
            root["default"] = defaultProfile;
            root["tracking"] = method;
            if (!why.empty())
                root["trackingProblem"] = why;
            PrintJson(root);
            return Exit::Ok;
        }
        for (const auto& [app, profile] : r.dict)
            std::printf("%s -> %s\n", app.c_str(), std::get<std::string>(profile).c_str());
        if (!defaultProfile.empty())
            std::printf("otherwise -> %s\n", defaultProfile.c_str());
        if (!method.empty())
            std::printf("tracking: %s\n", method.c_str());
        else
            std::printf("tracking: none%s%s\n", why.empty() ? "" : ": ", why.c_str());
        return Exit::Ok;
    }

    // Per-key colours of the keyboard, KEY=RRGGBB each, as the custom mode paints them.
    Exit Keys(const std::vector<std::string>& paints) {
        if (!m_running)
            return Fail(Exit::Failure, "key colours are set through the program; it is not running");
        BusStringMap colours;
        for (const std::string& p : paints) {
            const size_t eq = p.find('=');
            if (eq == std::string::npos || eq == 0)
                return Fail(Exit::Usage, "a key colour is KEY=RRGGBB, for example w=FF0000; not " + p);
            colours[p.substr(0, eq)] = p.substr(eq + 1);
        }
        const BusCallResult r = Call("SetKeyColours", {Kind(), colours});
        if (!r.ok)
            return FailBus(r);
        if (m_o.json) {
            Json::Value root(Json::objectValue);
            root["keys"] = static_cast<int>(colours.size());
            PrintJson(root);
        }
        return Exit::Ok;
    }

    ScriptOptions m_o;
    SessionBusClient m_bus;
    bool m_running = false;
    DeviceFamily m_family = DeviceFamily::Keyboard;
};

} // namespace

bool IsScriptCommand(int argc, char** argv) {
    const std::initializer_list<std::string_view> valued = {"--path",  "--kind", "--color", "--brightness",
                                                            "--speed", "--copy", "--active"};
    for (std::string_view command :
         {"devices", "profile", "light", "rate", "dpi", "keys", "bind", "unbind", "bindings"})
        if (FirstCommandIs(argc, argv, command, valued))
            return true;
    return false;
}

Exit RunScriptCommand(int argc, char** argv) {
    ScriptOptions o;
    std::string error;
    if (!Parse(argc, argv, o, error) || o.words.empty())
        return Fail(Exit::Usage, (error.empty() ? std::string("no command") : error) + "\n" + kScriptUsage);
    if (o.log)
        SetDebugToStderr(true);
    return Script(std::move(o)).Run();
}

} // namespace nk7x::cli
