#include "transport/TDMessageStream.h"

#include <QMetaObject>

TDMessageStream::TDMessageStream(QObject *parent)
    : QObject(parent)
{
}

void TDMessageStream::yield(TDMessage message, qsizetype weight)
{
    m_pending.emplace_back(std::move(message), weight);
    m_pendingWeight += weight;
    deliverLater();
}

void TDMessageStream::next(QObject *context, std::function<void(TDMessage)> handler)
{
    m_waiterContext = context;
    m_waiter = std::move(handler);
    deliverLater();
}

void TDMessageStream::deliverLater()
{
    if (m_deliveryScheduled || !m_waiter || m_pending.empty())
        return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &TDMessageStream::deliver, Qt::QueuedConnection);
}

void TDMessageStream::deliver()
{
    m_deliveryScheduled = false;
    if (!m_waiter || m_pending.empty())
        return;
    auto handler = std::exchange(m_waiter, {});
    const QPointer<QObject> context = std::exchange(m_waiterContext, {});
    // A consumer that has gone away takes nothing: the message waits for the next one.
    if (!context)
        return;
    TDMessage message = std::move(m_pending.front().first);
    m_pendingWeight -= m_pending.front().second;
    m_pending.pop_front();
    // Runs in the consumer's thread; on the main thread that is a direct call.
    QMetaObject::invokeMethod(
        context.data(), [handler = std::move(handler), message = std::move(message)]() mutable {
            handler(std::move(message));
        },
        context->thread() == thread() ? Qt::DirectConnection : Qt::QueuedConnection);
    emit taken();
}
