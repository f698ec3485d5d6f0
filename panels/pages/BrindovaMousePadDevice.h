// CBrindovaMousePadDevice: the lighted mouse pad's device page. It owns the pad's device object,
// draws the pad with the live colours of its LEDs around the edge, holds the profile and lighting
// panels, and hands the pad's status record to its power indicator.
#pragma once

#include "devices/mousepad/MousePadDevice.h"
#include "panels/pages/PageWithView.h"

namespace nk7x {

class CBrindovaMousePadDevice : public CPageWithView<IMousePadView> {
    Q_OBJECT
  public:
    // LEDs drawn on the pad and streamed to it.
    static constexpr int kLedCount = kMousePadLedCount;

    explicit CBrindovaMousePadDevice(QWidget* parent = nullptr);
    ~CBrindovaMousePadDevice() override;

    static QString ClassName() { return QStringLiteral("BrindovaMousePadDevice"); }

    CMousePadDevice& Pad() { return *m_pad; }

    void LoadContent() override;
    // Collects the LED buttons of "mousepad_device_key_light" and sets up the two panels.
    void BuildPage();
    void Shutdown() override;
    void OnDeviceRemoved() override;
    int ConnectsDone() const { return m_connectsDone; }

    // IStreamedLightView
    void LightNamesChanged(const LightNameLists& names) override;
    void StatusChanged(const DeviceStatusBytes& status) override;
    // IMousePadView
    void PadLightChanged(const LightState& light) override;
    void PadWriteFailed(LinkResult result) override;

  private:
    class PagePad;

    CMousePadDevice* m_pad = nullptr; // owned by the base as its device
    int m_connectsDone = 0;
};

} // namespace nk7x
