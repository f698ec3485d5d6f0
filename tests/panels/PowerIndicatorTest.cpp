#include "PanelsTestSupport.h"

#include "ui/LanguageTexts.h"

#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace nk7x::test {
namespace {

struct Parts {
    QLabel* value = nullptr;
    QWidget* wireless = nullptr;
    QProgressBar* progress = nullptr;
    QWidget* status = nullptr;
    QWidget* phone = nullptr;
};

Parts PartsOf(CMpDevicePowerUI* p) {
    Parts parts;
    parts.value =
        qobject_cast<QLabel*>(UiWindow::FindSubControlByName(p, QStringLiteral("device_power_value")));
    parts.wireless = UiWindow::FindSubControlByName(p, QStringLiteral("device_wuxian_logo"));
    parts.progress = qobject_cast<QProgressBar*>(
        UiWindow::FindSubControlByName(p, QStringLiteral("device_Power_progress")));
    parts.status = UiWindow::FindSubControlByName(p, QStringLiteral("device_power_status"));
    parts.phone = UiWindow::FindSubControlByName(p, QStringLiteral("device_phone_type"));
    return parts;
}

void Show(CMpDevicePowerUI* p, std::vector<uint8_t> record) {
    p->ShowStatus(record.data(), record.size());
}

class PowerIndicator : public ::testing::Test {
  protected:
    CMpDevicePowerUI* Make(int kind, int role = 0) {
        CMpDevicePowerUI* p = m_host.AddIndicator(kind, role);
        EXPECT_NE(p, nullptr);
        Parts parts = PartsOf(p);
        EXPECT_TRUE(parts.value && parts.wireless && parts.progress && parts.status && parts.phone)
            << "the layout lacks one of the five controls";
        return p;
    }
    HostWindow m_host;
};

TEST_F(PowerIndicator, LevelTextProgressAndStateImages) {
    CMpDevicePowerUI* p = Make(1);
    Parts parts = PartsOf(p);
    Show(p, {57, 2, 0, 0, 0, 0});
    EXPECT_EQ(parts.value->text(), QStringLiteral("57%"));
    EXPECT_EQ(parts.progress->value(), 43);
    EXPECT_FALSE(parts.progress->isHidden());
    EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.status), QStringLiteral("file='power/power.png'"));

    Show(p, {80, 0, 0, 0, 0, 0});
    EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.status), QStringLiteral("file='power/powered.png'"));
    Show(p, {80, 1, 0, 0, 0, 0});
    EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.status), QStringLiteral("file='power/powering.png'"));
    EXPECT_FALSE(parts.progress->isHidden());

    // An unknown state changes neither the image nor the bar's visibility, only level and text.
    Show(p, {30, 9, 1, 0, 0, 0});
    EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.status), QStringLiteral("file='power/powering.png'"));
    EXPECT_EQ(parts.progress->value(), 70);
    EXPECT_EQ(parts.value->text(), QStringLiteral("30%"));
}

TEST_F(PowerIndicator, WirelessChargingHidesTheBarAndLeavesAKeyboardLogoAlone) {
    CMpDevicePowerUI* p = Make(1);
    Parts parts = PartsOf(p);
    const bool logoBefore = parts.wireless->isHidden();
    Show(p, {40, 1, 0, 1, 0, 0});
    EXPECT_TRUE(parts.progress->isHidden());
    EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.status),
              QStringLiteral("file='power/wuxian_powering.png'"));
    EXPECT_EQ(parts.wireless->isHidden(), logoBefore);
    // Leaving wireless charging shows the bar again.
    Show(p, {40, 2, 0, 1, 0, 0});
    EXPECT_FALSE(parts.progress->isHidden());

    CMpDevicePowerUI* mouse = Make(2);
    Parts m = PartsOf(mouse);
    Show(mouse, {40, 0, 0, 1, 0, 0});
    EXPECT_FALSE(m.wireless->isHidden());
    Show(mouse, {40, 0, 0, 0, 0, 0});
    EXPECT_TRUE(m.wireless->isHidden());
}

