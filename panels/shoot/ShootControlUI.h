// CShootControlUI: the shoot-pattern editor of a mouse page. It edits one bullet of one gun's
// pattern at a time; the pattern files are its only store and are read again for every show and
// save. User actions reach it through the main window's routes (ShootRoutes).
#pragma once

#include "panels/shoot/ShootPattern.h"
#include "panels/shoot/ShootPatternFiles.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <string>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace nk7x {

class ControlFactory;
class LanguageTexts;
class ShootPatternView;

// The layout class of the panel's root, the layout item class whose content builds it, and the
// layout file.
inline constexpr const char* kShootControlClass = "ShootControl";
inline constexpr const char* kShootContentClass = "ShootKeySetControlUI";
inline constexpr const char* kShootControlLayout = "XML\\CustomControlXML\\ShootControl.xml";
inline constexpr const char* kShootPatternViewClass = "ShootPatternView";

class CShootControlUI : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kGunCount = kShootGunCount;
    static constexpr int kBulletCount = kShootBulletCount;

    explicit CShootControlUI(QWidget* parent = nullptr);

    // The page's kind folder (the user's pattern files) and the default data folder.
    void SetPatternFolder(const std::string& folder) { m_folder = folder; }
    void SetDefaultPatternFolder(const std::string& folder) { m_defaultFolder = folder; }
    const std::string& PatternFolder() const { return m_folder; }
    const std::string& DefaultPatternFolder() const { return m_defaultFolder; }
    // The user's file of `gun`, and its default copy; empty when the folder is not set.
    std::string PatternPath(int gun) const;
    std::string DefaultPatternPath(int gun) const;

    // Texts for the direction captions; null shows the keys. Borrowed.
    void SetLanguageTexts(const LanguageTexts* texts);

    // Looks up every control, then restores each gun whose file is missing or no pattern from its
    // default copy. False when the layout lacks a control (they are logged); the panel leaves
    // those out.
    bool InitControls();

    // Options change without notifications.
    void SelectGun(int gun);
    int SelectedGun() const { return m_gun; }
    // Also shows the bullet; -1 until the page selects one.
    void SelectBullet(int bullet);
    int SelectedBullet() const { return m_bullet; }
    void SelectPreviousBullet();
    void SelectNextBullet();

    void ShowBullet(int gun, int bullet);
    void ShowCurrentBullet();

    // Writes the edit boxes and direction checks into the bullet's six events. The boxes then show
    // the numbers written (clamped to what an event carries). False when nothing was written
    // (gun or bullet out of range, no folder, or the file could not be written).
    bool SaveBullet(int gun, int bullet);
    bool SaveCurrentBullet();

    // Restores the gun's file from its default copy (an empty pattern when there is none) and
    // shows the selected bullet again. False when the file could not be written.
    bool ResetPattern(int gun);
    bool ResetCurrentPattern();

    // The selected gun's file from / to `path`. Nothing happens for an empty path. An import of a
    // file that is no pattern is refused and changes nothing. False when nothing was copied;
    // `why` tells the reason.
    bool ImportPattern(const QString& path, ShootFileResult* why = nullptr);
    bool ExportPattern(const QString& path, ShootFileResult* why = nullptr);

    // The captions of the direction checks from their states.
    void UpdateXCaption();
    void UpdateYCaption();

    ShootPatternView* PatternView(int gun) const;

  private:
    QString Text(const char* key) const;
    void SetCheckCaption(QAbstractButton* check, const char* selectedKey, const char* clearedKey);
    // The picture of `gun` from its file.
    void RefreshView(int gun);

    std::string m_folder;
    std::string m_defaultFolder;
    const LanguageTexts* m_texts = nullptr;
    int m_gun = 0;
    int m_bullet = -1;

    std::array<QPointer<QAbstractButton>, kGunCount> m_gunOptions;
    std::array<QPointer<QAbstractButton>, kBulletCount> m_bulletOptions;
    std::array<QPointer<ShootPatternView>, kGunCount> m_views;
    QPointer<QStackedWidget> m_pictures;
    QPointer<QLabel> m_index;
    QPointer<QAbstractButton> m_prev;
    QPointer<QAbstractButton> m_next;
    QPointer<QAbstractButton> m_xCheck;
    QPointer<QAbstractButton> m_yCheck;
    QPointer<QLineEdit> m_xEdit;
    QPointer<QLineEdit> m_yEdit;
    QPointer<QLineEdit> m_delayEdit;
    QPointer<QAbstractButton> m_saveButton;
    QPointer<QAbstractButton> m_resetButton;
    QPointer<QAbstractButton> m_importButton;
    QPointer<QAbstractButton> m_exportButton;
    QPointer<QWidget> m_editLayout;
};

// Makes the panel and its picture known to the control factory under their layout class names.
void RegisterShootControl(ControlFactory& factory);

} // namespace nk7x
