// Joining a Wi-Fi network from a WIFI: text. These tests run on a private session bus
// (dbus-run-session) against a stand-in NetworkManager process that records the settings it is
// handed: the network's name as bytes, key management and secret for each security, the hidden
// flag, the device and access point; and that answers as NetworkManager does when it refuses,
// manages no Wi-Fi device, sees no such network, or is not there at all.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/main_window.h"
#include "app/network_manager_client.h"
#include "app/read_actions.h"
#include "app_test_support.h"
#include "codecs/text_kind.h"
#include "decode_test_support.h"

using velmora::NetworkManagerClient;
using velmora::WifiJoinAnswer;
using velmora::test::ScratchHome;
using Outcome = velmora::WifiJoinAnswer::Outcome;

namespace {

const QString kName = QStringLiteral("org.freedesktop.NetworkManager");
const QString kRoot = QStringLiteral("/org/freedesktop/NetworkManager");

bool managerRegistered() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kName);
}

// An access point the stand-in's Wi-Fi device sees: its name and RSN flags (0x100 PSK, 0x400 SAE).
QString pointSpec(const QByteArray& ssid, uint rsnFlags) {
    return QString::fromLatin1(ssid.toHex()) + QStringLiteral(":0x") + QString::number(rsnFlags, 16);
}

}  // namespace

class JoiningWifiNetworks : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;
    std::unique_ptr<QProcess> manager_;

    QString settingsLog() const { return home_->file("settings.txt"); }

    void startManager(const QString& mode, const QStringList& points) {
        manager_ = std::make_unique<QProcess>();
        manager_->setProcessChannelMode(QProcess::ForwardedChannels);
        manager_->start(QStringLiteral(VELMORA_FAKE_NETWORK_MANAGER), QStringList{mode, settingsLog()} + points);
        QVERIFY(manager_->waitForStarted());
        QTRY_VERIFY(managerRegistered());
    }

    void stopManager() {
        if (!manager_) return;
        manager_->kill();
        manager_->waitForFinished();
        manager_.reset();
        QTRY_VERIFY(!managerRegistered());
    }

    // Joins the network of the text through the session bus; the answer.
    static WifiJoinAnswer join(const QByteArray& text) {
        const std::optional<velmora::WifiText> network = velmora::readWifiText(text.toStdString());
        if (!network) return {Outcome::Unsupported, QStringLiteral("not a WIFI: text")};
        NetworkManagerClient client(QDBusConnection::sessionBus());
        QSignalSpy answered(&client, &NetworkManagerClient::answered);
        client.join(*network);
        if (!answered.wait(10000)) return {Outcome::Refused, QStringLiteral("no answer")};
        return qvariant_cast<WifiJoinAnswer>(answered.first().first());
    }

    // The settings the stand-in received, "setting.property" to value.
    QMap<QString, QString> received() const {
        QMap<QString, QString> settings;
        const QList<QByteArray> lines = velmora::test::fileBytes(settingsLog()).split('\n');
        for (const QByteArray& line : lines) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0) settings.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
        }
        return settings;
    }

