#include "PanelsTestSupport.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace nk7x::test {
namespace {

QAbstractButton* Button(QWidget* entry, const char* name) {
    return qobject_cast<QAbstractButton*>(UiWindow::FindSubControlByName(entry, QLatin1String(name)));
}

QString Icon(const char* base, const char* suffix) {
    return QStringLiteral("common/device_ico/%1_%2.png").arg(QLatin1String(base), QLatin1String(suffix));
}

class DeviceEntry : public ::testing::Test {
  protected:
    CDeviceOptionUI* Make() {
        CDeviceOptionUI* e = m_host.AddEntry();
        EXPECT_NE(e, nullptr);
        return e;
    }
    HostWindow m_host;
};

TEST_F(DeviceEntry, ConfiguredAsDiscoveryCreatesIt) {
    CDeviceOptionUI* e = Make();
    QAbstractButton* select = Button(e, "device_select");
    QAbstractButton* synchro = Button(e, "synchro_device_select");
    ASSERT_TRUE(select && synchro);
    e->ShowSynchroOption(false);
    e->SetGroup(QStringLiteral("tab_header_device"));
    e->BindPage(QStringLiteral("device_switch"), 2);
    e->SetPowerBinding(QStringLiteral("device_power_switch"), 1);
    e->SetKind(1, 0);
    e->SetVisible(false);
    e->SetEntryName(QStringLiteral("keyboard"));

    EXPECT_TRUE(synchro->isHidden());
    EXPECT_EQ(e->GetGroup(), QStringLiteral("tab_header_device"));
    EXPECT_EQ(e->GetBoundPageIndex(), 2);
    EXPECT_EQ(e->GetBoundLayoutName(), QStringLiteral("device_switch"));
    EXPECT_EQ(select->property("bindTabLayout").toString(), QStringLiteral("device_switch"));
    EXPECT_EQ(select->property("bindTabIndex").toInt(), 2);
    EXPECT_EQ(e->GetPowerIndex(), 1);
    EXPECT_EQ(e->GetPowerLayoutName(), QStringLiteral("device_power_switch"));
    EXPECT_EQ(select->property("normalimage").toString(), Icon("kb_device", "normal"));
    EXPECT_EQ(select->property("selectedimage").toString(), Icon("kb_device", "selected"));
    EXPECT_EQ(select->property("disabledimage").toString(), Icon("kb_device", "normal"));
    EXPECT_EQ(select->property("tooltipKey").toString(), QStringLiteral("kb_device_name_text"));
    EXPECT_FALSE(select->icon().isNull());
    EXPECT_FALSE(e->IsShown());
    EXPECT_TRUE(e->isHidden());
    auto* name =
        qobject_cast<QLabel*>(UiWindow::FindSubControlByName(e, QStringLiteral("device_select_name")));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("keyboard"));
    e->SetVisible(true);
    EXPECT_TRUE(e->IsShown());
}

TEST_F(DeviceEntry, KindTableAndTheUnchangedMousePadRole) {
    const struct {
        int kind, role;
        const char* base;
        const char* tip;
    } rows[] = {{1, 0xFF, "kb_device", "kb_device_name_text"},
                {2, 0, "ms_device", "ms_device_name_text"},
                {3, 0, "hard_mp_device", "hard_mp_device_name_text"},
                {3, 1, "soft_mp_device", "soft_mp_device_name_text"},
                {4, 0, "hd_device", "hd_device_name_text"},
                {7, 0, "hd_device", "hd_device_name_text"},
                {5, 0, "hub_device", "hub_device_name_text"},
                {6, 0, "unknow_device", "unknow_device_name_text"},
                {0, 0, "unknow_device", "unknow_device_name_text"}};
    for (const auto& row : rows) {
        CDeviceOptionUI* e = Make();
        e->SetKind(row.kind, row.role);
        EXPECT_EQ(e->NormalImage(), Icon(row.base, "normal")) << row.kind << "/" << row.role;
        EXPECT_EQ(e->SynchroSelectedImage(), Icon(row.base, "synchro_selected"));
        EXPECT_EQ(Button(e, "device_select")->property("tooltipKey").toString(), QLatin1String(row.tip));
        // Every image the table names ships with the skin.
        for (const char* suffix : {"normal", "selected", "synchro_normal", "synchro_selected"})
            EXPECT_TRUE(QFileInfo::exists(SkinFolder() + QLatin1Char('/') + Icon(row.base, suffix)))
                << Icon(row.base, suffix).toStdString();
    }

    // A mouse pad of another role keeps the images it had: those of construction here.
    CDeviceOptionUI* fresh = Make();
    fresh->SetKind(3, 2);
    EXPECT_EQ(fresh->GetKind(), 3);
    EXPECT_EQ(fresh->GetRole(), 2);
    EXPECT_EQ(fresh->NormalImage(), Icon("unknow_device", "normal"));
    EXPECT_EQ(fresh->SelectedImage(), Icon("unknow_device", "selected"));
    // ... and after a keyboard, the keyboard's.
    CDeviceOptionUI* kb = Make();
    kb->SetKind(1, 0);
    kb->SetKind(3, 2);
    EXPECT_EQ(kb->NormalImage(), Icon("kb_device", "normal"));
    EXPECT_EQ(Button(kb, "device_select")->property("tooltipKey").toString(),
              QStringLiteral("kb_device_name_text"));
}

TEST_F(DeviceEntry, PowerBindingKeepsWhatNullAndNegativeDoNotReplace) {
    CDeviceOptionUI* e = Make();
    EXPECT_EQ(e->GetPowerIndex(), -1);
    e->SetPowerBinding(QStringLiteral("device_power_switch"), 3);
    e->SetPowerBinding(QString(), -1);
    EXPECT_EQ(e->GetPowerLayoutName(), QStringLiteral("device_power_switch"));
    EXPECT_EQ(e->GetPowerIndex(), 3);
    e->SetPowerBinding(QString(), 0);
    EXPECT_EQ(e->GetPowerIndex(), 0);
    EXPECT_EQ(e->GetPowerLayoutName(), QStringLiteral("device_power_switch"));
}

