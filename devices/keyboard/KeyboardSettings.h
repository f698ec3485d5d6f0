// CKeyboardSettings: the keyboard's settings record as its page keeps it: the read and the write over
// the command link, the mirror of the record last read, the system settings whose flags travel in
// the record, and the forced-red flag a notification raises for the next read.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "devices/keyboard/KeyboardContext.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "devices/keyboard/KeyboardView.h"

namespace nk7x {

// One settings read: the record index at byte 0 of the parameter area, then the record it names.
struct KeyboardSettingsRead {
    LinkResult result = kResultFailed;
    uint8_t index = 0;
    std::array<uint8_t, KeyboardSettingsRecord::kSize> bytes{};
};

class CKeyboardSettings {
  public:
    using Bytes = std::array<uint8_t, KeyboardSettingsRecord::kSize>;

    explicit CKeyboardSettings(CKeyboardContext& context) : m_ctx(context) {}

    // The transfers alone (any thread; the link only). Lifts the link's background pause.
    KeyboardSettingsRead Fetch();
    // A read that succeeded (page's thread): into the mirror and the index, with the forced red
    // laid over its colour once. Nothing, and nothing changes, for a failed read.
    std::optional<KeyboardSettingsRecord> TakeRead(const KeyboardSettingsRead& read);
    // The lighting fields the record carries, laid over `light`.
    static LightState WithRecordLight(LightState light, const KeyboardSettingsRecord& record);
    // The flags the record carries, into the system settings of the device and the profile.
    void TakeRecordFlags(const KeyboardSystemStages& flags);

    // The profile's record `n` with byte 0 = `byte0` to the keyboard; see CKeyboardDevice.
    LinkResult Write(int n, uint8_t byte0);
    void QueueWrite(int n, uint8_t byte0);

    const KeyboardSettingsRecord& Mirror() const { return m_mirror; }
    uint8_t Index() const { return m_index; }
    // Raised on the key-event thread, taken by the next read.
    void SetForcedRed() { m_forcedRed.store(true, std::memory_order_release); }
    bool ForcedRed() const { return m_forcedRed.load(std::memory_order_acquire); }

    const KeyboardSystemStages& Stages() const { return m_stages; }
    // Into the device and the profile alike (not saved, nothing sent).
    void SetStages(const KeyboardSystemStages& stages);
    // The profile's system settings, after a load or a restore.
    void TakeStagesFromProfile() { m_stages = m_ctx.Profile().GetSystemStages(); }
    KeyboardSettingsControls Controls() const;

  private:
    // The profile's settings as the record the keyboard takes.
    Bytes ProfileBytes(uint8_t byte0);
    LinkResult Transfer(int n, const Bytes& bytes);

    CKeyboardContext& m_ctx;
    KeyboardSystemStages m_stages;
    KeyboardSettingsRecord m_mirror;
    uint8_t m_index = 0;
    std::atomic<bool> m_forcedRed{false};
};

} // namespace nk7x
