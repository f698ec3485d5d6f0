#include "app/SdkControllers.h"

#include "devices/DeviceBase.h"
#include "devices/LightModeTables.h"
#include "devices/discovery/DeviceTables.h"
#include "devices/keyboard/KeyboardTables.h"
#include "link/KindDescriptors.h"
#include "panels/light/LightControlUI.h"
#include "panels/light/LightLayoutTable.h"
#include "panels/light/LightRoutes.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/pages/keyboard/KeyboardKeyLayout.h"
#include "ui/LanguageTexts.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace nk7x {
namespace {

constexpr const char* kVendor = "Norla Keys";

// What lighting programs call a family's device and its one zone.
struct FamilyFacts {
    DeviceFamily family;
    sdk::DeviceType type;
    const char* zone;
};
constexpr FamilyFacts kFamilies[] = {
    {DeviceFamily::Keyboard, sdk::DeviceType::Keyboard, "Keyboard"},
    {DeviceFamily::Mouse, sdk::DeviceType::Mouse, "Mouse"},
    {DeviceFamily::MousePad, sdk::DeviceType::MouseMat, "Pad edge"},
    {DeviceFamily::Headset, sdk::DeviceType::Headset, "Ear cups"},
};

const FamilyFacts& FactsOf(DeviceFamily family) {
    for (const FamilyFacts& f : kFamilies)
        if (f.family == family)
            return f;
    return kFamilies[0];
}

std::optional<DeviceFamily> FamilyOfDevice(const CDeviceBase& device) {
    const std::optional<DeviceKind> kind = device.Kind();
    return kind ? std::optional<DeviceFamily>(FamilyOf(*kind)) : std::nullopt;
}

// A mode of the list and the device's number for it (-1: the direct mode).
struct ListedMode {
    sdk::Mode mode;
    int number = -1;
};

uint32_t MaxOf(CLightControlUI* panel, bool brightness) {
    if (!panel)
        return 0xFF;
    return static_cast<uint32_t>(std::max(0, brightness ? panel->MaxBrightness() : panel->MaxSpeed()));
}

// The direct mode first (where lighting programs look for it), then the family's own modes in
// their order; a hidden mode the device is in joins the list, so the active mode is always listed.
std::vector<ListedMode> ModesOf(CBrindovaUSBDevice& page, DeviceFamily family) {
    CDeviceBase& device = page.Device();
    const LightState state = device.GetLightSettings();
    CLightControlUI* panel = page.LightPanel();
    const uint32_t maxSpeed = MaxOf(panel, false);
    const uint32_t maxBrightness = MaxOf(panel, true);
    const DeviceKind kind = device.Kind().value_or(Describe(family).kind);

    std::vector<ListedMode> modes;
    ListedMode direct;
    direct.mode.name = "Direct";
    direct.mode.value = -1;
    direct.mode.flags = sdk::kModePerLedColour;
    direct.mode.colourMode = sdk::ColourMode::PerLed;
    modes.push_back(direct);

    const std::span<const BuiltInLightMode> builtIn = BuiltInLightModes(family);
    for (size_t n = 0; n < builtIn.size(); ++n) {
        if (!builtIn[n].visible && n != state.mode)
            continue;
        ListedMode m;
        m.number = static_cast<int>(n);
        std::string name = LightModeScriptName(builtIn[n]);
        if (!name.empty())
            name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        std::replace_if(
            name.begin(), name.end(), [](char ch) { return ch == '-' || ch == '_'; }, ' ');
        m.mode.name = name;
        m.mode.value = static_cast<int32_t>(n);
        const LightLayoutRow row = LightLayoutFor(kind, static_cast<int>(n));
        const auto on = [&row](LightGroup g) {
            return row.enable[static_cast<size_t>(g)] != GroupState::Off;
        };
        const bool off = LightModeScriptName(builtIn[n]) == "off"; // nothing to set there
        if (!off && row.speedEnabled != GroupState::Off && row.speedShown != GroupState::Off) {
            m.mode.flags |= sdk::kModeSpeed;
            m.mode.speedMax = maxSpeed;
            m.mode.speed = std::min<uint32_t>(state.speed, maxSpeed);
        }
        if (!off && on(LightGroup::Brightness)) {
            m.mode.flags |= sdk::kModeBrightness;
            m.mode.brightnessMax = maxBrightness;
            m.mode.brightness = std::min<uint32_t>(state.brightness, maxBrightness);
        }
        if (!off && on(LightGroup::Direction)) {
            m.mode.flags |= sdk::kModeDirectionLR;
            m.mode.direction = state.direction != 0 ? sdk::kDirectionLeft : sdk::kDirectionRight;
        }
        if (!off && (on(LightGroup::ColorSelects) || on(LightGroup::RgbEdits))) {
            m.mode.flags |= sdk::kModeSpecificColour;
            m.mode.colourMode = sdk::ColourMode::ModeSpecific;
            m.mode.coloursMin = 1;
            m.mode.coloursMax = 1;
            m.mode.colours = {{state.red, state.green, state.blue}};
        }
        modes.push_back(std::move(m));
    }
    return modes;
}

// The keys the board shows, by key index: those with a name.
std::vector<int> KeyboardLedKeys() {
    std::vector<int> keys;
    for (int k = 0; k < kKeyboardKeyCount; ++k)
        if (DefaultKeyCodeTable[static_cast<size_t>(k)].label)
            keys.push_back(k);
    return keys;
}

// The keyboard's matrix: its rows as the board has them, a column per key unit, each key in the
// column under its centre (or the next free one to the right).
sdk::Zone KeyboardZone(const std::vector<int>& ledKeys) {
    const std::array<KeyPlace, kKeyboardLayoutKeys>& places = KeyboardKeyLayout();
    int rows = 0;
    for (int k : ledKeys)
        rows = std::max(rows, places[static_cast<size_t>(k)].row + 1);
    std::vector<std::vector<uint32_t>> grid(static_cast<size_t>(rows));
    for (size_t led = 0; led < ledKeys.size(); ++led) {
        const KeyPlace& p = places[static_cast<size_t>(ledKeys[led])];
        std::vector<uint32_t>& line = grid[static_cast<size_t>(p.row)];
        auto column = static_cast<size_t>(std::max(0.0, std::floor(p.x + p.width / 2)));
        while (column < line.size() && line[column] != sdk::kNoLed)
            ++column;
        if (column >= line.size())
            line.resize(column + 1, sdk::kNoLed);
        line[column] = static_cast<uint32_t>(led);
    }
    size_t width = 0;
    for (const auto& line : grid)
        width = std::max(width, line.size());
    sdk::Zone zone;
    zone.name = FactsOf(DeviceFamily::Keyboard).zone;
    zone.type = sdk::ZoneType::Matrix;
    zone.ledCount = static_cast<uint32_t>(ledKeys.size());
    zone.matrixHeight = static_cast<uint32_t>(rows);
    zone.matrixWidth = static_cast<uint32_t>(width);
    for (auto& line : grid) {
        line.resize(width, sdk::kNoLed);
        zone.matrix.insert(zone.matrix.end(), line.begin(), line.end());
    }
    return zone;
}

const std::vector<int>& LedKeys() {
    static const std::vector<int> keys = KeyboardLedKeys();
    return keys;
}

} // namespace

