#include "app/screenshot_portal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace velmora {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Portal answers: 0 the request succeeded, 1 the user cancelled it, 2 it ended another way.
constexpr uint kResponseSuccess = 0;
constexpr uint kResponseCancelled = 1;

}  // namespace

// Waits for the Response signal of one portal request.
class PortalResponse : public QObject {
    Q_OBJECT

public:
    bool received = false;
    uint code = 2;
    QVariantMap results;
    QEventLoop loop;

public slots:
    void Response(uint response, const QVariantMap& answer) {
        received = true;
        code = response;
        results = answer;
        loop.quit();
    }
};

namespace {

// The object path under which the portal announces the answer to a request with this token.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

bool listen(QDBusConnection& bus, const QString& path, PortalResponse& response) {
    return bus.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), &response,
                       SLOT(Response(uint, QVariantMap)));
}

// One Screenshot request; the answer's code and results land in response.
PortalScreenshot request(QDBusConnection& bus, bool interactive, int timeoutMs, PortalResponse& response) {
    PortalScreenshot shot;
    const QString token = QStringLiteral("velmora%1").arg(QRandomGenerator::global()->generate());
    QString path = requestPath(bus, token);
    // Listen before asking, so that a quick answer is not missed.
    listen(bus, path, response);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                       QStringLiteral("org.freedesktop.portal.Screenshot"),
                                                       QStringLiteral("Screenshot"));
    call << QString() << QVariantMap{{QStringLiteral("handle_token"), token},
                                     {QStringLiteral("interactive"), interactive},
                                     {QStringLiteral("modal"), interactive}};
    QDBusPendingReply<QDBusObjectPath> reply = bus.asyncCall(call, timeoutMs);
    reply.waitForFinished();
    if (reply.isError()) {
        shot.error = reply.error().type() == QDBusError::ServiceUnknown
                         ? QStringLiteral("no screenshot portal runs on this desktop")
                         : QStringLiteral("the screenshot portal refused: %1").arg(reply.error().message());
        return shot;
    }
    // Older portals choose the path themselves.
    const QString answeredPath = reply.value().path();
    if (answeredPath != path) {
        bus.disconnect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), &response,
                       SLOT(Response(uint, QVariantMap)));
        listen(bus, answeredPath, response);
        path = answeredPath;
    }
    if (!response.received) {
        QTimer::singleShot(timeoutMs, &response.loop, &QEventLoop::quit);
        response.loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    bus.disconnect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), &response,
                   SLOT(Response(uint, QVariantMap)));
    if (!response.received) {
        shot.error = QStringLiteral("the screenshot portal did not answer");
    } else if (response.code == kResponseCancelled) {
        shot.outcome = PortalScreenshot::Outcome::Cancelled;
    } else if (response.code == kResponseSuccess) {
        const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
        shot.picture = QImage(uri.toLocalFile());
        if (shot.picture.isNull()) {
            shot.error = QStringLiteral("the portal's picture %1 cannot be read").arg(uri.toString());
        } else {
            shot.outcome = PortalScreenshot::Outcome::Taken;
        }
    } else {
        shot.error = QStringLiteral("the screenshot portal refused the request");
    }
    return shot;
}

}  // namespace

PortalScreenshot takePortalScreenshot(int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        PortalScreenshot shot;
        shot.error = QStringLiteral("there is no session bus to reach the screenshot portal");
        return shot;
    }
    PortalResponse quiet;
    PortalScreenshot shot = request(bus, false, timeoutMs, quiet);
    // A portal that answers but will not take a picture unasked gets to ask the user.
    if (shot.outcome == PortalScreenshot::Outcome::Failed && quiet.received && quiet.code != kResponseSuccess) {
        PortalResponse asked;
        shot = request(bus, true, timeoutMs, asked);
    }
    return shot;
}

}  // namespace velmora

#include "screenshot_portal.moc"
