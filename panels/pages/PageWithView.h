// CPageWithView: a device page that is also its kind's view. The calls every view answers (timers,
// function tabs, live key colours, work handed back to the page's thread) are the page base's own,
// so a kind's page writes only what its kind reports.
#pragma once

#include "panels/pages/BrindovaUSBDevice.h"

#include <functional>
#include <memory>
#include <utility>

namespace nk7x {

template <class View> class CPageWithView : public CBrindovaUSBDevice, public View {
  public:
    // IDeviceView
    void ArmTimer(int timerId, int ms) override { CBrindovaUSBDevice::ArmTimer(timerId, ms); }
    void RunOnOwner(std::function<void()> work) override { RunOnPage(std::move(work)); }
    void SelectFunctionTabs(const FunctionTabs& tabs) override {
        CBrindovaUSBDevice::SelectFunctionTabs(tabs);
    }
    void ShowKeyColour(int keyIndex, uint32_t packedColour, uint8_t brightness) override {
        CBrindovaUSBDevice::ShowKeyColour(keyIndex, packedColour, brightness);
    }

  protected:
    CPageWithView(std::unique_ptr<CDeviceBase> device, QWidget* parent)
        : CBrindovaUSBDevice(std::move(device), parent) {}
};

} // namespace nk7x
