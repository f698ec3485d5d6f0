#include "devices/keyboard/KeyboardCustomColours.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "devices/keyboard/KeyboardTables.h"

namespace nk7x {

namespace {
constexpr int kKeyCount = kKeyboardKeyCount;
} // namespace

std::vector<uint8_t> CKeyboardCustomColours::Page(bool scaled, size_t& length) {
    std::vector<uint8_t> page(kLightingPageBytes, 0);
    size_t highest = 0;
    std::lock_guard<std::mutex> lock(m_tableLock);
    const std::vector<KeyColour>& colours = Table();
    for (int k = 0; k < kKeyCount && static_cast<size_t>(k) < colours.size(); ++k) {
        const uint8_t led = m_keyMap.Led(k);
        if (led == kKeyNotFound || led >= kMaxDeviceKeys)
            continue;
        const KeyColour c = colours[static_cast<size_t>(k)];
        const size_t at = 3 * size_t{led};
        page[at] = scaled ? static_cast<uint8_t>((c.red * c.alpha) >> 8) : c.red;
        page[at + 1] = scaled ? static_cast<uint8_t>((c.green * c.alpha) >> 8) : c.green;
        page[at + 2] = scaled ? static_cast<uint8_t>((c.blue * c.alpha) >> 8) : c.blue;
        highest = std::max(highest, at + 3);
    }
    // One triple per key; LED indices past the keys extend the write so their colours are not lost.
    length = std::max(highest, static_cast<size_t>(3 * kKeyCount));
    return page;
}

LinkResult CKeyboardCustomColours::TransferPage(const std::vector<uint8_t>& page, size_t length, int group,
                                                bool scaled) {
    const LinkResult result = m_ctx.Link().WriteLightingPage(page.data(), length, group, kLightingPageBytes);
    if (result != kResultOk && scaled)
        std::this_thread::sleep_for(std::chrono::milliseconds(kFailedFramePauseMs));
    return result;
}

LinkResult CKeyboardCustomColours::Send() {
    if (!InCustomMode())
        return kResultFailed;
    size_t length = 0;
    const std::vector<uint8_t> page = Page(true, length);
    const LinkResult result = TransferPage(page, length, m_ctx.Device().GetLightSettings().customGroup, true);
    m_ctx.ReportFailure(KeyboardWrite::CustomColours, result);
    return result;
}

void CKeyboardCustomColours::QueuePage(bool scaled) {
    size_t length = 0;
    auto page = std::make_shared<const std::vector<uint8_t>>(Page(scaled, length));
    const int group = m_ctx.Device().GetLightSettings().customGroup;
    m_ctx.Device().RunTransfer("custom-page-" + std::to_string(group),
                               [this, page, length, group, scaled]() -> CDeviceBase::Continuation {
                                   const LinkResult result = TransferPage(*page, length, group, scaled);
                                   return [this, result] {
                                       m_ctx.ReportFailure(KeyboardWrite::CustomColours, result);
                                   };
                               });
}

void CKeyboardCustomColours::Mirror(bool withAlpha) {
    std::lock_guard<std::mutex> lock(m_tableLock);
    m_preview.MirrorColours(Table(), withAlpha);
}

void CKeyboardCustomColours::Enter() {
    CKeyboardProfiledata& profile = m_ctx.Profile();
    const int group = profile.GetCustomGroup();
    const std::vector<CustomColor> colours = profile.GetCustomColors(group, kKeyCount);
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        std::vector<KeyColour>& table = Table();
        for (size_t k = 0; k < table.size() && k < colours.size(); ++k)
            table[k] = {colours[k].red, colours[k].green, colours[k].blue, colours[k].alpha};
    }
    Mirror(true);
    m_panelGroup = group;
    if (IKeyboardView* view = m_ctx.View())
        view->CustomGroupSelected(group);
    if (InCustomMode())
        QueuePage(true);
}

void CKeyboardCustomColours::SelectGroup(int group) {
    m_panelGroup = group;
    if (IKeyboardView* view = m_ctx.View())
        view->CustomGroupSelected(group);
    m_ctx.Profile().SetCustomGroup(group);
    m_ctx.StoreProfile();
}

void CKeyboardCustomColours::Store(int group) {
    std::vector<CustomColor> colours;
    colours.reserve(kKeyCount);
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        const std::vector<KeyColour>& table = Table();
        for (size_t k = 0; k < table.size() && k < static_cast<size_t>(kKeyCount); ++k)
            colours.push_back({table[k].red, table[k].green, table[k].blue, table[k].alpha});
    }
    m_ctx.Profile().SetCustomColors(colours, group);
    m_ctx.StoreProfile();
}

void CKeyboardCustomColours::Fill(bool on) {
    const LightState light = m_ctx.Device().GetLightSettings();
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        std::vector<KeyColour>& table = Table();
        for (size_t k = 0; k < table.size() && k < static_cast<size_t>(kKeyCount); ++k) {
            table[k].red = on ? light.red : 0;
            table[k].green = on ? light.green : 0;
            table[k].blue = on ? light.blue : 0;
        }
    }
    Mirror(false);
    if (light.mode == kCustomLightMode)
        QueuePage(true);
    if (m_panelGroup >= 0)
        Store(m_panelGroup);
}

void CKeyboardCustomColours::SetKey(int keyIndex) {
    const LightState light = m_ctx.Device().GetLightSettings();
    if (light.mode != kCustomLightMode || keyIndex < 0 || keyIndex >= kKeyCount)
        return;
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        std::vector<KeyColour>& table = Table();
        if (static_cast<size_t>(keyIndex) >= table.size())
            return;
        KeyColour& c = table[static_cast<size_t>(keyIndex)];
        c.red = light.red;
        c.green = light.green;
        c.blue = light.blue;
    }
    Mirror(false);
    if (m_panelGroup < 0)
        return;
    Store(m_panelGroup);
    if (m_ctx.Link().LongTimeouts())
        return;
    QueuePage(false);
}

bool CKeyboardCustomColours::Paint(const std::vector<KeyboardKeyPaint>& keys) {
    if (!InCustomMode())
        return false;
    for (const KeyboardKeyPaint& k : keys)
        if (k.keyIndex < 0 || k.keyIndex >= kKeyCount)
            return false;
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        std::vector<KeyColour>& table = Table();
        for (const KeyboardKeyPaint& k : keys) {
            if (static_cast<size_t>(k.keyIndex) >= table.size())
                continue;
            KeyColour& c = table[static_cast<size_t>(k.keyIndex)];
            c.red = k.red;
            c.green = k.green;
            c.blue = k.blue;
        }
    }
    Mirror(false);
    if (m_panelGroup >= 0)
        Store(m_panelGroup);
    QueuePage(true);
    return true;
}

} // namespace nk7x
