#include "web/WebPageServer.h"

#include "transport/PeerAddress.h"
#include "web/WebLog.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>

namespace {

const QString kPageRoot = QStringLiteral(":/web/");

QByteArray contentType(const QString &name)
{
    static const std::pair<const char *, const char *> types[] = {
        {".html", "text/html; charset=utf-8"},  {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},    {".svg", "image/svg+xml"},
        {".png", "image/png"},                  {".ico", "image/x-icon"},
        {".json", "application/json"},          {".webmanifest", "application/manifest+json"},
    };
    for (const auto &[suffix, type] : types)
        if (name.endsWith(QLatin1String(suffix)))
            return type;
    return "application/octet-stream";
}

// Only plain file names: no folders, nothing hidden.
QString pageFile(const QString &path)
{
    const QString name = path == QLatin1String("/") ? QStringLiteral("index.html") : path.mid(1);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return {};
    return kPageRoot + name;
}

bool isWebSocketUpgrade(const QHttpServerRequest &request)
{
    return request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0
           && request.value("connection").toLower().contains("upgrade");
}

} // namespace

WebPageServer::WebPageServer(QObject *parent)
    : QAbstractHttpServer(parent)
{
}

bool WebPageServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    using Status = QHttpServerResponder::StatusCode;
    if (isWebSocketUpgrade(request))
        return answerUpgrade(request, responder);
    if (!m_host.isHostHeaderOurs(QString::fromLatin1(request.value("host")), m_port)) {
        responder.write(Status::Forbidden);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get
        && request.method() != QHttpServerRequest::Method::Head) {
        responder.write(Status::MethodNotAllowed);
        return true;
    }
    QFile file(pageFile(request.url().path()));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly)) {
        responder.write(Status::NotFound);
        return true;
    }
    // Nothing but this page's own files and its own link.
    const QByteArray policy = "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data: blob:; connect-src ws://"
                              + request.value("host") + "; frame-ancestors 'none'";
    // The page is part of the program: a new version brings a new page.
    responder.write(file.readAll(),
                    {{"Content-Type", contentType(file.fileName())},
                     {"Cache-Control", "no-cache"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Referrer-Policy", "no-referrer"},
                     {"Content-Security-Policy", policy}});
    return true;
}

bool WebPageServer::answerUpgrade(const QHttpServerRequest &request, QHttpServerResponder &responder)
{
    const QString host = QString::fromLatin1(request.value("host"));
    const QString origin = QString::fromLatin1(request.value("origin"));
    if (request.url().path() == linkPath && m_host.isHostHeaderOurs(host, m_port)
        && isOwnPageOrigin(origin, host))
        return true;
    qCWarning(lcWeb).noquote() << QStringLiteral("[Web] Refused a link from %1 (origin %2, host %3)")
                                      .arg(peerAddressText(request.remoteAddress()),
                                           origin.isEmpty() ? QStringLiteral("none") : origin,
                                           host.isEmpty() ? QStringLiteral("none") : host);
    // Refused, the base class closes the connection after the answer.
    responder.write(QHttpServerResponder::StatusCode::Forbidden);
    return false;
}

void WebPageServer::missingHandler(const QHttpServerRequest &, QTcpSocket *)
{
}