TEST_F(DeviceEntry, WithoutItsLayoutEveryOperationIsHarmless) {
    CDeviceOptionUI bare;
    EXPECT_EQ(bare.GetBoundPageIndex(), -1);
    bare.SetKind(2, 0);
    bare.SetGroup(QStringLiteral("tab_header_device"));
    bare.BindPage(QStringLiteral("device_switch"), 1);
    bare.SetEntryName(QStringLiteral("mouse"));
    bare.SelectEntry(true);
    bare.SetSynchro(true);
    bare.ShowSynchroOption(true);
    EXPECT_EQ(bare.GetBoundPageIndex(), -1);
    EXPECT_FALSE(bare.IsEntrySelected());
    EXPECT_FALSE(bare.IsSynchro());
    EXPECT_EQ(bare.GetKind(), 2);
}

TEST_F(DeviceEntry, SelectionIsExclusiveInItsGroupAndNotifies) {
    CDeviceOptionUI* a = Make();
    CDeviceOptionUI* b = Make();
    for (CDeviceOptionUI* e : {a, b}) {
        e->SetGroup(QStringLiteral("tab_header_device"));
        e->SetKind(1, 0);
    }
    a->BindPage(QStringLiteral("device_switch"), 0);
    b->BindPage(QStringLiteral("device_switch"), 1);

    a->SelectEntry(true);
    ASSERT_EQ(m_host.got.size(), 1u);
    EXPECT_EQ(m_host.got[0].type, QStringLiteral("selectchanged"));
    EXPECT_EQ(m_host.got[0].name, QStringLiteral("device_select"));
    EXPECT_EQ(m_host.got[0].sender, Button(a, "device_select"));
    EXPECT_EQ(m_host.got[0].wParam, 1);
    EXPECT_EQ(m_host.got[0].sender->property("bindTabIndex").toInt(), 0);
    EXPECT_TRUE(a->IsEntrySelected());

    // Selecting again changes nothing and says nothing.
    a->SelectEntry(true);
    EXPECT_EQ(m_host.got.size(), 1u);

    m_host.got.clear();
    b->SelectEntry(true);
    EXPECT_TRUE(b->IsEntrySelected());
    EXPECT_FALSE(a->IsEntrySelected());
    bool bSelected = false;
    for (const UiNotify& m : m_host.got)
        bSelected |= m.sender == Button(b, "device_select") && m.wParam == 1;
    EXPECT_TRUE(bSelected);

    // A click on the selected option keeps it selected; a click on the other moves the selection.
    m_host.show();
    QTest::mouseClick(Button(b, "device_select"), Qt::LeftButton);
    EXPECT_TRUE(b->IsEntrySelected());
    QTest::mouseClick(Button(a, "device_select"), Qt::LeftButton);
    EXPECT_TRUE(a->IsEntrySelected());
    EXPECT_FALSE(b->IsEntrySelected());

    // The whole tile is the option: a click on the name selects too.
    auto* bName = UiWindow::FindSubControlByName(b, QStringLiteral("device_select_name"));
    ASSERT_NE(bName, nullptr);
    QTest::mouseClick(bName, Qt::LeftButton);
    EXPECT_TRUE(b->IsEntrySelected());
    QTest::mouseClick(Button(a, "device_select"), Qt::LeftButton);

    m_host.got.clear();
    a->SelectEntry(false);
    EXPECT_FALSE(a->IsEntrySelected());
    ASSERT_EQ(m_host.got.size(), 1u);
    EXPECT_EQ(m_host.got[0].wParam, 0);
    // The group still holds: selecting b afterwards leaves a clear.
    b->SelectEntry(true);
    EXPECT_FALSE(a->IsEntrySelected());

    // Activating the entry is a notification of the entry itself.
    m_host.got.clear();
    a->setObjectName(QStringLiteral("entry_a"));
    EXPECT_TRUE(a->Activate());
    EXPECT_EQ(m_host.Count(QStringLiteral("selectchanged"), QStringLiteral("entry_a")), 1);
}

TEST_F(DeviceEntry, SynchroSwitchesTheImagePair) {
    CDeviceOptionUI* e = Make();
    e->SetKind(2, 0);
    e->ShowSynchroOption(true);
    EXPECT_FALSE(Button(e, "synchro_device_select")->isHidden());
    EXPECT_EQ(e->ShownNormalImage(), Icon("ms_device", "normal"));
    e->SetSynchro(true);
    EXPECT_TRUE(e->IsSynchro());
    EXPECT_EQ(e->ShownNormalImage(), Icon("ms_device", "synchro_normal"));
    EXPECT_EQ(e->ShownSelectedImage(), Icon("ms_device", "synchro_selected"));
    EXPECT_EQ(Button(e, "device_select")->property("selectedimage").toString(),
              Icon("ms_device", "synchro_selected"));
    // Hiding the option keeps the synchro pair while it stays selected.
    e->ShowSynchroOption(false);
    EXPECT_EQ(e->ShownNormalImage(), Icon("ms_device", "synchro_normal"));
    e->SetSynchro(false);
    EXPECT_FALSE(e->IsSynchro());
    EXPECT_EQ(e->ShownNormalImage(), Icon("ms_device", "normal"));
    EXPECT_EQ(Button(e, "device_select")->property("normalimage").toString(), Icon("ms_device", "normal"));
}

} // namespace
} // namespace nk7x::test
