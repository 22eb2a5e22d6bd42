// Joining the Wi-Fi network of a WIFI: text through NetworkManager over D-Bus: the computer's
// Wi-Fi device and the access point of that name are looked up, then NetworkManager is asked to
// add and activate a connection with the network's name, hidden flag, key management and
// secret. Nothing is asked before join() is called, and join() is called on a click only.
#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include "codecs/text_kind.h"

namespace velmora {

// NetworkManager's connection settings, a{sa{sv}}: setting name to its properties.
using NetworkSettings = QMap<QString, QVariantMap>;

// What NetworkManager answered.
struct WifiJoinAnswer {
    enum class Outcome {
        Joining,           // it took the connection and is activating it; detail: its active connection
        NoNetworkManager,  // nobody answers as org.freedesktop.NetworkManager; detail: the bus's reason
        NoWifiDevice,      // NetworkManager manages no Wi-Fi device
        OutOfReach,        // the device sees no network of that name
        Refused,           // NetworkManager said no; detail: its reason
        Unsupported,       // the text's security is none Velmora can set up; detail: the security
    };
    Outcome outcome = Outcome::Refused;
    QString detail;
};

class NetworkManagerClient : public QObject {
    Q_OBJECT

public:
    // The bus NetworkManager is asked on: the system bus, or the session bus when the
    // environment variable VELMORA_NETWORKMANAGER_BUS is "session" (a stand-in on a private bus).
    static QDBusConnection defaultBus();

    explicit NetworkManagerClient(QDBusConnection bus = defaultBus(), QObject* parent = nullptr);

    // Asks NetworkManager to join the network; answered() follows once, also when it fails at
    // once. The questions before the last are short; the last one may wait for the desktop to ask
    // the user for permission, so it does not block the window.
    void join(const WifiText& network);

    // The settings that join() hands to AddAndActivateConnection. rsnFlags and wpaFlags are those
    // of the network's access point (0 when it is not in sight): a "WPA" network whose access
    // point offers SAE only gets sae, every other one wpa-psk. False for a security that is not
    // WPA personal, WPA3 (SAE), WEP or open.
    static bool connectionSettings(const WifiText& network, uint rsnFlags, uint wpaFlags, NetworkSettings& settings);

signals:
    void answered(const velmora::WifiJoinAnswer& answer);

private:
    void finish(WifiJoinAnswer::Outcome outcome, const QString& detail = QString());

    QDBusConnection bus_;
};

}  // namespace velmora

Q_DECLARE_METATYPE(velmora::NetworkSettings)
Q_DECLARE_METATYPE(velmora::WifiJoinAnswer)
