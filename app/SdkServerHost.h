// The lighting server for other lighting programs, as the main window runs it: its controllers over
// the window's pages, the server listening where the command line or the settings say (off by
// default), switched on and off from the settings window, and the line that says where it listens.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace nk7x {

class CBrindovaUSBDevice;
class LanguageTexts;
class LightingServer;
class SdkControllers;
class SettingsStore;

struct SdkServerHostContext {
    // Every page, in the window's order.
    std::function<std::vector<CBrindovaUSBDevice*>()> pages;
    // The English texts: the key names clients see are English whatever the window shows.
    QString englishTextsPath;
    SettingsStore* store = nullptr; // whether it runs, and on which port
    const LanguageTexts* texts = nullptr;
    // --sdk-server: runs for this start on that address (empty: the default port on loopback),
    // whatever the settings say.
    std::optional<QString> commandLine;
    // The number of connected programs changed.
    std::function<void()> clientsChanged;
};

class SdkServerHost {
  public:
    // Makes the controllers and the server, which listens when the command line or the settings
    // ask for it.
    explicit SdkServerHost(SdkServerHostContext context);
    ~SdkServerHost();

    LightingServer* Server() const { return m_server.get(); }
    bool Listening() const;
    // On or off from now on and in the settings; false when it could not start (State says why).
    bool Set(bool on);
    // Where it listens and how many programs are connected, or why it cannot; empty while off.
    QString State() const;

  private:
    SdkServerHostContext m_ctx;
    std::unique_ptr<SdkControllers> m_controllers;
    // After the controllers: the server goes first, while what it reaches is there.
    std::unique_ptr<LightingServer> m_server;
    QString m_address; // what the server was last asked to listen on
};

} // namespace nk7x