TEST_F(PowerIndicator, PhoneTypeOnAMousePadOnly) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("en.json")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"Phone_type_samsung": "Samsung phone on the pad"})");
    f.close();
    LanguageTexts texts;
    ASSERT_TRUE(texts.LoadFile(f.fileName()));

    CMpDevicePowerUI* pad = Make(3, 0);
    pad->SetLanguageTexts(&texts);
    Parts parts = PartsOf(pad);
    const struct {
        uint8_t phone;
        const char* key;
    } rows[] = {{1, "Phone_type_iphone"},    {2, "Phone_type_samsung"},   {3, "Phone_type_other"},
                {4, "Phone_type_no_device"}, {0, "Phone_type_no_device"}, {255, "Phone_type_no_device"}};
    for (const auto& row : rows) {
        Show(pad, {50, 0, 0, 0, 0, row.phone});
        const QString key = QLatin1String(row.key);
        EXPECT_EQ(parts.phone->property("tooltipKey").toString(), key) << int(row.phone);
        EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.phone),
                  QStringLiteral("file='power/%1.png'").arg(key));
        EXPECT_FALSE(parts.phone->isHidden());
    }
    Show(pad, {50, 0, 0, 0, 0, 2});
    EXPECT_EQ(parts.phone->toolTip(), QStringLiteral("Samsung phone on the pad"));

    CMpDevicePowerUI* mouse = Make(2);
    Parts m = PartsOf(mouse);
    Show(mouse, {50, 0, 0, 0, 0, 1});
    EXPECT_TRUE(CMpDevicePowerUI::BackgroundImage(m.phone).isEmpty());
    EXPECT_FALSE(m.phone->property("tooltipKey").isValid());
}

TEST_F(PowerIndicator, ShortAndOddRecords) {
    CMpDevicePowerUI* p = Make(2);
    Parts parts = PartsOf(p);
    Show(p, {77, 2, 0, 1, 0, 0});
    EXPECT_FALSE(parts.wireless->isHidden());
    // One byte: the rest reads as zero (state 0, not wireless).
    Show(p, {57});
    EXPECT_EQ(parts.value->text(), QStringLiteral("57%"));
    EXPECT_EQ(CMpDevicePowerUI::BackgroundImage(parts.status), QStringLiteral("file='power/powered.png'"));
    EXPECT_TRUE(parts.wireless->isHidden());
    // No record at all: level 0.
    p->ShowStatus(nullptr, 6);
    EXPECT_EQ(parts.value->text(), QStringLiteral("0%"));
    EXPECT_EQ(parts.progress->value(), 100);
    // A long record is read up to its first 64 bytes.
    std::vector<uint8_t> big(300, 0);
    big[0] = 12;
    Show(p, big);
    EXPECT_EQ(parts.value->text(), QStringLiteral("12%"));
    // A level above 100 empties the bar instead of leaving it at the last value.
    Show(p, {150, 2, 0, 0, 0, 0});
    EXPECT_EQ(parts.value->text(), QStringLiteral("150%"));
    EXPECT_EQ(parts.progress->value(), 0);
}

TEST_F(PowerIndicator, NothingWithoutAllFiveControlsAndLayoutSwitch) {
    HostWindow host;
    auto* bare = new CMpDevicePowerUI(&host);
    bare->SetKindRole(3, 0);
    auto* value = new QLabel(bare);
    value->setObjectName(QStringLiteral("device_power_value"));
    auto* status = new QLabel(bare);
    status->setObjectName(QStringLiteral("device_power_status"));
    auto* progress = new QProgressBar(bare);
    progress->setObjectName(QStringLiteral("device_Power_progress"));
    progress->setValue(5);
    auto* phone = new QLabel(bare);
    phone->setObjectName(QStringLiteral("device_phone_type"));
    const std::array<uint8_t, 6> record{57, 2, 0, 1, 0, 1};
    bare->ShowStatus(record.data(), record.size()); // "device_wuxian_logo" is missing
    EXPECT_TRUE(value->text().isEmpty());
    EXPECT_EQ(progress->value(), 5);
    EXPECT_TRUE(CMpDevicePowerUI::BackgroundImage(status).isEmpty());
    EXPECT_TRUE(CMpDevicePowerUI::BackgroundImage(phone).isEmpty());
    bare->ShowPowerLayout(true); // no layout control: nothing to do, nothing breaks

    CMpDevicePowerUI* p = Make(2);
    QWidget* layout = UiWindow::FindSubControlByName(p, QStringLiteral("device_power_Layout"));
    ASSERT_NE(layout, nullptr);
    p->ShowPowerLayout(false);
    EXPECT_TRUE(layout->isHidden());
    p->ShowPowerLayout(true);
    EXPECT_FALSE(layout->isHidden());
}

} // namespace
} // namespace nk7x::test
