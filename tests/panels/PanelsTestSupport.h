// Helpers of the list-entry and power-indicator tests: a host window that records notifications and
// builds the shipped layouts into the panels, with images resolved in the source tree's skin.
#pragma once

#include "panels/DeviceOptionUI.h"
#include "panels/MpDevicePowerUI.h"
#include "ui/PanelContent.h"
#include "ui/UiNotify.h"
#include "ui/UiWindow.h"
#include "ui/controls/SkinImage.h"

#include <QString>
#include <QVBoxLayout>

#include <vector>

namespace nk7x::test {

inline QString SkinFolder() {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin");
}

class HostWindow : public UiWindow {
  public:
    HostWindow() {
        SkinImage::SetImageFolder(SkinFolder());
        auto* box = new QVBoxLayout(this);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    void Notify(const UiNotify& msg) override { got.push_back(msg); }

    CDeviceOptionUI* AddEntry() {
        auto* entry = new CDeviceOptionUI(this);
        if (!FillPanel(*this, entry, SkinFolder() + QStringLiteral("/XML/CustomControlXML/DeviceOption.xml")))
            return nullptr;
        layout()->addWidget(entry);
        return entry;
    }
    CMpDevicePowerUI* AddIndicator(int kind, int role = 0) {
        auto* power = new CMpDevicePowerUI(this);
        if (!FillPanel(*this, power,
                       SkinFolder() + QStringLiteral("/XML/CustomControlXML/MpDevicePower.xml")))
            return nullptr;
        power->SetKindRole(kind, role);
        layout()->addWidget(power);
        return power;
    }
    int Count(const QString& type, const QString& name) const {
        int n = 0;
        for (const UiNotify& m : got)
            n += m.type == type && m.name == name ? 1 : 0;
        return n;
    }

    std::vector<UiNotify> got;
};

} // namespace nk7x::test
