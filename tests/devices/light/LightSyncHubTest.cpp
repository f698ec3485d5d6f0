// The synchronisation hub: which devices count as flagged, what a step paints on them, the stored
// speed, and devices leaving the hub while a worker steps.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "devices/DeviceBase.h"
#include "devices/PlainDevice.h"
#include "devices/light/LightSyncHub.h"

namespace nk7x::light {
namespace {

class LightSyncHubTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int keys : {5, 3, 4}) {
            auto d = std::make_unique<CPlainDevice>();
            d->SetKeyCount(keys);
            m_devices.push_back(std::move(d));
        }
        m_hub.SetDevices({m_devices[0].get(), m_devices[1].get(), m_devices[2].get()});
    }
    // Open link and background pause as the copy to all devices leaves them.
    void Flag(int i, bool open, bool paused) {
        m_devices[static_cast<size_t>(i)]->Link().SetOpen(open);
        m_devices[static_cast<size_t>(i)]->Link().SetBackgroundPause(paused);
    }
    static CommonEffectSettings Static(uint8_t brightness, uint8_t speed = 0) {
        CommonEffectSettings s;
        s.effect = static_cast<int>(CommonEffect::Static);
        s.brightness = brightness;
        s.speed = speed;
        s.red = 10;
        s.green = 20;
        s.blue = 30;
        return s;
    }
    std::vector<KeyColour> Colours(int i) { return m_devices[static_cast<size_t>(i)]->KeyColours(); }

    ManualLightClock m_clock{0};
    LightSyncHub m_hub{m_clock};
    std::vector<std::unique_ptr<CDeviceBase>> m_devices;
};

TEST_F(LightSyncHubTest, AnyFlaggedNeedsAnOpenLinkWithThePauseSet) {
    EXPECT_FALSE(m_hub.AnyFlagged());
    Flag(1, true, false);
    EXPECT_FALSE(m_hub.AnyFlagged());
    Flag(2, false, true);
    EXPECT_FALSE(m_hub.AnyFlagged());
    Flag(2, true, true);
    EXPECT_TRUE(m_hub.AnyFlagged());
    Flag(2, true, false); // a normal mode chosen for it
    EXPECT_FALSE(m_hub.AnyFlagged());
    Flag(0, true, true);
    EXPECT_TRUE(m_hub.AnyFlagged());
    m_hub.SetDevices({m_devices[1].get(), nullptr});
    EXPECT_FALSE(m_hub.AnyFlagged());
}

TEST_F(LightSyncHubTest, AStepPaintsEveryKeyOfTheFlaggedOpenDevicesOnly) {
    Flag(0, true, true);
    Flag(1, true, false);
    Flag(2, false, true);
    const KeyColour untouched{1, 2, 3, 4};
    for (int i = 0; i < 3; ++i)
        for (auto& c : m_devices[static_cast<size_t>(i)]->KeyColours())
            c = untouched;
    m_hub.Store(Static(2));
    EXPECT_EQ(m_hub.Stored(), Static(2));
    m_hub.Step();
    EXPECT_EQ(Colours(0), std::vector<KeyColour>(5, KeyColour{10, 20, 30, 135}));
    EXPECT_EQ(Colours(1), std::vector<KeyColour>(3, untouched));
    EXPECT_EQ(Colours(2), std::vector<KeyColour>(4, untouched));
}

TEST_F(LightSyncHubTest, NothingStoredPaintsNothingAndOffPaintsBlack) {
    Flag(0, true, true);
    for (auto& c : m_devices[0]->KeyColours())
        c = {9, 9, 9, 9};
    m_hub.Step();
    EXPECT_EQ(Colours(0), std::vector<KeyColour>(5, KeyColour{9, 9, 9, 9}));
    CommonEffectSettings off = Static(4);
    off.effect = static_cast<int>(CommonEffect::Off);
    m_hub.Store(off);
    m_hub.Step();
    EXPECT_EQ(Colours(0), std::vector<KeyColour>(5, KeyColour{}));
}

TEST_F(LightSyncHubTest, TheStoredEffectCarriesOnAcrossSteps) {
    Flag(1, true, true);
    CommonEffectSettings spectrum = Static(4);
    spectrum.effect = static_cast<int>(CommonEffect::Spectrum);
    m_hub.Store(spectrum);
    m_hub.Step();
    m_hub.Step();
    const Rgb w = kWheel[2];
    EXPECT_EQ(Colours(1), std::vector<KeyColour>(3, KeyColour{w.r, w.g, w.b, 255}));
}

TEST_F(LightSyncHubTest, SpeedIndexIsTheStoredOneWithinRange) {
    EXPECT_EQ(m_hub.SpeedIndex(), 0);
    m_hub.Store(Static(1, 3));
    EXPECT_EQ(m_hub.SpeedIndex(), 3);
    m_hub.Store(Static(1, 4));
    EXPECT_EQ(m_hub.SpeedIndex(), 4);
    m_hub.Store(Static(1, 9));
    EXPECT_EQ(m_hub.SpeedIndex(), 0);
}

// A device is taken off the list and destroyed while a worker keeps stepping: nothing may reach it
// afterwards (the sanitizer build catches a late write).
TEST_F(LightSyncHubTest, ADeviceThatLeftTheHubIsNeverPaintedAgain) {
    CommonEffectSettings spectrum = Static(4);
    spectrum.effect = static_cast<int>(CommonEffect::Spectrum);
    m_hub.Store(spectrum);
    std::atomic<bool> stop{false};
    std::atomic<int> steps{0};
    std::thread worker([&] {
        while (!stop.load()) {
            if (m_hub.AnyFlagged())
                m_hub.Step();
            ++steps;
        }
    });
    for (int round = 0; round < 50; ++round) {
        auto d = std::make_unique<CPlainDevice>();
        d->SetKeyCount(126);
        d->Link().SetOpen(true);
        d->Link().SetBackgroundPause(true);
        m_hub.SetDevices({d.get(), m_devices[0].get()});
        const int seen = steps.load();
        while (steps.load() < seen + 2)
            std::this_thread::yield();
        m_hub.SetDevices({m_devices[0].get()});
        const KeyColour last = d->GetKeyColour(125);
        EXPECT_EQ(last.alpha, 255); // it was painted while listed
        const int after = steps.load();
        while (steps.load() < after + 2)
            std::this_thread::yield();
        EXPECT_EQ(d->GetKeyColour(125), last);
        d.reset();
    }
    stop = true;
    worker.join();
}

} // namespace
} // namespace nk7x::light
