#pragma once

#include "log/ActionLog.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <vector>

class AppSettings;
class DesktopNotifications;
class TDConnection;

// Which inbound connections reach the server. In protected mode a
// connection from an address the user has not approved is held: it is not
// started, nothing is sent to it, at most 64 KB of what it sends is kept, and
// the phone in use stays. The user allows it (the address is remembered)
// or denies it, in the window or in a desktop notification; a question
// left unanswered for a minute counts as Deny.
class ConnectionGate : public QObject {
    Q_OBJECT
    // The held phones' addresses, oldest first; each is one question.
    Q_PROPERTY(QStringList pendingPhones READ pendingPhones NOTIFY pendingPhonesChanged)
public:
    static constexpr qint64 heldBytesLimit = 64 * 1024;
    static constexpr int maximumHeld = 8;
    static constexpr int answerTimeoutMs = 60'000;

    explicit ConnectionGate(ActionLog log = {}, QObject *parent = nullptr);
    ~ConnectionGate() override;

    // Without settings every connection passes.
    void setSettings(AppSettings *settings) { m_settings = settings; }
    void setNotifications(DesktopNotifications *notifications);
    // Tests wait less than a minute.
    void setAnswerTimeout(int ms) { m_answerTimeoutMs = ms; }

    // Takes ownership of an unstarted inbound connection: hands it on at
    // once through `admitted`, or holds it.
    void admit(TDConnection *connection);

    QStringList pendingPhones() const;
    Q_INVOKABLE void allow(const QString &address);
    Q_INVOKABLE void deny(const QString &address);

signals:
    // A connection the server may adopt; the receiver takes ownership.
    void admitted(TDConnection *connection);
    void pendingPhonesChanged();

private:
    struct Held {
        QString address;
        QPointer<TDConnection> connection;
    };

    void hold(TDConnection *connection, const QString &address);
    // Removes the held connection from `address`; nullptr when none. The
    // address is taken by value: callers pass the entry that is erased.
    TDConnection *release(QString address);
    void close(QString address, const QString &logLine);
    void expire(TDConnection *connection);

    ActionLog m_log;
    AppSettings *m_settings = nullptr;
    QPointer<DesktopNotifications> m_notifications;
    int m_answerTimeoutMs = answerTimeoutMs;
    std::vector<Held> m_held; // oldest first, one per address
};
