// CMpDevicePowerUI: a device's power indicator in the main window: battery level, charging and
// wireless state and, on a mouse pad, the kind of phone lying on it, from the device's status record.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <cstdint>

class QLabel;
class QProgressBar;

namespace nk7x {

class LanguageTexts;

class CMpDevicePowerUI : public QWidget {
    Q_OBJECT
  public:
    static constexpr std::size_t kMaxStatusBytes = 64;

    explicit CMpDevicePowerUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("MpDevicePower"); }

    // Texts for the phone tooltip (borrowed, may be null: the key itself is shown until the
    // window's next language reload).
    void SetLanguageTexts(const LanguageTexts* texts) { m_texts = texts; }

    // The toolkit's activate operation: a "selectchanged" from the indicator itself.
    bool Activate();

    void SetKindRole(int kind, int role);
    int GetKind() const { return m_kind; }
    int GetRole() const { return m_role; }

    // Shows or hides "device_power_Layout".
    void ShowPowerLayout(bool show);

    // Shows a status record: byte 0 level, 1 power state, 3 wireless flag, 5 phone type. At most 64
    // bytes are read; missing bytes count as 0. Does nothing unless all five controls exist.
    void ShowStatus(const uint8_t* record, std::size_t length);

    // The background image string a control was last given ("file='power/...'"), property "bkimage".
    static QString BackgroundImage(const QWidget* control);

  private:
    QWidget* Find(const char* name);
    void SetBackgroundImage(QWidget* control, const QString& imageString);

    const LanguageTexts* m_texts = nullptr;
    int m_kind = 0;
    int m_role = 0;
};

} // namespace nk7x
