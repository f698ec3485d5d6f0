// The lighting server of the real program, driven by a published client library that nobody here
// wrote (run with Node), against the emulated keyboard and mouse.
#include "app/ProgramRun.h"

#include "devices/keyboard/KeyboardRecords.h"
#include "tools/sim/SimDevice.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

using namespace nk7x;
using nk7x::test::ProgramRun;

namespace {

QString ClientModules() {
    return QStringLiteral(NK7X_BINARY_DIR "/sdk-client/node_modules");
}

// A port nobody listens on now.
quint16 FreePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// One step of the client script; its JSON answer, or null with `error` set.
QJsonObject Client(quint16 port, const QStringList& step, QString* error) {
    QProcess node;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SDK_CLIENT_MODULES", ClientModules());
    node.setProcessEnvironment(env);
    node.start("node", QStringList{QStringLiteral(NK7X_SOURCE_DIR "/tests/app/sdkclient/client.cjs"),
                                   QString::number(port)} +
                           step);
    if (!node.waitForFinished(20000))
        node.kill();
    const QByteArray out = node.readAllStandardOutput();
    *error = QString::fromUtf8(node.readAllStandardError());
    if (node.exitStatus() != QProcess::NormalExit || node.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(out).object();
}

// The pattern client.cjs paints: LED i.
std::array<uint8_t, 3> Pattern(int i) {
    return {static_cast<uint8_t>(i * 7 + 1), static_cast<uint8_t>(i * 13 + 2), static_cast<uint8_t>(255 - i)};
}

QJsonObject DeviceOfType(const QJsonArray& devices, int type, int* index) {
    for (int i = 0; i < devices.size(); ++i)
        if (devices[i].toObject()["type"].toInt() == type) {
            *index = i;
            return devices[i].toObject();
        }
    *index = -1;
    return {};
}

} // namespace

TEST(LightingServer, APublishedClientListsTheDevicesSetsDirectColoursAndModes) {
    if (QStandardPaths::findExecutable("node").isEmpty() || !QDir(ClientModules() + "/openrgb-sdk").exists())
        FAIL()
            << "the lighting client is missing: scripts/install-deps.sh installs Node.js and the client into "
            << ClientModules().toStdString();
    ProgramRun run;
    const QString simFolder = run.SimFolder();
    ASSERT_FALSE(simFolder.isEmpty());
    SimOptions keyboardOptions;
    keyboardOptions.folder = simFolder.toStdString();
    SimDevice keyboard(keyboardOptions);
    ASSERT_EQ(keyboard.Start(), 1) << keyboard.LastError();
    SimOptions mouseOptions;
    mouseOptions.folder = simFolder.toStdString();
    mouseOptions.kind = SimKind::Mouse;
    mouseOptions.name = "mouse1";
    SimDevice mouse(mouseOptions);
    ASSERT_EQ(mouse.Start(), 1) << mouse.LastError();

    const quint16 port = FreePort();
    ASSERT_NE(port, 0);
    QProcess* app = run.Start({QStringLiteral("--sdk-server=127.0.0.1:%1").arg(port)});
    ASSERT_TRUE(app->waitForStarted(5000));
    ASSERT_TRUE(run.WaitForLine(app, "lighting server: listening", 10000)) << run.Output(app).toStdString();

    // Both devices connected: the client sees two controllers.
    QString error;
    QJsonObject list;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        list = Client(port, {"list"}, &error);
        if (list["devices"].toArray().size() == 2)
            break;
        QTest::qWait(200);
    }
    const QJsonArray devices = list["devices"].toArray();
    ASSERT_EQ(devices.size(), 2) << error.toStdString() << run.Output(app).toStdString();
    EXPECT_EQ(list["protocol"].toInt(), 5);

