#include "panels/sound/MagicControlUI.h"

#include "ui/QuietControls.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>

namespace nk7x {
namespace {

constexpr const char* kEnableName = "magic_enable_option";
constexpr const char* kChoicesName = "magic_option_layout";
constexpr const char* kOptionPrefix = "magic_option_";
// What the panel shows with the voice effect, and instead of it.
constexpr const char* kContentName = "magic_content";
constexpr const char* kNoticeName = "magic_notice";

} // namespace

CMagicControlUI::CMagicControlUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground, true);
    m_supported.fill(true);
}

void CMagicControlUI::LookUp() const {
    if (m_lookedUp)
        return;
    m_lookedUp = true;
    auto* self = const_cast<CMagicControlUI*>(this);
    auto find = [self](const QString& name) { return UiWindow::FindSubControlByName(self, name); };
    m_enable = qobject_cast<QAbstractButton*>(find(QString::fromLatin1(kEnableName)));
    m_choices = find(QString::fromLatin1(kChoicesName));
    for (int k = 1; k <= kChoiceCount; ++k)
        m_options[static_cast<std::size_t>(k - 1)] =
            qobject_cast<QAbstractButton*>(find(QString::fromLatin1(kOptionPrefix) + QString::number(k)));
    m_content = find(QString::fromLatin1(kContentName));
    m_notice = find(QString::fromLatin1(kNoticeName));
}

void CMagicControlUI::showEvent(QShowEvent* event) {
    LookUp();
    QWidget::showEvent(event);
}

void CMagicControlUI::SetFeatureSupport(const std::array<bool, kFeatureCount>& supported) {
    LookUp();
    m_supported = supported;
    const bool there = Supports(Feature::VoiceEffect);
    if (m_content) {
        m_content->setVisible(there);
        m_content->setEnabled(there);
    }
    // Also without the content box the panel must not offer controls that reach nothing.
    if (m_enable)
        m_enable->setEnabled(there);
    EnableMagicChoices(IsMagicEnabled());
    if (m_notice)
        m_notice->setVisible(!there);
}

void CMagicControlUI::ShowMagicEnabled(bool on) {
    LookUp();
    if (!m_enable)
        return;
    SetCheckedQuietly(m_enable, on);
    EnableMagicChoices(on);
}

void CMagicControlUI::EnableMagicChoices(bool on) {
    LookUp();
    // Choices of an effect the headset lacks stay off whatever the switch says.
    if (m_choices)
        m_choices->setEnabled(on && Supports(Feature::VoiceEffect));
}

bool CMagicControlUI::IsMagicEnabled() const {
    LookUp();
    return m_enable && m_enable->isChecked();
}

void CMagicControlUI::ShowMagicType(int choice) {
    LookUp();
    m_type = choice >= 1 && choice <= kChoiceCount ? choice : 0;
    SelectOnlyQuietly(m_options, m_type - 1);
}

} // namespace nk7x
