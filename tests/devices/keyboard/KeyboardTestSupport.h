// The world of one keyboard test: an emulated keyboard in a private folder, a private user data
// root, the shipped default data, a keyboard device on the emulator's command interface and a view
// that records what reaches the page.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devices/keyboard/KeyboardDevice.h"
#include "platform/DebugLog.h"
#include "tools/sim/SimDevice.h"

namespace nk7x::test {

class RecordingView : public IKeyboardView {
  public:
    void ArmTimer(int timerId, int ms) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        timers.emplace_back(timerId, ms);
        m_changed.notify_all();
    }
    void SelectFunctionTabs(const FunctionTabs& t) override { tabs.push_back(t); }
    void ShowKeyColour(int, uint32_t, uint8_t) override { ++shownColours; }
    void KeyCaptionsChanged(const std::vector<KeyCaption>& c) override {
        captions = c;
        ++captionUpdates;
    }
    void SettingsChanged(const KeyboardSettingsControls& c, const LightState& l) override {
        controls = c;
        light = l;
        ++settingsUpdates;
    }
    void NameListsChanged(const std::vector<std::string>& m, const LightNameLists&) override {
        macroNames = m;
    }
    void CustomGroupSelected(int g) override { groups.push_back(g); }
    void KeyAssignmentSelected(int k, const KeyAssignment&) override { selectedKeys.push_back(k); }
    void FnKeyEnabled(bool on) override { fnEnabled.push_back(on); }
    void WriteFailed(KeyboardWrite what, LinkResult result) override { failures.emplace_back(what, result); }
    void ProfileSaveFailed() override { ++saveFailures; }

    // Waits until `count` timers were armed; false on time-out.
    bool WaitForTimers(size_t count, int timeoutMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return timers.size() >= count; });
    }
    std::vector<std::pair<int, int>> Timers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return timers;
    }

    std::vector<FunctionTabs> tabs;
    int shownColours = 0;
    std::vector<KeyCaption> captions;
    int captionUpdates = 0;
    KeyboardSettingsControls controls;
    LightState light;
    int settingsUpdates = 0;
    std::vector<std::string> macroNames;
    std::vector<int> groups;
    std::vector<int> selectedKeys;
    std::vector<bool> fnEnabled;
    std::vector<std::pair<KeyboardWrite, LinkResult>> failures;
    int saveFailures = 0;

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<int, int>> timers;
};

// The keyboard with its key events visible.
class TestKeyboard : public CKeyboardDevice {
  public:
    std::vector<std::pair<int, int>> reactiveKeys; // written on the key-event thread
    std::mutex reactiveMutex;
    using CKeyboardDevice::OnNotification;
    ~TestKeyboard() override { StopKeyEventThread(); }

  protected:
    void OnReactiveKey(int keyIndex, int kind) override {
        std::lock_guard<std::mutex> lock(reactiveMutex);
        reactiveKeys.emplace_back(keyIndex, kind);
    }
};

using DebugCaptureLines = DebugCapture;

class KeyboardTest : public ::testing::Test {
  protected:
    // Emulator options of the test; the folder is filled in.
    virtual SimOptions Options() { return {}; }

    void SetUp() override {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-kbd");
        m_root = m_dirs->Path();
        ASSERT_FALSE(m_root.empty());
        SimOptions options = Options();
        options.folder = (m_root / "sim").string();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        m_kbd = std::make_unique<TestKeyboard>();
        m_kbd->SetView(&m_view);
        m_kbd->SetProfileName("profile-one");
        m_kbd->SetLightingName("tavro_light");
        ASSERT_EQ(m_kbd->Link().OpenPath(m_sim->CommandPath()), 1);
    }

    void TearDown() override {
        m_kbd.reset();
        if (m_sim)
            m_sim->Stop();
        m_dirs.reset();
    }

    // Frames the emulator received with command `code` since the log was last cleared.
    std::vector<SimFrameRecord> Frames(uint8_t code) const {
        std::vector<SimFrameRecord> out;
        for (const SimFrameRecord& f : m_sim->FrameLog())
            if (f.command == code)
                out.push_back(f);
        return out;
    }
    std::vector<uint8_t> Commands() const {
        std::vector<uint8_t> out;
        for (const SimFrameRecord& f : m_sim->FrameLog())
            out.push_back(f.command);
        return out;
    }
    std::string KindFolder() const { return (m_root / "data" / "Norla Keys NK-7X" / "keyboard").string(); }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::filesystem::path m_root;
    std::unique_ptr<SimDevice> m_sim;
    RecordingView m_view;
    std::unique_ptr<TestKeyboard> m_kbd;
};

} // namespace nk7x::test
