#include "kinds/KeypadDevice.h"

#include "profiles/json/JsonFile.h"

#include <json/value.h>

#include <cstdio>

namespace nk7x::test {

std::string CKeypadDevice::ProfilePath() const {
    return DataFolder() + (ProfileName().empty() ? std::string("keypad") : ProfileName()) + ".Json";
}

void CKeypadDevice::SetColour(KeyColour colour) {
    m_colour = colour;
    ApplyProfile();
    SaveProfile();
}

void CKeypadDevice::OnConnect() {
    RunTransfer("connect", [this]() -> Continuation {
        DeviceInfoRecord info{};
        const LinkResult read = Link().ReadDeviceInfo(info);
        return [this, info, read] {
            if (read == kResultOk)
                SetDeviceInfo(info);
            LoadProfile();
            ApplyProfile();
            RefreshPage();
            ConnectFinished();
        };
    });
}

void CKeypadDevice::ApplyProfile() {
    for (int i = 0; i < KeyCount(); ++i)
        SetKeyColour(i, m_colour);
}

void CKeypadDevice::LoadProfile() {
    const Json::Value doc = LoadJson(ProfilePath());
    unsigned red = 0, green = 0, blue = 0;
    if (doc.isObject() && doc["Colour"].isString() &&
        std::sscanf(doc["Colour"].asCString(), "#%02x%02x%02x", &red, &green, &blue) == 3)
        m_colour = {static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue), 0xFF};
}

void CKeypadDevice::SaveProfile() {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", m_colour.red, m_colour.green, m_colour.blue);
    Json::Value doc(Json::objectValue);
    doc["Colour"] = text;
    (void)WriteJson(ProfilePath(), doc);
}

} // namespace nk7x::test
