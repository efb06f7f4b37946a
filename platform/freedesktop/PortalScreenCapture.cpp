#include "platform/freedesktop/PortalScreenCapture.h"

#include "platform/freedesktop/DesktopSession.h"
#include "platform/freedesktop/DBusCall.h"
#include "platform/freedesktop/FileMove.h"
#include "platform/freedesktop/ScrotScreenCapture.h"

#include <QDBusObjectPath>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Waits, in a local event loop on the calling thread, for one request's
// Response signal.
class ResponseWaiter : public QObject {
    Q_OBJECT
public:
    std::optional<uint> response;
    QVariantMap results;

    bool listen(const QString &requestPath, bool on)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const char *slot = SLOT(onResponse(uint, QVariantMap));
        return on ? bus.connect(portalService, requestPath, requestInterface, QStringLiteral("Response"), this, slot)
                  : bus.disconnect(portalService, requestPath, requestInterface, QStringLiteral("Response"), this, slot);
    }

    void wait(int timeoutMs)
    {
        if (response)
            return;
        QTimer::singleShot(timeoutMs, &m_loop, &QEventLoop::quit);
        m_loop.exec();
    }

private slots:
    void onResponse(uint code, const QVariantMap &values)
    {
        response = code;
        results = values;
        m_loop.quit();
    }

private:
    QEventLoop m_loop;
};

// Where the portal will publish the request: known before the call, so the
// answer cannot come before anyone listens.
QString expectedRequestPath(const QString &token)
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// scrot reads the X server's screen, which holds nothing under a Wayland
// compositor's XWayland: only an X11 session falls back to it.
ActionResult captureWithScrot(const QString &path, const QString &portalError)
{
    const DesktopSession &session = DesktopSession::current();
    if (session.wayland || !session.x11Display)
        return QStringLiteral("Cannot take a screenshot: %1").arg(portalError);
    if (ActionResult error = ScrotScreenCapture().capture(path))
        return QStringLiteral("Cannot take a screenshot: %1; %2").arg(portalError, *error);
    return std::nullopt;
}

} // namespace

PortalScreenCapture::PortalScreenCapture(int responseTimeoutMs) : m_responseTimeoutMs(responseTimeoutMs) {}

ActionResult PortalScreenCapture::capture(const QString &path)
{
    const QString token = QStringLiteral("tendril%1").arg(QRandomGenerator::global()->generate());
    ResponseWaiter waiter;
    QString requestPath = expectedRequestPath(token);
    waiter.listen(requestPath, true);

    const DBusCall::Target screenshot{portalService, QStringLiteral("/org/freedesktop/portal/desktop"),
                                      QStringLiteral("org.freedesktop.portal.Screenshot")};
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), false}};
    QVariantList reply;
    if (ActionResult error = DBusCall::call(QDBusConnection::sessionBus(), screenshot,
                                                      QStringLiteral("Screenshot"), {QString(), options}, &reply)) {
        waiter.listen(requestPath, false);
        return captureWithScrot(path, *error);
    }
    // Portals older than handle tokens choose the path themselves.
    const QString handle = reply.value(0).value<QDBusObjectPath>().path();
    if (!handle.isEmpty() && handle != requestPath) {
        waiter.listen(requestPath, false);
        waiter.listen(requestPath = handle, true);
    }
    waiter.wait(m_responseTimeoutMs);
    waiter.listen(requestPath, false);

    if (!waiter.response)
        return QStringLiteral("The screenshot portal did not answer within %1 s").arg(m_responseTimeoutMs / 1000);
    if (*waiter.response != 0)
        return QStringLiteral("The screenshot portal refused (response %1)").arg(*waiter.response);
    const QUrl uri(waiter.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return QStringLiteral("The screenshot portal gave no local file: \"%1\"").arg(uri.toString());
    return moveFile(uri.toLocalFile(), path);
}

#include "PortalScreenCapture.moc"
