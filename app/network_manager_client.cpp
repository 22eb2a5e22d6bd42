#include "app/network_manager_client.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <optional>

namespace velmora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kWirelessInterface = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
const QString kAccessPointInterface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// NetworkManager's numbers: NM_DEVICE_TYPE_WIFI and the NM_802_11_AP_SEC key management bits.
constexpr uint kDeviceTypeWifi = 2;
constexpr uint kKeyMgmtPsk = 0x100;
constexpr uint kKeyMgmtSae = 0x400;
// The short questions about devices and access points; NetworkManager answers them at once.
constexpr int kQuestionTimeoutMs = 5000;
// Activating may wait for the desktop to ask the user for permission.
constexpr int kActivationTimeoutMs = 120000;

QDBusMessage call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return message;
}

// Errors that mean nobody answers for NetworkManager on the bus.
bool isAbsent(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return true;
    default:
        return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

// The reason of an error as a user can read it: its message, else its name.
QString reasonOf(const QDBusError& error) {
    return error.message().isEmpty() ? error.name() : error.message();
}

bool isHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// A WEP key typed as 5 or 13 characters or 10 or 26 hexadecimal digits is the key itself
// (NM_WEP_KEY_TYPE_KEY); anything else is a passphrase that the key is made from.
uint wepKeyType(const std::string& key) {
    const std::size_t n = key.size();
    if (n == 5 || n == 13 || ((n == 10 || n == 26) && isHex(key))) return 1;
    return 2;
}

struct AccessPoint {
    QString path;
    uint rsnFlags = 0;
    uint wpaFlags = 0;
};

}  // namespace

QDBusConnection NetworkManagerClient::defaultBus() {
    if (qgetenv("VELMORA_NETWORKMANAGER_BUS") == "session") return QDBusConnection::sessionBus();
    return QDBusConnection::systemBus();
}

NetworkManagerClient::NetworkManagerClient(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
    qDBusRegisterMetaType<NetworkSettings>();
}

bool NetworkManagerClient::connectionSettings(const WifiText& network, uint rsnFlags, uint wpaFlags,
                                              NetworkSettings& settings) {
    const QString security = QString::fromStdString(network.security).trimmed().toUpper();
    const QByteArray ssid = QByteArray::fromStdString(network.ssid);
    QVariantMap security80211;
    if (security == QLatin1String("WPA") || security == QLatin1String("WPA2") || security == QLatin1String("WPA/WPA2")) {
        // Most symbols say WPA for every personal network; an access point that takes WPA3 only
        // needs SAE, a mixed one either, and WPA2 needs the pre-shared key.
        const uint flags = rsnFlags | wpaFlags;
        const bool saeOnly = (flags & kKeyMgmtSae) != 0 && (flags & kKeyMgmtPsk) == 0;
        security80211.insert(QStringLiteral("key-mgmt"), saeOnly ? QStringLiteral("sae") : QStringLiteral("wpa-psk"));
        security80211.insert(QStringLiteral("psk"), QString::fromStdString(network.password));
    } else if (security == QLatin1String("SAE") || security == QLatin1String("WPA3")) {
        security80211.insert(QStringLiteral("key-mgmt"), QStringLiteral("sae"));
        security80211.insert(QStringLiteral("psk"), QString::fromStdString(network.password));
    } else if (security == QLatin1String("WEP")) {
        security80211.insert(QStringLiteral("key-mgmt"), QStringLiteral("none"));
        security80211.insert(QStringLiteral("wep-key0"), QString::fromStdString(network.password));
        security80211.insert(QStringLiteral("wep-key-type"), wepKeyType(network.password));
        security80211.insert(QStringLiteral("wep-tx-keyidx"), 0u);
    } else if (!security.isEmpty() && security != QLatin1String("NOPASS")) {
        return false;
    }

    settings.clear();
    settings.insert(QStringLiteral("connection"), {{QStringLiteral("type"), QStringLiteral("802-11-wireless")},
                                                   {QStringLiteral("id"), QString::fromUtf8(ssid)}});
    QVariantMap wireless{{QStringLiteral("ssid"), ssid}, {QStringLiteral("mode"), QStringLiteral("infrastructure")}};
    if (network.hidden) wireless.insert(QStringLiteral("hidden"), true);
    settings.insert(QStringLiteral("802-11-wireless"), wireless);
    if (!security80211.isEmpty()) settings.insert(QStringLiteral("802-11-wireless-security"), security80211);
    return true;
}