private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("no session bus: run under dbus-run-session");
        qRegisterMetaType<WifiJoinAnswer>();
    }
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() {
        stopManager();
        home_.reset();
    }

    // Each security becomes NetworkManager's key management and secret; the name goes as the
    // bytes it is, escapes removed; a hidden network is flagged and looked for without an access
    // point in sight.
    void eachSecurityReachesNetworkManagerAsItsSettings() {
        struct Case {
            QByteArray text;
            QStringList points;
            QMap<QString, QString> expected;  // an empty value: the property must be absent
        };
        const QString wpa = QStringLiteral("802-11-wireless-security.");
        const QByteArray cafe = QByteArray("Caf\xc3\xa9;Net:1");
        const std::vector<Case> cases = {
            {"WIFI:T:WPA;S:Home;P:secret12;;", {pointSpec("Other", 0x100), pointSpec("Home", 0x100)},
             {{wpa + "key-mgmt", "wpa-psk"}, {wpa + "psk", "secret12"}, {"802-11-wireless.ssid", "486f6d65"},
              {"802-11-wireless.hidden", ""}, {"connection.type", "802-11-wireless"},
              {"device", kRoot + "/Devices/2"}, {"specific-object", kRoot + "/AccessPoint/1"}}},
            // An access point that takes WPA3 only gets SAE, whatever the symbol calls it.
            {"WIFI:T:WPA;S:Home;P:secret12;;", {pointSpec("Home", 0x400)}, {{wpa + "key-mgmt", "sae"}, {wpa + "psk", "secret12"}}},
            {"WIFI:T:WPA;S:Home;P:secret12;;", {pointSpec("Home", 0x500)}, {{wpa + "key-mgmt", "wpa-psk"}}},
            {"WIFI:T:SAE;S:Home;P:secret12;;", {pointSpec("Home", 0x500)}, {{wpa + "key-mgmt", "sae"}}},
            {"WIFI:T:WEP;S:Home;P:abcdefghijklm;;", {pointSpec("Home", 0)},
             {{wpa + "key-mgmt", "none"}, {wpa + "wep-key0", "abcdefghijklm"}, {wpa + "wep-key-type", "1"}, {wpa + "psk", ""}}},
            {"WIFI:T:WEP;S:Home;P:0123456789;;", {pointSpec("Home", 0)}, {{wpa + "wep-key-type", "1"}}},
            {"WIFI:T:WEP;S:Home;P:a long passphrase;;", {pointSpec("Home", 0)}, {{wpa + "wep-key-type", "2"}}},
            {"WIFI:T:nopass;S:Lobby;;", {pointSpec("Lobby", 0)}, {{wpa + "key-mgmt", ""}, {"802-11-wireless.ssid", "4c6f626279"}}},
            {"WIFI:S:Caf\xc3\xa9\\;Net\\:1;T:WPA;P:p\\;w\\\\d12345;;", {pointSpec(cafe, 0x100)},
             {{"802-11-wireless.ssid", QString::fromLatin1(cafe.toHex())}, {wpa + "psk", "p;w\\d12345"}}},
            {"WIFI:T:WPA;S:Attic;P:secret12;H:true;;", {pointSpec("Home", 0x100)},
             {{"802-11-wireless.hidden", "true"}, {wpa + "key-mgmt", "wpa-psk"}, {"specific-object", "/"},
              {"device", kRoot + "/Devices/2"}}},
        };
        for (const Case& c : cases) {
            QFile::remove(settingsLog());
            startManager(QStringLiteral("accept"), c.points);
            const WifiJoinAnswer answer = join(c.text);
            QVERIFY2(answer.outcome == Outcome::Joining, c.text.constData());
            QCOMPARE(answer.detail, kRoot + QStringLiteral("/ActiveConnection/7"));
            const QMap<QString, QString> settings = received();
            for (auto expected = c.expected.begin(); expected != c.expected.end(); ++expected) {
                if (expected.value().isEmpty())
                    QVERIFY2(!settings.contains(expected.key()), qPrintable(QString::fromUtf8(c.text) + " has " + expected.key()));
                else
                    QVERIFY2(settings.value(expected.key()) == expected.value(),
                             qPrintable(QString::fromUtf8(c.text) + ": " + expected.key() + "=" + settings.value(expected.key())));
            }
            stopManager();
        }
    }

    // What goes wrong is told apart, and nothing is asked of a network Velmora cannot set up.
    void failuresAreToldApart() {
        struct Case {
            const char* mode;  // nullptr: no NetworkManager on the bus
            QByteArray text;
            Outcome outcome;
            QString detail;
        };
        const std::vector<Case> cases = {
            {"refuse", "WIFI:T:WPA;S:Home;P:secret12;;", Outcome::Refused, "Not authorized to control networking."},
            {"accept", "WIFI:T:WPA;S:Far away;P:secret12;;", Outcome::OutOfReach, ""},
            {"no-wifi", "WIFI:T:WPA;S:Home;P:secret12;;", Outcome::NoWifiDevice, ""},
            {nullptr, "WIFI:T:WPA;S:Home;P:secret12;;", Outcome::NoNetworkManager, ""},
            {"accept", "WIFI:T:WPA2-EAP;S:Home;P:secret12;;", Outcome::Unsupported, "WPA2-EAP"},
        };
        for (const Case& c : cases) {
            QFile::remove(settingsLog());
            if (c.mode != nullptr) startManager(QString::fromLatin1(c.mode), {pointSpec("Home", 0x100)});
            const WifiJoinAnswer answer = join(c.text);
            QVERIFY2(answer.outcome == c.outcome, c.text.constData());
            if (!c.detail.isEmpty()) QCOMPARE(answer.detail, c.detail);
            if (c.outcome == Outcome::NoNetworkManager) QVERIFY(!answer.detail.isEmpty());
            // Only a refusal was asked to activate anything.
            QCOMPARE(QFileInfo::exists(settingsLog()), c.outcome == Outcome::Refused);
            stopManager();
        }
    }

    // In the window: Connect asks only when clicked, through the bus the environment names, and
    // shows the answer.
    void connectButtonAsksOnClickAndShowsTheAnswer() {
        qputenv("VELMORA_NETWORKMANAGER_BUS", "session");
        startManager(QStringLiteral("accept"), {pointSpec("Home", 0x100)});
        velmora::TForm1 window;
        QVERIFY(velmora::test::symbolPicture("WIFI:T:WPA;S:Home;P:secret12;;").save(home_->file("wifi.png")));
        QCOMPARE(window.DecodeFile(home_->file("wifi.png")), 1);
        auto* connect = window.findChild<velmora::ReadActions*>()->findChild<QPushButton*>(QStringLiteral("ConnectButton"));
        QVERIFY(connect != nullptr);
        QTest::qWait(200);
        QVERIFY2(!QFileInfo::exists(settingsLog()), "nothing is asked before the click");
        const auto seen = velmora::test::answerNextMessageBox();
        connect->click();
        QTRY_VERIFY(seen->shown);
        QCOMPARE(seen->text, QStringLiteral("NetworkManager is joining the network Home (%1/ActiveConnection/7).").arg(kRoot));
        QCOMPARE(received().value(QStringLiteral("802-11-wireless-security.psk")), QStringLiteral("secret12"));
        QVERIFY(connect->isEnabled());

        stopManager();
        const auto absent = velmora::test::answerNextMessageBox();
        connect->click();
        QTRY_VERIFY(absent->shown);
        QVERIFY2(absent->text.startsWith(QStringLiteral("NetworkManager does not answer, so Velmora cannot join Home: ")),
                 qPrintable(absent->text));
        qunsetenv("VELMORA_NETWORKMANAGER_BUS");
    }
};

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv, {suite<JoiningWifiNetworks>()});
}

#include "network_manager_client_test.moc"
