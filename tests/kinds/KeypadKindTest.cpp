// A kind the program does not ship, added from its descriptor, its device class and its page alone:
// the emulator plays it from the descriptor, the window builds its page when it comes, its colours
// reach it as live frames, and its profile lands in its own folder.
#include "kinds/KeypadKind.h"
#include "app/DeviceHost.h"
#include "app/MainWnd.h"
#include "devices/discovery/DeviceTables.h"
#include "kinds/KeypadPage.h"
#include "panels/DeviceOptionUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "support/PrivateWindowFolders.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "tools/sim/SimKinds.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace nk7x::test {
namespace {

// The source tree's program folder with the keypad's layout added to a skin of its own: every
// entry of the shipped skin is linked, and "kinds" holds the keypad's layout.
class ProgramFolderWithKeypad {
  public:
    ProgramFolderWithKeypad() {
        const QDir source(QStringLiteral(NK7X_SOURCE_DIR));
        for (const QString& entry : {QStringLiteral("DefaultData"), QStringLiteral("Font")})
            QFile::link(source.filePath(entry), m_dir.filePath(entry));
        QDir(m_dir.path()).mkpath(QStringLiteral("skin/kinds"));
        const QDir skin(source.filePath(QStringLiteral("skin")));
        for (const QString& entry : skin.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            QFile::link(skin.filePath(entry), m_dir.filePath(QStringLiteral("skin/") + entry));
        m_ok = QFile::copy(source.filePath(QStringLiteral("tests/kinds/keypaddevice.xml")),
                           m_dir.filePath(QStringLiteral("skin/kinds/keypaddevice.xml")));
    }
    bool IsValid() const { return m_dir.isValid() && m_ok; }
    QString Path() const { return m_dir.path(); }

  private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// What the keypad shows for a colour on its LEDs (the live frame's scaling by the brightness).
std::vector<uint8_t> Streamed(KeyColour c, int keys) {
    std::vector<uint8_t> out;
    for (int i = 0; i < keys; ++i)
        for (uint8_t v : {c.red, c.green, c.blue})
            out.push_back(static_cast<uint8_t>((v * c.alpha) >> 8));
    return out;
}

bool KeypadShows(const SimDevice& sim, const std::vector<uint8_t>& want) {
    const std::vector<uint8_t> live = sim.LiveLighting();
    return live.size() >= want.size() && std::equal(want.begin(), want.end(), live.begin());
}

} // namespace

TEST(KeypadKindTest, AKindAddedAtRunTimeIsPlayedFoundShownLitAndStored) {
    ASSERT_TRUE(AddKeypadKind());
    PrivateWindowFolders folders;
    ProgramFolderWithKeypad program;
    ASSERT_TRUE(folders.IsValid() && program.IsValid());
    TempSimFolder simFolder;

    // The emulator plays the keypad from its descriptor, beside a shipped keyboard.
    SimDevice keypad(SimOptionsFor(kKeypad, SimKind::Keyboard, simFolder.Path()));
    ASSERT_EQ(keypad.Start(), 1) << keypad.LastError();
    EXPECT_EQ(keypad.Options().name, "keypad1");
    EXPECT_EQ(keypad.Options().productId, 0x0821);
    SimOptions keyboardOptions;
    keyboardOptions.folder = simFolder.Path();
    SimDevice keyboard(keyboardOptions);
    ASSERT_EQ(keyboard.Start(), 1) << keyboard.LastError();

    ShellOptions options = folders.Options();
    options.programFolder = program.Path();
    MainWnd w(options);
    w.Create();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isVisible(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Devices().PagesOf(kKeypadFamily).empty(); }, 8000))
        << "the keypad's page is built when it comes";
    auto* page = qobject_cast<CKeypadPage*>(w.Devices().PagesOf(kKeypadFamily).front());
    ASSERT_NE(page, nullptr) << "its layout names the page class the test added";
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Keypad().ConnectsDone() >= 1; }, 8000));

    // Its identity and counts come from the descriptor and from the keypad itself.
    EXPECT_EQ(page->Device().Kind(), kKeypadKind);
    EXPECT_EQ(page->Device().KindName(), "keypad");
    EXPECT_EQ(page->Device().KeyCount(), kKeypadKeys);
    EXPECT_EQ(page->Device().DeviceInfo()[5], kKeypadKeys) << "the information record read from the keypad";
    ASSERT_EQ(page->KeyButtonTableSize(), kKeypadKeys);
    ASSERT_NE(page->ListEntry(), nullptr);
    EXPECT_TRUE(page->ListEntry()->IsShown());
    auto* entryName = page->ListEntry()->findChild<QLabel*>(QStringLiteral("device_select_name"));
    ASSERT_NE(entryName, nullptr);
    EXPECT_EQ(entryName->text(), QStringLiteral("NK-7X Keypad"))
        << "named by its descriptor in every language";
    // Both devices have their pages; the shipped keyboard's entry comes first, as in the table.
    ASSERT_EQ(w.Devices().PagesOf(DeviceFamily::Keyboard).size(), 1u);
    const std::vector<CBrindovaUSBDevice*> panelOrder = w.Devices().PagesInPanelOrder();
    ASSERT_EQ(panelOrder.size(), 2u);
    EXPECT_EQ(panelOrder.back(), page);

    // The profile's colour is streamed to the keypad and shown on its keys.
    const KeyColour first = page->Keypad().Colour();
    EXPECT_TRUE(QTest::qWaitFor([&] { return KeypadShows(keypad, Streamed(first, kKeypadKeys)); }, 5000));
    const KeyColour violet{0x60, 0x10, 0xC0, 0xFF};
    page->Keypad().SetColour(violet);
    EXPECT_TRUE(QTest::qWaitFor([&] { return KeypadShows(keypad, Streamed(violet, kKeypadKeys)); }, 5000))
        << "a new colour reaches every key";
    // A click on its entry in the device list shows its page, and its keys light up there.
    EXPECT_NE(w.Devices().CurrentPage(), page) << "the keyboard came first";
    auto* select = page->ListEntry()->findChild<QAbstractButton*>(QStringLiteral("device_select"));
    ASSERT_NE(select, nullptr);
    QTest::mouseClick(select, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Devices().CurrentPage() == page; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->KeyButton(kKeypadKeys - 1)->LiveColor() == PackKeyButtonColour(violet); }, 3000));

    // The profile is the keypad's own, in the folder its descriptor names.
    const QString profile = QString::fromStdString(page->Keypad().ProfilePath());
    EXPECT_TRUE(profile.contains(QStringLiteral("/keypad/"))) << profile.toStdString();
    QFile stored(profile);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stored.readAll().contains("#6010C0"));

    // Unplugged and back, it is found again and takes its stored colour.
    keypad.Unplug();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->ListEntry()->IsShown(); }, 8000));
    ASSERT_EQ(keypad.Start(), 1) << keypad.LastError();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Keypad().ConnectsDone() >= 2; }, 8000));
    EXPECT_EQ(w.Devices().PagesOf(kKeypadFamily).size(), 1u) << "the same page takes it again";
    EXPECT_TRUE(QTest::qWaitFor([&] { return KeypadShows(keypad, Streamed(violet, kKeypadKeys)); }, 5000));
}

// What the program refuses of an added kind: a family out of turn, a kind number or a name taken.
TEST(KeypadKindTest, AKindThatClashesIsRefusedWithItsReason) {
    ASSERT_TRUE(AddKeypadKind());
    std::string why;
    KindDescriptor again = kKeypad;
    EXPECT_FALSE(AddKind(again, &why)) << "the keypad's family is taken";
    again.family = static_cast<DeviceFamily>(kDeviceFamilyCount + 1);
    again.kind = DeviceKind::Mouse;
    EXPECT_FALSE(AddKind(again, &why));
    EXPECT_EQ(why, "its kind number is taken");
    again.kind = static_cast<DeviceKind>(9);
    EXPECT_FALSE(AddKind(again, &why));
    EXPECT_NE(why.find("\"keypad\""), std::string::npos) << why;
    EXPECT_EQ(FamilyFromIndex(kDeviceFamilyCount + 1), std::nullopt);
    EXPECT_EQ(FamilyOf(kKeypadKind), kKeypadFamily);
    EXPECT_STREQ(FolderName(kKeypadFamily), "keypad");
    EXPECT_EQ(KindFromNumber(8), kKeypadKind);
}

} // namespace nk7x::test
