// CMagicControlUI: the headset's voice-effect panel: the effect's switch and its four voices. It
// only shows values and reports what the user does as its controls' notifications; the headset
// page decides what they do (through SoundRoutes).
#pragma once

#include "devices/headset/audio/AudioChip.h"
#include "link/DeviceKind.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QAbstractButton;

namespace nk7x {

// The layout class of the panel's root, the layout item class whose content builds it, and the
// layout file.
inline constexpr const char* kMagicControlClass = "MagicControl";
inline constexpr const char* kMagicContentClass = "MagicSetControlUI";
inline constexpr const char* kMagicControlLayout = "XML\\CustomControlXML\\MagicControl.xml";

class CMagicControlUI : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kChoiceCount = 4;

    explicit CMagicControlUI(QWidget* parent = nullptr);

    void SetLayoutStyle(DeviceKind kind) { m_style = kind; }
    DeviceKind LayoutStyle() const { return m_style; }

    // Without the voice effect the panel shows why instead of its controls. Until this is called
    // every feature counts as there.
    void SetFeatureSupport(const std::array<bool, kFeatureCount>& supported);
    bool Supports(Feature feature) const { return m_supported[static_cast<std::size_t>(feature)]; }

    // Selects or clears the switch without a notification; the choices are enabled to match.
    void ShowMagicEnabled(bool on);
    // The choices alone.
    void EnableMagicChoices(bool on);
    // False when the switch is missing.
    bool IsMagicEnabled() const;
    // Shows voice 1..4 as the only one selected, without notifications; any other value clears
    // all four and is kept as 0.
    void ShowMagicType(int choice);
    int MagicType() const { return m_type; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Finds the controls once, on first use; a missing one stays null.
    void LookUp() const;

    DeviceKind m_style = DeviceKind::Headset;
    std::array<bool, kFeatureCount> m_supported;
    int m_type = 0;

    mutable bool m_lookedUp = false;
    mutable QPointer<QAbstractButton> m_enable;
    mutable QPointer<QWidget> m_choices;
    mutable std::array<QPointer<QAbstractButton>, kChoiceCount> m_options;
    mutable QPointer<QWidget> m_content;
    mutable QPointer<QWidget> m_notice;
};

} // namespace nk7x
