#include "app/LiveLighting.h"

#include "app/ShellPage.h"
#include "devices/DeviceBase.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "platform/DebugLog.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QStyle>

namespace nk7x {

LiveLighting::LiveLighting(LiveLightingContext context) : m_ctx(std::move(context)) {}

void LiveLighting::AddPage(ShellPage* page) {
    if (page)
        m_pages.push_back(page);
}

void LiveLighting::SetControl(bool on, bool announce) {
    m_control = on;
    if (announce)
        m_ctx.announce(on);
    if (auto* b = qobject_cast<QAbstractButton*>(
            m_ctx.window->FindControl(QStringLiteral("control_light_status")))) {
        b->setText(ButtonText());
        b->setProperty("lightingOff", !on);
        b->style()->unpolish(b);
        b->style()->polish(b);
    }
    DebugLog(on ? "控制灯光" : "不控制灯光");
    SetLive(m_control);
}

void LiveLighting::OnRequest(qint64 wParam, qint64 lParam) {
    if (!m_ctx.running() || wParam != 1 || (lParam != 0 && lParam != 1))
        return;
    SetControl(lParam == 1, false);
}

void LiveLighting::Suspend() {
    SetLive(false);
}

void LiveLighting::Resume() {
    SetLive(m_control);
}

void LiveLighting::OnActivation(bool active) {
    m_active = active;
    m_hovered = m_active;
    UpdatePreview();
}

void LiveLighting::OnPointer(bool inside) {
    // An active window shows the preview wherever the pointer is.
    if (m_active)
        return;
    m_hovered = inside;
    DebugLog(inside ? "鼠标移入" : "鼠标移出");
    UpdatePreview();
}

void LiveLighting::Adopt(CDeviceBase& device) {
    const bool live = m_ctx.running() && m_control;
    if (device.IsLiveLighting() != live)
        device.SetLiveLighting(live);
    device.SetPreview(m_hovered);
}

void LiveLighting::Retranslate() {
    if (auto* b =
            qobject_cast<QAbstractButton*>(m_ctx.window->FindControl(QStringLiteral("control_light_status"))))
        b->setText(ButtonText());
}

QString LiveLighting::ButtonText() const {
    return m_ctx.texts->Text(m_control ? QStringLiteral("control_light_on_text")
                                       : QStringLiteral("control_light_off_text"));
}

void LiveLighting::SetLive(bool on) {
    for (ShellPage* p : m_pages)
        p->SetLiveLighting(on);
    ForEachDevice([on](CDeviceBase& d) { d.SetLiveLighting(on); });
}

void LiveLighting::UpdatePreview() {
    for (ShellPage* p : m_pages)
        p->SetPreview(m_hovered);
    ForEachDevice([this](CDeviceBase& d) { d.SetPreview(m_hovered); });
}

void LiveLighting::ForEachDevice(const std::function<void(CDeviceBase&)>& fn) {
    for (CBrindovaUSBDevice* page : m_ctx.pages())
        fn(page->Device());
}

} // namespace nk7x
