#include "panels/shoot/ShootControlUI.h"

#include "panels/shoot/ShootPatternView.h"
#include "platform/DebugLog.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/QuietControls.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>

#include <algorithm>
#include <memory>

namespace nk7x {
namespace {

// Captions of the direction checks: selected, then cleared.
constexpr const char* kLeftKey = "mouse_move_to_left_text";
constexpr const char* kRightKey = "mouse_move_to_right_text";
constexpr const char* kUpKey = "mouse_move_to_up_text";
constexpr const char* kDownKey = "mouse_move_to_down_text";

constexpr int kMoveDigits = 3;  // 0..255
constexpr int kDelayDigits = 5; // 0..65535

QString Name(const char* prefix, int n) {
    return QString::fromLatin1(prefix) + QString::number(n);
}

} // namespace

CShootControlUI::CShootControlUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground, true);
}

std::string CShootControlUI::PatternPath(int gun) const {
    if (m_folder.empty() || gun < 0 || gun >= kGunCount)
        return {};
    return ShootPatternPath(m_folder, gun);
}

std::string CShootControlUI::DefaultPatternPath(int gun) const {
    if (m_defaultFolder.empty() || gun < 0 || gun >= kGunCount)
        return {};
    return ShootPatternPath(m_defaultFolder, gun);
}

void CShootControlUI::SetLanguageTexts(const LanguageTexts* texts) {
    m_texts = texts;
    UpdateXCaption();
    UpdateYCaption();
}

QString CShootControlUI::Text(const char* key) const {
    const QString k = QString::fromLatin1(key);
    return m_texts ? m_texts->Text(k) : k;
}

bool CShootControlUI::InitControls() {
    QStringList missing;
    auto find = [this, &missing](const QString& name) {
        QWidget* w = UiWindow::FindSubControlByName(this, name);
        if (!w)
            missing << name;
        return w;
    };
    auto button = [&find, &missing](const QString& name) {
        QWidget* w = find(name);
        auto* b = qobject_cast<QAbstractButton*>(w);
        if (w && !b)
            missing << name;
        return b;
    };
    auto edit = [&find, &missing](const char* name) {
        QWidget* w = find(QString::fromLatin1(name));
        auto* e = qobject_cast<QLineEdit*>(w);
        if (w && !e)
            missing << QString::fromLatin1(name);
        return e;
    };
    for (int g = 0; g < kGunCount; ++g)
        m_gunOptions[static_cast<std::size_t>(g)] = button(Name("shoot_gun_op_", g));
    for (int b = 0; b < kBulletCount; ++b)
        m_bulletOptions[static_cast<std::size_t>(b)] = button(Name("bullet_op_", b));
    m_pictures = qobject_cast<QStackedWidget*>(find(QStringLiteral("shoot_image_display_switch")));
    m_index = qobject_cast<QLabel*>(find(QStringLiteral("bullet_select_index")));
    m_prev = button(QStringLiteral("bullet_selected_prev"));
    m_next = button(QStringLiteral("bullet_selected_next"));
    m_xCheck = button(QStringLiteral("bullet_x_check"));
    m_yCheck = button(QStringLiteral("bullet_y_check"));
    m_xEdit = edit("bullet_x_eidt");
    m_yEdit = edit("bullet_y_eidt");
    m_delayEdit = edit("bullet_delay_eidt");
    m_saveButton = button(QStringLiteral("shootdate_save_btn"));
    m_resetButton = button(QStringLiteral("shootdate_reset_btn"));
    m_importButton = button(QStringLiteral("shootdate_import_btn"));
    m_exportButton = button(QStringLiteral("shootdate_export_btn"));
    m_editLayout = find(QStringLiteral("bullet_edit_layout"));
    // Page g of the picture switch holds the picture of gun g.
    for (int g = 0; g < kGunCount; ++g) {
        QWidget* page = m_pictures && g < m_pictures->count() ? m_pictures->widget(g) : nullptr;
        ShootPatternView* view = qobject_cast<ShootPatternView*>(page);
        if (page && !view)
            view = page->findChild<ShootPatternView*>();
        m_views[static_cast<std::size_t>(g)] = view;
        if (!view)
            missing << Name("shoot_image_display_switch page ", g);
    }

    // The boxes take what an event can carry; text set from elsewhere is still clamped on save.
    for (QLineEdit* e : {m_xEdit.data(), m_yEdit.data()}) {
        if (e) {
            e->setValidator(new QIntValidator(0, kShootMaxMove, e));
            e->setMaxLength(kMoveDigits);
        }
    }
    if (m_delayEdit) {
        m_delayEdit->setValidator(new QIntValidator(0, kShootMaxDelay, m_delayEdit));
        m_delayEdit->setMaxLength(kDelayDigits);
    }
    UpdateXCaption();
    UpdateYCaption();

    for (int g = 0; g < kGunCount; ++g) {
        if (!IsShootPattern(LoadShootPattern(PatternPath(g))))
            ResetPattern(g);
        RefreshView(g);
    }
    if (!missing.isEmpty())
        DebugLogf("shoot panel: the layout lacks %s",
                  missing.join(QStringLiteral(", ")).toUtf8().constData());
    return missing.isEmpty();
}

void CShootControlUI::SelectGun(int gun) {
    m_gun = std::clamp(gun, 0, kGunCount - 1);
    SelectOnlyQuietly(m_gunOptions, m_gun);
    if (m_pictures && m_gun < m_pictures->count())
        m_pictures->setCurrentIndex(m_gun);
}

