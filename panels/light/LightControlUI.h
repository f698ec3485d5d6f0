// CLightControlUI: the lighting editor of a device page. It shows a LightState in its controls and
// lays itself out for the selected mode; what the user picks reaches the hosting window as
// notifications of the controls, never handled here.
#pragma once

#include "link/DeviceKind.h"
#include "profiles/LightNames.h"
#include "profiles/ProfileRecords.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QAbstractButton;
class QAbstractSlider;
class QComboBox;
class QLineEdit;

namespace nk7x {

class LanguageTexts;
class CColorPaletteUI;

// The layout class name of the panel in layout files, and its layout file.
inline constexpr const char* kLightControlClass = "LightSetControlUI";
inline constexpr const char* kLightControlLayout = "XML\\CustomControlXML\\LightControl.xml";

class CLightControlUI : public QWidget {
    Q_OBJECT
  public:
    explicit CLightControlUI(QWidget* parent = nullptr);
    ~CLightControlUI() override;

    // The kind of device the panel edits; selects the enabling table.
    void SetLayoutStyle(DeviceKind kind) { m_style = kind; }
    DeviceKind LayoutStyle() const { return m_style; }

    // Texts of the language; mode names and direction captions are keys translated through them.
    // Null shows the keys themselves. Borrowed; re-translates what is shown.
    void SetLanguageTexts(const LanguageTexts* texts);

    // Empties the mode list and adds one item per name (user data = the name, text its translation),
    // hidden where its flag is false; sets the maxima of the brightness and speed sliders.
    void FillModes(const std::vector<std::string>& names, const std::vector<bool>& visible, int maxBrightness,
                   int maxSpeed);
    void FillModes(const std::vector<LightModeName>& modes, int maxBrightness, int maxSpeed);

    // Shows a state in every control without raising notifications (but the multi-colour check,
    // see SetMultiColor) and re-lays the panel out for its mode.
    void ShowLightSettings(const LightState& state);

    void SelectMode(int mode);
    int GetMode();
    void SetBrightness(int value);
    int GetBrightness();
    void SetSpeed(int value);
    int GetSpeed();
    // The largest brightness and speed the sliders offer for the device's modes.
    int MaxBrightness();
    int MaxSpeed();
    void SetRedText(const QString& text);
    QString GetRedText();
    void SetGreenText(const QString& text);
    QString GetGreenText();
    void SetBlueText(const QString& text);
    QString GetBlueText();
    void SelectSecondaryMode(int index);
    int GetSecondaryMode();
    void SelectCustomGroupItem(int index);
    int GetCustomGroupItem();

    // Colours are 0xAARRGGBB.
    void SetPaletteColor(uint32_t colour);
    uint32_t GetPaletteColor();
    uint32_t GetPresetColor(int n);
    void SetColorButton(uint32_t colour);

    bool IsMultiColor();
    // Sets the check as a user click would: a change raises "selectchanged".
    void SetMultiColor(bool on);
    // Selects the direction option (non-zero: "deng_FXL_check") without notification.
    void SetDirection(bool on);

    void SetSameModeAvailable(bool available);
    bool SameModeAvailable() const { return m_sameModeAvailable; }

    // Applies the enabling table of the layout style for the mode.
    void Relayout(int mode);

    // From this width on the colour controls stand beside the mode controls, not below them.
    static constexpr int kSideBySideWidth = 560;
    // From this width on the colour values and actions take a third column, so that a short
    // panel shows everything without scrolling.
    static constexpr int kThreeColumnWidth = 780;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ArrangeColumns();
    // Moves the colour values and actions into the third column or back under the colour field.
    void ArrangeThirdColumn(bool three);
    // The brightness and speed captions share one width that shows the longer of the two whole, in
    // any language and at any scale (the layout's fixed width was narrower than some texts).
    void FitCaptionColumn();
    QWidget* Control(QWidget*& cache, const char* name);
    QComboBox* ModeCombo();
    QAbstractSlider* Slider(QAbstractSlider*& cache, const char* name);
    QLineEdit* Edit(QLineEdit*& cache, const char* name);
    QComboBox* Combo(QComboBox*& cache, const char* name);
    QAbstractButton* Button(QAbstractButton*& cache, const char* name);
    CColorPaletteUI* Palette();
    void SetEditText(QLineEdit* edit, const QString& text);
    void SetCaptions(const char* leftKey, const char* rightKey);
    void TranslateModes();
    QString Text(const QString& key) const;

    DeviceKind m_style = DeviceKind::Keyboard;
    bool m_sameModeAvailable = false;
    const LanguageTexts* m_texts = nullptr;

    QComboBox* m_modeCombo = nullptr;
    QAbstractSlider* m_brightSlider = nullptr;
    QAbstractSlider* m_speedSlider = nullptr;
    QLineEdit* m_editR = nullptr;
    QLineEdit* m_editG = nullptr;
    QLineEdit* m_editB = nullptr;
    CColorPaletteUI* m_palette = nullptr;
    QWidget* m_colorButton = nullptr;
    QAbstractButton* m_multiCheck = nullptr;
    QAbstractButton* m_leftOption = nullptr;
    QAbstractButton* m_rightOption = nullptr;
    QComboBox* m_secondaryCombo = nullptr;
    QComboBox* m_customCombo = nullptr;
    QAbstractButton* m_sameMode = nullptr;
    // Enabling groups, in the order of LightGroup.
    std::vector<QWidget*> m_groups;
};

} // namespace nk7x
