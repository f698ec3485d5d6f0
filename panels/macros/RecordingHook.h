// The input hook of recordings and key picking: the evdev backend where it can hook, else the
// window grab, with every event handed to the UI thread (cursor position filled in where the
// backend cannot know it), and the choice said in words the macro panel shows.
#pragma once

#include "platform/input/InputHook.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace nk7x {

class RecordingHook : public QObject {
    Q_OBJECT
  public:
    // `preferred` is tried first; `fallback` (may be null) when it cannot hook.
    RecordingHook(std::unique_ptr<IInputHook> preferred, std::unique_ptr<IInputHook> fallback,
                  QObject* parent = nullptr);
    ~RecordingHook() override;

    using Handler = std::function<void(const InputEvent&)>;
    // Installs a backend for `mode`; `handler` gets the events on the UI thread, in order, and none
    // after Uninstall. Without `allowFallback` only the preferred backend is tried. False when no
    // backend could hook (Details() says why).
    bool Install(HookMode mode, Handler handler, bool allowFallback = true);
    void Uninstall();
    bool Installed() const { return m_active != nullptr; }
    HookMode Mode() const { return m_mode; }
    // The backend in use; null when none.
    IInputHook* Active() const { return m_active; }
    bool UsesFallback() const { return m_active && m_active == m_fallback.get(); }

    // What is recorded, as a language key: all keyboards and mice, or this window only.
    QString SourceTextKey() const;
    // The backend's name, its limitations and why the preferred one could not hook (English).
    QString Details() const;

  private:
    void Deliver(unsigned generation, InputEvent event);

    std::unique_ptr<IInputHook> m_preferred;
    std::unique_ptr<IInputHook> m_fallback;
    IInputHook* m_active = nullptr;
    HookMode m_mode = HookMode::Record;
    Handler m_handler;
    std::string m_preferredError;
    // Events queued for the UI thread before an Uninstall carry an older generation and are dropped.
    unsigned m_generation = 0;
};

} // namespace nk7x