SdkControllers::SdkControllers(SdkControllersContext context, QObject* parent)
    : QObject(parent), m_ctx(std::move(context)) {}

const std::vector<std::string>& SdkControllers::KeyNames() {
    // Read when a client first asks: the server is off for most users, and start-up needs none of it.
    if (m_keyNames.empty()) {
        LanguageTexts english;
        english.LoadFile(m_ctx.englishTextsPath);
        m_keyNames.resize(kKeyboardKeyCount);
        for (int k : LedKeys()) {
            const QString key = QStringLiteral("keyboard_key_") +
                                QString::fromLatin1(DefaultKeyCodeTable[static_cast<size_t>(k)].label);
            m_keyNames[static_cast<size_t>(k)] = "Key: " + english.Text(key).toStdString();
        }
    }
    return m_keyNames;
}

SdkControllers::~SdkControllers() = default;

std::vector<CBrindovaUSBDevice*> SdkControllers::Controllers() const {
    std::vector<CBrindovaUSBDevice*> out;
    if (!m_ctx.pages)
        return out;
    for (CBrindovaUSBDevice* page : m_ctx.pages())
        if (page && FamilyOfDevice(page->Device()) && page->Device().Link().IsOpen())
            out.push_back(page);
    return out;
}

std::size_t SdkControllers::ControllerCount() {
    return Controllers().size();
}

