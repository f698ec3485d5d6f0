#include "panels/profile/DeviceProfileUI.h"

#include "ui/UiNotify.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSize>

namespace nk7x {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

CDeviceProfileUI::CDeviceProfileUI(QWidget* parent) : QWidget(parent) {}

CDeviceProfileUI::~CDeviceProfileUI() = default;

// The content is built after the panel exists, so controls are looked up on first use and kept.
QComboBox* CDeviceProfileUI::Combo() {
    if (!m_combo)
        m_combo = qobject_cast<QComboBox*>(
            UiWindow::FindSubControlByName(this, QStringLiteral("device_profile_combo")));
    return m_combo;
}

QLineEdit* CDeviceProfileUI::NameEdit() {
    if (!m_nameEdit)
        m_nameEdit = qobject_cast<QLineEdit*>(
            UiWindow::FindSubControlByName(this, QStringLiteral("device_profile_name_edit")));
    return m_nameEdit;
}

QWidget* CDeviceProfileUI::Menu() {
    if (!m_menu)
        m_menu = UiWindow::FindSubControlByName(this, QStringLiteral("profile_menu_layout"));
    return m_menu;
}

QWidget* CDeviceProfileUI::Tab(int n) {
    if (n < 1 || n > 8)
        return nullptr;
    QPointer<QWidget>& tab = m_tabs[static_cast<std::size_t>(n - 1)];
    if (!tab)
        tab = UiWindow::FindSubControlByName(
            this, QString::fromLatin1(kProfileTabNames[static_cast<std::size_t>(n - 1)]));
    return tab;
}

void CDeviceProfileUI::SetDeviceType(int type) {
    m_list.SetDeviceType(type);
}

void CDeviceProfileUI::SetFolders(const std::string& kindFolder, const std::string& defaultProfilePath) {
    m_list.SetFolders(kindFolder, defaultProfilePath);
}

void CDeviceProfileUI::AppendItem(const std::string& name) {
    QComboBox* combo = Combo();
    if (!combo)
        return;
    const QString text = Q(name);
    QSignalBlocker block(combo);
    combo->addItem(text, text);
    combo->setItemData(combo->count() - 1, QSize(0, kItemHeight), Qt::SizeHintRole);
}

void CDeviceProfileUI::RebuildItems() {
    QComboBox* combo = Combo();
    if (!combo)
        return;
    {
        QSignalBlocker block(combo);
        combo->clear();
    }
    for (const std::string& name : m_list.Names())
        AppendItem(name);
}

ProfileResult CDeviceProfileUI::LoadList() {
    const ProfileResult result = m_list.LoadList();
    RebuildItems();
    // The list has just stored (or tried to store) its selection; storing it again adds nothing.
    (void)SelectProfile(m_list.GetSelectedIndex(), false);
    ApplyTabVisibility();
    return result;
}

int CDeviceProfileUI::GetSelectedIndex() const {
    const QComboBox* combo = Combo();
    return combo ? combo->currentIndex() : -1;
}

ProfileResult CDeviceProfileUI::SelectProfile(int index, bool notify) {
    if (index < 0 || index >= m_list.Count())
        return ProfileResult::Refused;
    if (QComboBox* combo = Combo(); combo && index < combo->count()) {
        {
            QSignalBlocker block(combo);
            combo->setCurrentIndex(index);
        }
        SetNameText(combo->itemText(index));
    }
    const ProfileResult result = m_list.SelectProfile(index);
    if (notify && Combo())
        RaiseNotify(Combo(), QStringLiteral("itemselect"), index);
    return result;
}

QString CDeviceProfileUI::GetNameText() const {
    const QLineEdit* edit = const_cast<CDeviceProfileUI*>(this)->NameEdit();
    return edit ? edit->text() : QString();
}

void CDeviceProfileUI::SetNameText(const QString& text) {
    if (QLineEdit* edit = NameEdit()) {
        QSignalBlocker block(edit);
        edit->setText(text);
    }
}

void CDeviceProfileUI::ShowMenu(bool show) {
    if (QWidget* menu = Menu())
        menu->setVisible(show);
}

bool CDeviceProfileUI::IsMenuShown() const {
    const QWidget* menu = const_cast<CDeviceProfileUI*>(this)->Menu();
    return menu && !menu->isHidden();
}

void CDeviceProfileUI::SelectTab(int n) {
    m_list.SelectTab(n);
    for (int i = 1; i <= 8; ++i) {
        auto* button = qobject_cast<QAbstractButton*>(Tab(i));
        if (!button)
            continue;
        // An exclusive option refuses to be cleared; the group is released for the change.
        QSignalBlocker block(button);
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(i == m_list.SelectedTab());
        button->setAutoExclusive(exclusive);
    }
}

void CDeviceProfileUI::ApplyTabVisibility() {
    for (int i = 1; i <= 8; ++i)
        if (QWidget* tab = Tab(i))
            tab->setVisible(m_list.TabVisible(i));
}

// A failed write can still have changed the list (its file was replaced but could not be flushed),
// so the combo follows what the list holds rather than the result.
void CDeviceProfileUI::AppendNewItems() {
    QComboBox* combo = Combo();
    if (!combo)
        return;
    for (int i = combo->count(); i < m_list.Count(); ++i)
        AppendItem(m_list.Names()[static_cast<std::size_t>(i)]);
}

ProfileResult CDeviceProfileUI::AddProfile() {
    if (!Combo() || Combo()->count() >= kMaxAddedProfiles)
        return ProfileResult::Refused;
    const ProfileResult result = m_list.AddProfile();
    AppendNewItems();
    return result;
}

ProfileResult CDeviceProfileUI::CopyProfile() {
    if (!Combo())
        return ProfileResult::Refused;
    const ProfileResult result = m_list.CopyProfile();
    AppendNewItems();
    return result;
}

ProfileResult CDeviceProfileUI::AddNamedProfile(const QString& name, int copyFrom) {
    if (!Combo())
        return ProfileResult::Refused;
    const ProfileResult result = m_list.AddNamedProfile(name.toStdString(), copyFrom);
    AppendNewItems();
    return result;
}

ProfileResult CDeviceProfileUI::DeleteProfile() {
    QComboBox* combo = Combo();
    if (!combo)
        return ProfileResult::Refused;
    const int removed = m_list.GetSelectedIndex();
    const ProfileResult result = m_list.DeleteProfile();
    if (m_list.Count() == combo->count())
        return result; // refused, or the list file could not be written: nothing was removed
    {
        QSignalBlocker block(combo);
        combo->removeItem(removed);
    }
    // The page follows the profile the list now names as current, which the list file names already.
    (void)SelectProfile(m_list.GetSelectedIndex(), true);
    return result;
}

ProfileResult CDeviceProfileUI::RenameProfile(const QString& name) {
    QComboBox* combo = Combo();
    if (!combo)
        return ProfileResult::Refused;
    const int index = m_list.GetSelectedIndex();
    const ProfileResult result = m_list.RenameProfile(name.toStdString());
    if (index < 0 || index >= combo->count() || index >= m_list.Count())
        return result;
    const QString listed = Q(m_list.Names()[static_cast<std::size_t>(index)]);
    if (combo->itemText(index) != listed) {
        combo->setItemText(index, listed);
        combo->setItemData(index, listed);
        SetNameText(listed);
    }
    return result;
}

ProfileResult CDeviceProfileUI::ImportProfile(const QString& path) {
    if (!Combo())
        return ProfileResult::Refused;
    const ProfileResult result = m_list.ImportProfile(path.toStdString());
    AppendNewItems();
    return result;
}

ProfileResult CDeviceProfileUI::ExportProfile(const QString& path) {
    return m_list.ExportProfile(path.toStdString());
}

ProfileResult CDeviceProfileUI::ResetProfile() {
    return m_list.ResetProfile();
}

} // namespace nk7x
