#pragma once

#include "protocol/TDMessage.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <utility>

// The asynchronous message stream: unbounded, never finished, one consumer.
// The producer yields; the consumer asks for the next message. A consumer
// waiting on this object's thread takes a yielded message at once, within
// yield, so a received message goes straight to dispatch; a registration is
// served as a later task, and one made while a message is being handled
// is served by the running delivery, so handlers never nest.
class TDMessageStream : public QObject {
    Q_OBJECT
public:
    explicit TDMessageStream(QObject *parent = nullptr);

    // `weight`: what the message stands for in memory (its frame's size), so
    // the producer can hold back while much waits.
    void yield(TDMessage message, qsizetype weight = 0);

    // Registers the single waiting consumer. `handler` runs later, in `context`'s
    // thread, with the oldest undelivered message; it is dropped with `context`.
    // A new registration replaces one that is still waiting, so each message
    // reaches exactly one handler.
    void next(QObject *context, std::function<void(TDMessage)> handler);

    qsizetype pendingCount() const { return qsizetype(m_pending.size()); }
    qsizetype pendingWeight() const { return m_pendingWeight; }

signals:
    // A message went to the consumer.
    void taken();

private:
    void deliverLater();
    void deliver();
    void deliverScheduled();

    std::deque<std::pair<TDMessage, qsizetype>> m_pending;
    qsizetype m_pendingWeight = 0;
    QPointer<QObject> m_waiterContext;
    std::function<void(TDMessage)> m_waiter;
    bool m_deliveryScheduled = false;
    bool m_delivering = false;
};
