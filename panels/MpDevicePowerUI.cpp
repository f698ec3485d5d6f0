#include "panels/MpDevicePowerUI.h"

#include "ui/LanguageTexts.h"
#include "ui/UiNotify.h"
#include "ui/UiWindow.h"
#include "ui/controls/ImageString.h"
#include "ui/controls/SkinImage.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <array>
#include <cstring>

namespace nk7x {
namespace {

const char* const kBkImageProperty = "bkimage";

struct PhoneLook {
    const char* tooltipKey;
    const char* image;
};

PhoneLook PhoneLookFor(int phone) {
    switch (phone) {
    case 1:
        return {"Phone_type_iphone", "file='power/Phone_type_iphone.png'"};
    case 2:
        return {"Phone_type_samsung", "file='power/Phone_type_samsung.png'"};
    case 3:
        return {"Phone_type_other", "file='power/Phone_type_other.png'"};
    default:
        return {"Phone_type_no_device", "file='power/Phone_type_no_device.png'"};
    }
}

} // namespace

CMpDevicePowerUI::CMpDevicePowerUI(QWidget* parent) : QWidget(parent) {}

bool CMpDevicePowerUI::Activate() {
    return RaiseNotify(this, QStringLiteral("selectchanged"));
}

void CMpDevicePowerUI::SetKindRole(int kind, int role) {
    m_kind = kind;
    m_role = role;
}

QWidget* CMpDevicePowerUI::Find(const char* name) {
    return UiWindow::FindSubControlByName(this, QLatin1String(name));
}

void CMpDevicePowerUI::ShowPowerLayout(bool show) {
    if (QWidget* layout = Find("device_power_Layout"))
        layout->setVisible(show);
}

QString CMpDevicePowerUI::BackgroundImage(const QWidget* control) {
    return control ? control->property(kBkImageProperty).toString() : QString();
}

void CMpDevicePowerUI::SetBackgroundImage(QWidget* control, const QString& imageString) {
    control->setProperty(kBkImageProperty, imageString);
    // Drawn as a border image so that it fills the control at every scale.
    ImageString image;
    if (!ParseImageString(imageString, &image))
        return;
    const QString file = SkinImage::ImageFolder() + QLatin1Char('/') + image.file;
    control->setStyleSheet(QStringLiteral("border-image: url(\"%1\") 0 0 0 0 stretch stretch;").arg(file));
}

void CMpDevicePowerUI::ShowStatus(const uint8_t* record, std::size_t length) {
    auto* value = qobject_cast<QLabel*>(Find("device_power_value"));
    QWidget* wireless = Find("device_wuxian_logo");
    auto* progress = qobject_cast<QProgressBar*>(Find("device_Power_progress"));
    QWidget* status = Find("device_power_status");
    QWidget* phoneType = Find("device_phone_type");
    if (!value || !wireless || !progress || !status || !phoneType)
        return;

    std::array<uint8_t, kMaxStatusBytes> bytes{};
    if (record)
        std::memcpy(bytes.data(), record, std::min(length, bytes.size()));
    const int level = bytes[0];
    const int state = bytes[1];
    const int wirelessFlag = bytes[3];
    const int phone = bytes[5];

    // A level above 100 would leave the bar at its last value; it shows empty instead.
    progress->setValue(std::clamp(100 - level, progress->minimum(), progress->maximum()));
    value->setText(QString::asprintf("%d%s", level, "%"));

    if (m_kind == 2)
        wireless->setVisible(wirelessFlag != 0);

    switch (state) {
    case 0:
        progress->setVisible(true);
        SetBackgroundImage(status, QStringLiteral("file='power/powered.png'"));
        break;
    case 1:
        if (wirelessFlag != 0) {
            progress->setVisible(false);
            SetBackgroundImage(status, QStringLiteral("file='power/wuxian_powering.png'"));
        } else {
            progress->setVisible(true);
            SetBackgroundImage(status, QStringLiteral("file='power/powering.png'"));
        }
        break;
    case 2:
        progress->setVisible(true);
        SetBackgroundImage(status, QStringLiteral("file='power/power.png'"));
        break;
    default:
        break;
    }

    if (m_kind == 3) {
        const PhoneLook look = PhoneLookFor(phone);
        const QString key = QLatin1String(look.tooltipKey);
        phoneType->setProperty("tooltipKey", key);
        phoneType->setToolTip(m_texts ? m_texts->Text(key) : key);
        SetBackgroundImage(phoneType, QLatin1String(look.image));
        phoneType->setVisible(true);
    }
}

} // namespace nk7x