void NetworkManagerClient::finish(WifiJoinAnswer::Outcome outcome, const QString& detail) {
    // Always after join() has returned, so that a caller connects before it can be answered.
    QTimer::singleShot(0, this, [this, outcome, detail] { emit answered(WifiJoinAnswer{outcome, detail}); });
}

void NetworkManagerClient::join(const WifiText& network) {
    NetworkSettings settings;
    if (!connectionSettings(network, 0, 0, settings)) {
        finish(WifiJoinAnswer::Outcome::Unsupported, QString::fromStdString(network.security));
        return;
    }
    if (!bus_.isConnected()) {
        finish(WifiJoinAnswer::Outcome::NoNetworkManager, reasonOf(bus_.lastError()));
        return;
    }

    const QDBusReply<QList<QDBusObjectPath>> devices =
        bus_.call(call(kManagerPath, kService, QStringLiteral("GetDevices")), QDBus::Block, kQuestionTimeoutMs);
    if (!devices.isValid()) {
        const QDBusError error = devices.error();
        finish(isAbsent(error) ? WifiJoinAnswer::Outcome::NoNetworkManager : WifiJoinAnswer::Outcome::Refused,
               reasonOf(error));
        return;
    }

    // The first Wi-Fi device that sees the network, with the access point it sees.
    QString firstWifi;
    QString device;
    std::optional<AccessPoint> point;
    const QByteArray ssid = QByteArray::fromStdString(network.ssid);
    for (const QDBusObjectPath& path : devices.value()) {
        const QDBusReply<QDBusVariant> type =
            bus_.call(call(path.path(), kProperties, QStringLiteral("Get"), {kDeviceInterface, QStringLiteral("DeviceType")}),
                      QDBus::Block, kQuestionTimeoutMs);
        if (!type.isValid() || type.value().variant().toUInt() != kDeviceTypeWifi) continue;
        if (firstWifi.isEmpty()) firstWifi = path.path();
        const QDBusReply<QList<QDBusObjectPath>> points = bus_.call(
            call(path.path(), kWirelessInterface, QStringLiteral("GetAllAccessPoints")), QDBus::Block, kQuestionTimeoutMs);
        if (!points.isValid()) continue;
        for (const QDBusObjectPath& pointPath : points.value()) {
            const QDBusReply<QVariantMap> properties =
                bus_.call(call(pointPath.path(), kProperties, QStringLiteral("GetAll"), {kAccessPointInterface}),
                          QDBus::Block, kQuestionTimeoutMs);
            if (!properties.isValid() || properties.value().value(QStringLiteral("Ssid")).toByteArray() != ssid) continue;
            point = AccessPoint{pointPath.path(), properties.value().value(QStringLiteral("RsnFlags")).toUInt(),
                                properties.value().value(QStringLiteral("WpaFlags")).toUInt()};
            break;
        }
        if (point) {
            device = path.path();
            break;
        }
    }
    if (firstWifi.isEmpty()) {
        finish(WifiJoinAnswer::Outcome::NoWifiDevice);
        return;
    }
    // A hidden network does not announce its name, so it is looked for only when joining.
    if (!point && !network.hidden) {
        finish(WifiJoinAnswer::Outcome::OutOfReach);
        return;
    }
    if (device.isEmpty()) device = firstWifi;
    if (point) connectionSettings(network, point->rsnFlags, point->wpaFlags, settings);

    QDBusMessage activate = call(kManagerPath, kService, QStringLiteral("AddAndActivateConnection"));
    activate << QVariant::fromValue(settings) << QVariant::fromValue(QDBusObjectPath(device))
             << QVariant::fromValue(QDBusObjectPath(point ? point->path : QStringLiteral("/")));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(activate, kActivationTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath, QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            const QDBusError error = reply.error();
            finish(isAbsent(error) && error.type() != QDBusError::NoReply && error.type() != QDBusError::Timeout
                       ? WifiJoinAnswer::Outcome::NoNetworkManager
                       : WifiJoinAnswer::Outcome::Refused,
                   reasonOf(error));
            return;
        }
        finish(WifiJoinAnswer::Outcome::Joining, reply.argumentAt<1>().path());
    });
}

}  // namespace velmora