    int kb = -1;
    const QJsonObject kbd = DeviceOfType(devices, 5, &kb);
    ASSERT_GE(kb, 0) << "no keyboard among the controllers";
    EXPECT_EQ(kbd["name"].toString(), "NK-7X Keyboard");
    EXPECT_EQ(kbd["vendor"].toString(), "Norla Keys");
    const QJsonArray leds = kbd["leds"].toArray();
    ASSERT_GT(leds.size(), 100);
    EXPECT_EQ(leds[0].toObject()["name"].toString(), "Key: Esc");
    // The keys sit in their rows: Esc above the grave accent, Q under 1 and beside Tab.
    const QJsonObject zone = kbd["zones"].toArray()[0].toObject();
    EXPECT_EQ(zone["type"].toInt(), 2);
    EXPECT_EQ(zone["ledsCount"].toInt(), leds.size());
    const QJsonArray rows = zone["matrix"].toObject()["keys"].toArray();
    ASSERT_GE(rows.size(), 6);
    const auto rowOf = [&rows, &leds](const QString& name, int* column) {
        for (int r = 0; r < rows.size(); ++r) {
            const QJsonArray row = rows[r].toArray();
            for (int c = 0; c < row.size(); ++c)
                if (!row[c].isNull() && leds[row[c].toInt()].toObject()["name"].toString() == name) {
                    *column = c;
                    return r;
                }
        }
        return -1;
    };
    int escColumn = 0, graveColumn = 0, tabColumn = 0, qColumn = 0, oneColumn = 0;
    EXPECT_EQ(rowOf("Key: Esc", &escColumn), 0);
    EXPECT_EQ(rowOf("Key: `", &graveColumn), 1);
    EXPECT_EQ(rowOf("Key: 1", &oneColumn), 1);
    EXPECT_EQ(rowOf("Key: Tab", &tabColumn), 2);
    EXPECT_EQ(rowOf("Key: Q", &qColumn), 2);
    EXPECT_EQ(escColumn, graveColumn);
    EXPECT_LT(tabColumn, qColumn);
    EXPECT_LE(qColumn - oneColumn, 1);
    int ms = -1;
    const QJsonObject mouseData = DeviceOfType(devices, 6, &ms);
    ASSERT_GE(ms, 0) << "no mouse among the controllers";
    EXPECT_EQ(mouseData["zones"].toArray()[0].toObject()["type"].toInt(), 1);
    EXPECT_EQ(mouseData["modes"].toArray()[0].toObject()["name"].toString(), "Direct");

    // Direct colours reach the keyboard's live frame byte for byte, each key at its own place.
    const QJsonObject painted = Client(port, {"leds", QString::number(kb)}, &error);
    ASSERT_FALSE(painted.isEmpty()) << error.toStdString();
    EXPECT_EQ(painted["activeMode"].toInt(), 0) << "the direct mode is active";
    std::vector<uint8_t> expected(kSimLiveLightingBytes, 0);
    for (int i = 0; i < leds.size(); ++i) {
        const int key = leds[i].toObject()["value"].toInt();
        const std::array<uint8_t, 3> c = Pattern(i);
        std::copy(c.begin(), c.end(), expected.begin() + 3 * key);
    }
    t.restart();
    std::vector<uint8_t> live;
    while (t.elapsed() < 3000) {
        live = keyboard.LiveLighting();
        live.resize(expected.size());
        if (live == expected)
            break;
        QTest::qWait(20);
    }
    EXPECT_TRUE(keyboard.IsLiveLighting()) << "the keyboard was put in its live mode";
    EXPECT_EQ(live, expected);

    // A bad packet closes that client only: the next one is served.
    QTcpSocket rogue;
    rogue.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(rogue.waitForConnected(3000));
    rogue.write(QByteArray("XRGB") + QByteArray(12, '\0'));
    EXPECT_TRUE(rogue.state() == QAbstractSocket::UnconnectedState || rogue.waitForDisconnected(3000));
    EXPECT_TRUE(run.WaitForLine(app, "lighting server: closed the client", 3000))
        << run.Output(app).toStdString();

    // A mode of the keyboard's own, with its colour: stored and written as the window would.
    const auto writesBefore = keyboard.Counters().perCommand[6];
    const QJsonObject moded = Client(port, {"mode", QString::number(kb), "Static", "123456"}, &error);
    ASSERT_FALSE(moded.isEmpty()) << error.toStdString();
    EXPECT_EQ(moded["mode"].toObject()["name"].toString(), "Static");
    const QJsonArray colours = moded["mode"].toObject()["colors"].toArray();
    ASSERT_EQ(colours.size(), 1);
    EXPECT_EQ(colours[0].toObject()["red"].toInt(), 0x12);
    EXPECT_EQ(colours[0].toObject()["blue"].toInt(), 0x56);
    t.restart();
    KeyboardSettingsRecord record;
    bool parsed = false;
    while (t.elapsed() < 3000) {
        parsed = KeyboardSettingsRecord::Parse(keyboard.SettingsRecord(0), record);
        if (parsed && record.light.mode == 6 && record.light.red == 0x12)
            break;
        QTest::qWait(20);
    }
    ASSERT_TRUE(parsed);
    EXPECT_GT(keyboard.Counters().perCommand[6], writesBefore) << "the settings record was written";
    EXPECT_EQ(record.light.mode, 6);
    EXPECT_EQ(record.light.red, 0x12);
    EXPECT_EQ(record.light.green, 0x34);
    EXPECT_EQ(record.light.blue, 0x56);
}
