// The connected devices as the lighting server's controllers: each page with an open link is one,
// the keyboard a matrix of its keys where they sit on the board, the others a row of LEDs; their
// modes are the device's own lighting modes and a direct mode. What a client changes goes where
// the window's changes go: a mode through the lighting panel's store, direct colours through the
// device's live frames, paced at the device's frame period.
#pragma once

#include "app/sdk/SdkProtocol.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace nk7x {

class CBrindovaUSBDevice;
class CDeviceBase;

struct SdkControllersContext {
    // Every page, in the window's order.
    std::function<std::vector<CBrindovaUSBDevice*>()> pages;
    // The English texts ("lang/lan_en.json"): key names are English whatever the window shows.
    QString englishTextsPath;
};

class SdkControllers : public QObject, public sdk::Host {
    Q_OBJECT
  public:
    explicit SdkControllers(SdkControllersContext context, QObject* parent = nullptr);
    ~SdkControllers() override;

    std::size_t ControllerCount() override;
    sdk::Controller Describe(std::size_t controller) override;
    std::vector<uint32_t> ZoneLedCounts(std::size_t controller) override;
    void SetColours(std::size_t controller, std::size_t first, std::span<const sdk::Colour> colours) override;
    void SetCustomMode(std::size_t controller) override;
    void SetMode(std::size_t controller, std::size_t modeIndex, const sdk::Mode& mode, bool save) override;

    // The device of each controller, in controller order.
    std::vector<CBrindovaUSBDevice*> Controllers() const;

  private:
    // Sends the device's direct colours now when its last frame is a frame period old, else once
    // that period is over.
    void Pace(CDeviceBase& device);
    void SendNow(CDeviceBase& device);
    // The English names of the keyboard's keys ("Key: Esc"), by key index.
    const std::vector<std::string>& KeyNames();

    SdkControllersContext m_ctx;
    std::vector<std::string> m_keyNames; // per key index; empty where the keyboard shows none
    struct Pacing {
        std::chrono::steady_clock::time_point last{};
        bool scheduled = false;
    };
    std::map<CDeviceBase*, Pacing> m_pacing;
};

} // namespace nk7x