void CShootControlUI::SelectBullet(int bullet) {
    m_bullet = std::clamp(bullet, 0, kBulletCount - 1);
    SelectOnlyQuietly(m_bulletOptions, m_bullet);
    if (m_index)
        m_index->setText(QString::number(m_bullet + 1));
    for (const QPointer<ShootPatternView>& view : m_views)
        if (view)
            view->SetSelectedBullet(m_bullet);
    ShowCurrentBullet();
}

void CShootControlUI::SelectPreviousBullet() {
    SelectBullet(m_bullet - 1);
}

void CShootControlUI::SelectNextBullet() {
    SelectBullet(m_bullet + 1);
}

void CShootControlUI::ShowBullet(int gun, int bullet) {
    if (gun < 0 || gun >= kGunCount || bullet < 0 || bullet >= kBulletCount)
        return;
    const ShootBullet shown = ReadShootBullet(LoadShootPattern(PatternPath(gun)), bullet);
    SetCheckedQuietly(m_xCheck, shown.left);
    SetCheckedQuietly(m_yCheck, shown.up);
    UpdateXCaption();
    UpdateYCaption();
    if (m_xEdit)
        m_xEdit->setText(QString::number(shown.x));
    if (m_yEdit)
        m_yEdit->setText(QString::number(shown.y));
    if (m_delayEdit)
        m_delayEdit->setText(QString::number(shown.delay));
}

void CShootControlUI::ShowCurrentBullet() {
    ShowBullet(m_gun, m_bullet);
}

bool CShootControlUI::SaveBullet(int gun, int bullet) {
    const std::string path = PatternPath(gun);
    if (path.empty() || bullet < 0 || bullet >= kBulletCount)
        return false;
    auto number = [](QLineEdit* e, int max) {
        return e ? ParseShootNumber(e->text().toStdString(), max) : 0;
    };
    ShootBullet value;
    value.left = m_xCheck && m_xCheck->isChecked();
    value.up = m_yCheck && m_yCheck->isChecked();
    value.x = number(m_xEdit, kShootMaxMove);
    value.y = number(m_yEdit, kShootMaxMove);
    value.delay = number(m_delayEdit, kShootMaxDelay);
    // A file that is missing (or no JSON) starts as an empty object; the rest of it stays as read.
    Json::Value doc = LoadShootPattern(path);
    if (!WriteShootBullet(doc, bullet, value) || SaveShootPattern(path, doc) != ShootFileResult::Ok)
        return false;
    // The boxes show what the bullet now holds ("abc" became 0, 300 became 255).
    const std::pair<QLineEdit*, int> shown[] = {
        {m_xEdit, value.x}, {m_yEdit, value.y}, {m_delayEdit, value.delay}};
    for (const auto& [e, v] : shown)
        if (e && e->text() != QString::number(v))
            e->setText(QString::number(v));
    RefreshView(gun);
    return true;
}

bool CShootControlUI::SaveCurrentBullet() {
    return SaveBullet(m_gun, m_bullet);
}

bool CShootControlUI::ResetPattern(int gun) {
    const std::string path = PatternPath(gun);
    if (path.empty())
        return false;
    const ShootFileResult result = RestoreShootPattern(DefaultPatternPath(gun), path);
    RefreshView(gun);
    if (m_bullet >= 0)
        SelectBullet(m_bullet);
    return result == ShootFileResult::Ok;
}

bool CShootControlUI::ResetCurrentPattern() {
    return ResetPattern(m_gun);
}

bool CShootControlUI::ImportPattern(const QString& path, ShootFileResult* why) {
    const std::string target = PatternPath(m_gun);
    ShootFileResult result = ShootFileResult::NothingDone;
    if (!path.isEmpty() && !target.empty())
        result = ImportShootPattern(path.toStdString(), target);
    if (why)
        *why = result;
    if (result != ShootFileResult::Ok)
        return false;
    RefreshView(m_gun);
    if (m_bullet >= 0)
        SelectBullet(m_bullet);
    return true;
}

bool CShootControlUI::ExportPattern(const QString& path, ShootFileResult* why) {
    const std::string source = PatternPath(m_gun);
    ShootFileResult result = ShootFileResult::NothingDone;
    if (!path.isEmpty() && !source.empty())
        result = ExportShootPattern(source, path.toStdString());
    if (why)
        *why = result;
    return result == ShootFileResult::Ok;
}

void CShootControlUI::SetCheckCaption(QAbstractButton* check, const char* selectedKey,
                                      const char* clearedKey) {
    if (!check)
        return;
    const char* key = check->isChecked() ? selectedKey : clearedKey;
    // The key goes with the caption, so that a change of language translates the current one.
    check->setProperty("textKey", QString::fromLatin1(key));
    check->setText(Text(key));
}

void CShootControlUI::UpdateXCaption() {
    SetCheckCaption(m_xCheck, kLeftKey, kRightKey);
}

void CShootControlUI::UpdateYCaption() {
    SetCheckCaption(m_yCheck, kUpKey, kDownKey);
}

ShootPatternView* CShootControlUI::PatternView(int gun) const {
    if (gun < 0 || gun >= kGunCount)
        return nullptr;
    return m_views[static_cast<std::size_t>(gun)];
}

void CShootControlUI::RefreshView(int gun) {
    if (ShootPatternView* view = PatternView(gun))
        view->SetBullets(ReadShootBullets(LoadShootPattern(PatternPath(gun))));
}

void RegisterShootControl(ControlFactory& factory) {
    factory.Register(QString::fromLatin1(kShootControlClass),
                     [](QWidget* parent) { return new CShootControlUI(parent); });
    factory.Register(QString::fromLatin1(kShootPatternViewClass),
                     [](QWidget* parent) { return new ShootPatternView(parent); });
}

} // namespace nk7x
