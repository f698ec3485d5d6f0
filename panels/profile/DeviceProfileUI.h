// The profile panel of a device page: the profile combo, the name field and its menu, and the tab
// options, kept in step with the kind's profile list (the combo item i is always list element i).
#pragma once

#include "profiles/ProfileList.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <string>

class QComboBox;
class QLineEdit;

namespace nk7x {

class CDeviceProfileUI : public QWidget {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("DeviceProfileUI"); }
    static constexpr int kItemHeight = 30;

    explicit CDeviceProfileUI(QWidget* parent = nullptr);
    ~CDeviceProfileUI() override;

    // Device type: keyboard 1, mouse 2, mouse pad 3, headset 7.
    void SetDeviceType(int type);
    int DeviceType() const { return m_list.DeviceType(); }
    void SetFolders(const std::string& kindFolder, const std::string& defaultProfilePath);

    // Reads the list (rebuilding it when missing), fills the combo, selects the listed profile
    // without notification and shows the tab options of the device type. The list's result:
    // WriteFailed when a repair or a first list could not be written (the combo then shows what the
    // disk holds).
    ProfileResult LoadList();

    // Combo selection, -1 when none.
    int GetSelectedIndex() const;
    // The UUID of the profile last selected through SelectProfile.
    std::string GetSelectedUUID() const { return m_list.GetSelectedUUID(); }

    // Selects combo item `index` (raising the combo's "itemselect" only with `notify`), copies its
    // text into the name field and makes it the list's selection. Out of range does nothing
    // (Refused); WriteFailed when the selection could not be stored for the next start.
    ProfileResult SelectProfile(int index, bool notify);

    QString GetNameText() const;
    void SetNameText(const QString& text);

    void ShowMenu(bool show);
    bool IsMenuShown() const;

    // Checks tab option n (1-8) and clears the others without notification; other n clear all.
    void SelectTab(int n);
    int SelectedTab() const { return m_list.SelectedTab(); }

    // The operations; each returns the profile list's result (WriteFailed when a file could not be
    // written) and keeps the combo in step with the list.
    ProfileResult AddProfile();
    ProfileResult CopyProfile();
    // A profile named `name` at the end of the list and the combo (see ProfileList::AddNamedProfile).
    ProfileResult AddNamedProfile(const QString& name, int copyFrom);
    // After removing the selected profile the combo selects the one now listed as current and
    // raises its "itemselect", so the page switches to it.
    ProfileResult DeleteProfile();
    // Refused also without a combo.
    ProfileResult RenameProfile(const QString& name);
    ProfileResult ImportProfile(const QString& path);
    ProfileResult ExportProfile(const QString& path);
    ProfileResult ResetProfile();

    const ProfileList& List() const { return m_list; }
    // Path of the selected profile's file; empty when none.
    std::string SelectedProfilePath() const { return m_list.SelectedProfilePath(); }

  private:
    QComboBox* Combo();
    QComboBox* Combo() const { return const_cast<CDeviceProfileUI*>(this)->Combo(); }
    QLineEdit* NameEdit();
    QWidget* Menu();
    QWidget* Tab(int n);
    void AppendItem(const std::string& name);
    void AppendNewItems();
    void RebuildItems();
    void ApplyTabVisibility();

    ProfileList m_list;
    QPointer<QComboBox> m_combo;
    QPointer<QLineEdit> m_nameEdit;
    QPointer<QWidget> m_menu;
    std::array<QPointer<QWidget>, 8> m_tabs;
};

} // namespace nk7x
