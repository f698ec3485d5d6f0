// CKeyboardCustomColours: the keyboard's custom per-key colours (lighting mode 19): the groups the
// profile keeps, the edits of the lighting panel on the per-key table, and the lighting page that
// carries them to the keyboard, three bytes per located LED.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "devices/keyboard/KeyboardContext.h"
#include "devices/keyboard/KeyboardKeyMap.h"
#include "devices/keyboard/KeyboardLightPreview.h"
#include "devices/keyboard/KeyboardRecords.h"

namespace nk7x {

inline constexpr int kLightingPageBytes = 512;

// One key's custom colour as an outside edit gives it.
struct KeyboardKeyPaint {
    int keyIndex;
    uint8_t red, green, blue;
};

class CKeyboardCustomColours {
  public:
    // `tableLock` guards the entries of the device's per-key table.
    CKeyboardCustomColours(CKeyboardContext& context, const CKeyboardKeyMap& keyMap,
                           CKeyboardLightPreview& preview, std::mutex& tableLock)
        : m_ctx(context), m_keyMap(keyMap), m_preview(preview), m_tableLock(tableLock) {}

    // The lighting panel's edits, as CKeyboardDevice describes them (SendCustomColors, EnterCustomMode,
    // SelectCustomGroup, FillCustomColors, SetCustomKeyColor, PaintCustomKeys).
    LinkResult Send();
    void Enter();
    void SelectGroup(int group);
    void Fill(bool on);
    void SetKey(int keyIndex);
    bool Paint(const std::vector<KeyboardKeyPaint>& keys);
    // The group the lighting panel shows; -1 before the custom mode was entered or a group chosen.
    int PanelGroup() const { return m_panelGroup; }

  private:
    std::vector<KeyColour>& Table() { return m_ctx.Device().KeyColours(); }
    bool InCustomMode() const { return m_ctx.Device().GetLightSettings().mode == kCustomLightMode; }
    void Mirror(bool withAlpha);
    // The table's colours into the profile's group `group` (saved).
    void Store(int group);
    // The lighting page of the custom colours (3 bytes per located LED), scaled by alpha or not.
    std::vector<uint8_t> Page(bool scaled, size_t& length);
    // Through the worker: the live page scaled by brightness, or one key's colour unscaled.
    void QueuePage(bool scaled);
    // The page write itself, on whichever thread sends it; a failed scaled page pauses the sender
    // before the next frame.
    LinkResult TransferPage(const std::vector<uint8_t>& page, size_t length, int group, bool scaled);

    CKeyboardContext& m_ctx;
    const CKeyboardKeyMap& m_keyMap;
    CKeyboardLightPreview& m_preview;
    std::mutex& m_tableLock;
    int m_panelGroup = -1;
};

} // namespace nk7x