sdk::Controller SdkControllers::Describe(std::size_t controller) {
    sdk::Controller c;
    const std::vector<CBrindovaUSBDevice*> pages = Controllers();
    if (controller >= pages.size())
        return c;
    CBrindovaUSBDevice& page = *pages[controller];
    CDeviceBase& device = page.Device();
    const DeviceFamily family = *FamilyOfDevice(device);
    const FamilyFacts& facts = FactsOf(family);
    const DeviceSlot& slot = device.GetIdentity();
    c.type = facts.type;
    c.name = nk7x::Describe(family).productName;
    c.vendor = kVendor;
    char ids[32];
    std::snprintf(ids, sizeof ids, "USB %04X:%04X", slot.vendorId, slot.productId);
    c.description = ids;
    c.location = slot.path;

    const std::vector<ListedMode> modes = ModesOf(page, family);
    const LightState state = device.GetLightSettings();
    for (size_t i = 0; i < modes.size(); ++i) {
        c.modes.push_back(modes[i].mode);
        if (modes[i].number == state.mode)
            c.activeMode = static_cast<int32_t>(i);
    }
    if (device.HoldsDirectColours())
        c.activeMode = 0;

    std::vector<DirectColour> direct = device.Direct().Colours();
    const auto colourOf = [&device, &direct](int key) -> sdk::Colour {
        if (static_cast<size_t>(key) < direct.size())
            return {direct[key].red, direct[key].green, direct[key].blue};
        const KeyColour k = device.GetKeyColour(key);
        return {k.red, k.green, k.blue};
    };
    if (family == DeviceFamily::Keyboard) {
        c.zones.push_back(KeyboardZone(LedKeys()));
        for (int k : LedKeys()) {
            c.leds.push_back({KeyNames()[static_cast<size_t>(k)], static_cast<uint32_t>(k)});
            c.colours.push_back(colourOf(k));
        }
    } else {
        sdk::Zone zone;
        zone.name = facts.zone;
        zone.type = sdk::ZoneType::Linear;
        zone.ledCount = static_cast<uint32_t>(device.KeyCount());
        c.zones.push_back(zone);
        for (int i = 0; i < device.KeyCount(); ++i) {
            c.leds.push_back({"LED " + std::to_string(i + 1), static_cast<uint32_t>(i)});
            c.colours.push_back(colourOf(i));
        }
    }
    return c;
}

std::vector<uint32_t> SdkControllers::ZoneLedCounts(std::size_t controller) {
    const std::vector<CBrindovaUSBDevice*> pages = Controllers();
    if (controller >= pages.size())
        return {};
    const CDeviceBase& device = pages[controller]->Device();
    if (FamilyOfDevice(device) == DeviceFamily::Keyboard)
        return {static_cast<uint32_t>(LedKeys().size())};
    return {static_cast<uint32_t>(device.KeyCount())};
}

