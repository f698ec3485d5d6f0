// Renders list entries and power indicators on the main window's dark theme to PNG files when
// NK7X_SCREENSHOT_DIR is set, for a look at them beside the device list.
#include "PanelsTestSupport.h"

#include "ui/FontTable.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace nk7x::test {
namespace {

QString OutDir() {
    const char* out = std::getenv("NK7X_SCREENSHOT_DIR");
    return out ? QString::fromLocal8Bit(out) : QString();
}

TEST(Screenshots, EntriesAndIndicators) {
    if (OutDir().isEmpty())
        GTEST_SKIP() << "NK7X_SCREENSHOT_DIR not set";
    HostWindow host;
    QFile qss(SkinFolder() + QStringLiteral("/theme.qss"));
    ASSERT_TRUE(qss.open(QIODevice::ReadOnly));
    host.setObjectName(QStringLiteral("root"));
    host.SetBaseStyleSheet(QString::fromUtf8(qss.readAll()));
    FontTable fonts;
    fonts.Rebuild();

    // Three columns as the main window's device list: entries, then an indicator in each state.
    auto* row = new QWidget(&host);
    auto* rowBox = new QHBoxLayout(row);
    rowBox->setContentsMargins(0, 0, 0, 0);
    rowBox->setSpacing(0);
    host.layout()->addWidget(row);
    const struct {
        int kind, role;
        const char* name;
    } kinds[] = {{1, 0, "Keyboard"}, {2, 0, "Mouse"}, {3, 1, "Mouse pad"}, {7, 0, "Headset"}};
    const std::array<std::array<uint8_t, 6>, 4> states{
        {{57, 2, 0, 0, 0, 0}, {80, 1, 0, 0, 0, 0}, {35, 1, 0, 1, 0, 0}, {12, 0, 0, 1, 0, 1}}};
    for (int column = 0; column < 2; ++column) {
        auto* panel = new QWidget(row);
        panel->setObjectName(QStringLiteral("device_list_panel"));
        panel->setAttribute(Qt::WA_StyledBackground);
        auto* box = new QVBoxLayout(panel);
        box->setContentsMargins(6, 14, 6, 14);
        box->setSpacing(8);
        rowBox->addWidget(panel);
        for (int i = 0; i < 4; ++i) {
            auto* e = new CDeviceOptionUI(panel);
            ASSERT_TRUE(
                FillPanel(host, e, SkinFolder() + QStringLiteral("/XML/CustomControlXML/DeviceOption.xml")));
            box->addWidget(e);
            e->ShowSynchroOption(false);
            e->SetGroup(QStringLiteral("shot_%1").arg(column));
            e->SetKind(kinds[i].kind, kinds[i].role);
            e->SetEntryName(QLatin1String(kinds[i].name));
            if (i == column)
                e->SelectEntry(true);
            if (column == 1 && i == 3)
                e->SetSynchro(true);
        }
        for (int i = 0; i < 4; ++i) {
            auto* p = new CMpDevicePowerUI(panel);
            ASSERT_TRUE(
                FillPanel(host, p, SkinFolder() + QStringLiteral("/XML/CustomControlXML/MpDevicePower.xml")));
            p->SetKindRole(column == 0 ? 2 : 3, 0);
            box->addWidget(p);
            p->ShowStatus(states[static_cast<size_t>(i)].data(), 6);
        }
        box->addStretch();
    }
    host.ApplyFonts(fonts);
    host.resize(200, 520);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QTest::qWait(50);
    QDir().mkpath(OutDir());
    const QString file = QDir(OutDir()).filePath(QStringLiteral("device-entries.png"));
    EXPECT_TRUE(host.grab().save(file));
    host.SetScale(192);
    QTest::qWait(50);
    EXPECT_TRUE(host.grab().save(QDir(OutDir()).filePath(QStringLiteral("device-entries-2x.png"))));
}

} // namespace
} // namespace nk7x::test
