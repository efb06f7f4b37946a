#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class TDConnection;
class TDMessageStream;

// Keeps what one phone link holds in memory bounded, whatever the phone does:
// the link stops taking frames while many decoded messages wait to be handled
// or while much waits to be written to a phone that does not read, and goes
// on below those marks. A phone that takes nothing for a long time while over
// the write mark is reported as stalled.
class BackPressure : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maximumPendingMessages = 16;
    static constexpr qsizetype maximumPendingBytes = 16 * 1024 * 1024;
    static constexpr qint64 writeHighWaterMark = 16 * 1024 * 1024;
    static constexpr int stalledWriteLimitMs = 30'000;

    explicit BackPressure(QObject *parent = nullptr);

    // Either may be null; a new connection replaces the one watched.
    void watchConnection(TDConnection *connection);
    void watchStream(TDMessageStream *stream);

    bool isBackedUp() const;
    bool isOverWriteMark() const;
    // After bytes were queued for writing.
    void noteSent();

    // Tests wait less than half a minute.
    void setStalledWriteLimit(int milliseconds) { m_stallTimer.setInterval(milliseconds); }
    int stalledWriteLimit() const { return m_stallTimer.interval(); }

signals:
    // Something was taken off a queue: whoever holds back may try again.
    void eased();
    // Over the write mark with nothing taken by the phone for the limit.
    void stalled(qint64 bytesWaiting);

private:
    void bytesWentOut();

    QPointer<TDConnection> m_connection;
    QPointer<TDMessageStream> m_stream;
    QTimer m_stallTimer;
};
