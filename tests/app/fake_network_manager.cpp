// Test stand-in for NetworkManager on a private session bus. It owns
// org.freedesktop.NetworkManager and answers what Velmora asks when it joins a Wi-Fi network: the
// devices (an Ethernet one and, unless told otherwise, a Wi-Fi one), the access points that Wi-Fi
// device sees, and AddAndActivateConnection, whose settings it writes to the settings log, one
// "setting.property=value" line each (byte arrays in hexadecimal), followed by the device and
// specific object it was given.
// Usage: fake_network_manager MODE SETTINGS_LOG [SSID_HEX:RSN_FLAGS ...], MODE one of
//   accept    take the connection and answer with its paths
//   refuse    answer AddAndActivateConnection with NetworkManager's PermissionDenied error
//   no-wifi   manage an Ethernet device only
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <cstdio>

using NetworkSettings = QMap<QString, QVariantMap>;
Q_DECLARE_METATYPE(NetworkSettings)

namespace {

const QString kRoot = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kEthernet = kRoot + QStringLiteral("/Devices/1");
const QString kWifi = kRoot + QStringLiteral("/Devices/2");
const QString kPointPrefix = kRoot + QStringLiteral("/AccessPoint/");

struct AccessPoint {
    QByteArray ssid;
    uint rsnFlags;
};

QString valueText(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray) return QString::fromLatin1(value.toByteArray().toHex());
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

}  // namespace

class FakeNetworkManager : public QDBusVirtualObject {
public:
    FakeNetworkManager(QString mode, QString log, QList<AccessPoint> points)
        : mode_(std::move(mode)), log_(std::move(log)), points_(std::move(points)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString path = message.path();
        const QString member = message.member();
        QDBusMessage reply;
        if (path == kRoot && member == QLatin1String("GetDevices")) {
            QList<QDBusObjectPath> devices{QDBusObjectPath(kEthernet)};
            if (mode_ != QLatin1String("no-wifi")) devices << QDBusObjectPath(kWifi);
            reply = message.createReply(QVariant::fromValue(devices));
        } else if (member == QLatin1String("Get") && (path == kEthernet || path == kWifi)) {
            reply = message.createReply(QVariant::fromValue(QDBusVariant(path == kWifi ? 2u : 1u)));
        } else if (path == kWifi && member == QLatin1String("GetAllAccessPoints")) {
            QList<QDBusObjectPath> points;
            for (int i = 0; i < points_.size(); ++i) points << QDBusObjectPath(kPointPrefix + QString::number(i));
            reply = message.createReply(QVariant::fromValue(points));
        } else if (path.startsWith(kPointPrefix) && member == QLatin1String("GetAll")) {
            const AccessPoint& point = points_.at(path.mid(kPointPrefix.size()).toInt());
            const QVariantMap properties{{QStringLiteral("Ssid"), point.ssid},
                                         {QStringLiteral("RsnFlags"), point.rsnFlags},
                                         {QStringLiteral("WpaFlags"), 0u},
                                         {QStringLiteral("Flags"), 1u}};
            reply = message.createReply(properties);
        } else if (path == kRoot && member == QLatin1String("AddAndActivateConnection")) {
            record(message);
            if (mode_ == QLatin1String("refuse"))
                reply = message.createErrorReply(QStringLiteral("org.freedesktop.NetworkManager.PermissionDenied"),
                                                 QStringLiteral("Not authorized to control networking."));
            else
                reply = message.createReply({QVariant::fromValue(QDBusObjectPath(kRoot + QStringLiteral("/Settings/7"))),
                                             QVariant::fromValue(QDBusObjectPath(kRoot + QStringLiteral("/ActiveConnection/7")))});
        } else {
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member);
        }
        connection.send(reply);
        return true;
    }

private:
    void record(const QDBusMessage& message) {
        const QList<QVariant> arguments = message.arguments();
        QByteArray lines;
        const NetworkSettings settings = qdbus_cast<NetworkSettings>(arguments.value(0));
        for (auto setting = settings.begin(); setting != settings.end(); ++setting)
            for (auto property = setting->begin(); property != setting->end(); ++property)
                lines += (setting.key() + QLatin1Char('.') + property.key() + QLatin1Char('=') + valueText(property.value()))
                             .toUtf8() +
                         '\n';
        lines += "device=" + qvariant_cast<QDBusObjectPath>(arguments.value(1)).path().toUtf8() + '\n';
        lines += "specific-object=" + qvariant_cast<QDBusObjectPath>(arguments.value(2)).path().toUtf8() + '\n';
        QFile file(log_);
        if (file.open(QIODevice::Append)) file.write(lines);
    }

    QString mode_, log_;
    QList<AccessPoint> points_;
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: fake_network_manager MODE SETTINGS_LOG [SSID_HEX:RSN_FLAGS ...]\n");
        return 2;
    }
    qDBusRegisterMetaType<NetworkSettings>();
    QList<AccessPoint> points;
    for (int i = 3; i < argc; ++i) {
        const QList<QByteArray> parts = QByteArray(argv[i]).split(':');
        points.append({QByteArray::fromHex(parts.value(0)), parts.value(1).toUInt(nullptr, 0)});
    }
    FakeNetworkManager manager(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), points);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(kRoot, &manager, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.NetworkManager"))) {
        std::fprintf(stderr, "fake_network_manager: cannot take NetworkManager's name on the session bus\n");
        return 1;
    }
    return application.exec();
}
