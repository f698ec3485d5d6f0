// The two keyboard profiles the tests of profiles that follow the application switch between, made
// by the program's own code in a user's data folder: "profile1", the everyday one (static lighting,
// selected), and "profile2", the game's (breathing).
#pragma once

#include "devices/keyboard/KeyboardDevice.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ProfileList.h"
#include "support/TestSupport.h"

#include <QString>

#include <gtest/gtest.h>

namespace nk7x::test {

inline constexpr int kEverydayMode = 6;
inline constexpr int kGameMode = 5;

inline void MakeEverydayAndGameProfiles(const QString& dataHome) {
    ScopedEnv data("XDG_DATA_HOME", dataHome.toStdString());
    ScopedEnv program("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR);
    ProfileList list;
    list.SetDeviceType(KindNumber(DeviceKind::Keyboard));
    list.SetFolders(KindFolder(DeviceFamily::Keyboard), DefaultProfilePath(DeviceFamily::Keyboard));
    ASSERT_EQ(list.LoadList(), ProfileResult::Done);
    ASSERT_EQ(list.AddProfile(), ProfileResult::Done);
    ASSERT_EQ(list.SelectProfile(0), ProfileResult::Done);
    for (int i = 0; i < 2; ++i) {
        CKeyboardDevice keyboard;
        keyboard.SetProfileName(list.UuidAt(i));
        keyboard.LoadProfile();
        LightState light = keyboard.Profile().GetLightInfo();
        light.mode = static_cast<uint8_t>(i == 0 ? kEverydayMode : kGameMode);
        keyboard.SetLightSettings(light);
        keyboard.SaveProfile();
    }
}

} // namespace nk7x::test