void SdkControllers::SetColours(std::size_t controller, std::size_t first,
                                std::span<const sdk::Colour> colours) {
    const std::vector<CBrindovaUSBDevice*> pages = Controllers();
    if (controller >= pages.size())
        return;
    CDeviceBase& device = pages[controller]->Device();
    const bool keyboard = FamilyOfDevice(device) == DeviceFamily::Keyboard;
    std::vector<DirectColour> all = device.Direct().Colours();
    all.resize(static_cast<size_t>(device.KeyCount()));
    for (size_t i = 0; i < colours.size(); ++i) {
        const size_t led = first + i;
        const size_t key =
            keyboard ? (led < LedKeys().size() ? static_cast<size_t>(LedKeys()[led]) : all.size()) : led;
        if (key < all.size())
            all[key] = {colours[i].red, colours[i].green, colours[i].blue};
    }
    device.SetDirectColours(0, all);
    Pace(device);
}

void SdkControllers::SetCustomMode(std::size_t controller) {
    const std::vector<CBrindovaUSBDevice*> pages = Controllers();
    if (controller >= pages.size())
        return;
    pages[controller]->Device().HoldDirectColours();
    Pace(pages[controller]->Device());
}

void SdkControllers::SetMode(std::size_t controller, std::size_t modeIndex, const sdk::Mode& mode,
                             bool save) {
    (void)save; // every mode is stored in the active profile, as the window stores it
    const std::vector<CBrindovaUSBDevice*> pages = Controllers();
    if (controller >= pages.size())
        return;
    CBrindovaUSBDevice& page = *pages[controller];
    const std::vector<ListedMode> modes = ModesOf(page, *FamilyOfDevice(page.Device()));
    if (modeIndex >= modes.size())
        return;
    const ListedMode& chosen = modes[modeIndex];
    if (chosen.number < 0) {
        SetCustomMode(controller);
        return;
    }
    LightState state = page.Device().GetLightSettings();
    state.mode = static_cast<uint8_t>(chosen.number);
    const uint32_t flags = chosen.mode.flags;
    if (flags & sdk::kModeSpeed)
        state.speed = static_cast<uint8_t>(std::min(mode.speed, chosen.mode.speedMax));
    if (flags & sdk::kModeBrightness)
        state.brightness = static_cast<uint8_t>(std::min(mode.brightness, chosen.mode.brightnessMax));
    if (flags & sdk::kModeDirectionLR)
        state.direction = mode.direction == sdk::kDirectionLeft ? 1 : 0;
    if ((flags & sdk::kModeSpecificColour) && !mode.colours.empty()) {
        state.red = mode.colours[0].red;
        state.green = mode.colours[0].green;
        state.blue = mode.colours[0].blue;
        state.multiColor = 0;
    }
    LightRoutes::StoreFromOutside(page.Device(), page.LightPanel(), state);
}

void SdkControllers::Pace(CDeviceBase& device) {
    const auto period = std::chrono::milliseconds(kLiveFramePeriodMs);
    Pacing& p = m_pacing[&device];
    const auto now = std::chrono::steady_clock::now();
    if (now - p.last >= period) {
        SendNow(device);
        return;
    }
    if (p.scheduled)
        return; // the frame due then takes the newest colours
    p.scheduled = true;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(p.last + period - now);
    CDeviceBase* target = &device;
    QTimer::singleShot(static_cast<int>(wait.count()), Qt::PreciseTimer, this, [this, target] {
        m_pacing[target].scheduled = false;
        // The device may have gone meanwhile: only a controller's device is touched.
        for (CBrindovaUSBDevice* page : Controllers())
            if (&page->Device() == target) {
                // A frame that left meanwhile moves this one a period on; the newest colours go then.
                Pace(*target);
                return;
            }
    });
}

void SdkControllers::SendNow(CDeviceBase& device) {
    // Only a frame that left starts a period; a failed one leaves again with the next colours.
    if (device.SendDirectFrame())
        m_pacing[&device].last = std::chrono::steady_clock::now();
}

} // namespace nk7x
