#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QtEndian>

// A phone for the window's tests: connects over loopback, reads the desktop's
// frames (marker DE AD BE EF, big-endian length, JSON) and keeps the app
// lists it is sent, as lists of bundle identifiers.
class LoopbackPhone : public QObject {
    Q_OBJECT
public:
    explicit LoopbackPhone(quint16 port)
    {
        connect(&m_socket, &QTcpSocket::readyRead, this, &LoopbackPhone::read);
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    }

    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    const QList<QStringList> &appLists() const { return m_appLists; }
    int appListCount() const { return int(m_appLists.size()); }

private:
    void read()
    {
        m_buffer += m_socket.readAll();
        while (m_buffer.size() >= 8) {
            const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + 4);
            if (m_buffer.size() < 8 + qsizetype(length))
                return;
            const QJsonObject message =
                QJsonDocument::fromJson(m_buffer.mid(8, length)).object();
            m_buffer.remove(0, 8 + length);
            if (!message.contains(QStringLiteral("appListUpdate")))
                continue;
            QStringList ids;
            const QJsonArray apps =
                message.value(QStringLiteral("appListUpdate")).toObject().value(QStringLiteral("apps")).toArray();
            for (const QJsonValue &app : apps)
                ids.append(app.toObject().value(QStringLiteral("bundleIdentifier")).toString());
            m_appLists.append(ids);
        }
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QList<QStringList> m_appLists;
};
