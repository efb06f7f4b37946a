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
    if (m_waiterContext && m_waiterContext->thread() == thread())
        deliver();
    else
        deliverLater();
}

void TDMessageStream::next(QObject *context, std::function<void(TDMessage)> handler)
{
    m_waiterContext = context;
    m_waiter = std::move(handler);
    // Inside a handler the running delivery goes on with the new waiter.
    if (!m_delivering)
        deliverLater();
}

void TDMessageStream::deliverLater()
{
    if (m_deliveryScheduled || !m_waiter || m_pending.empty())
        return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &TDMessageStream::deliverScheduled, Qt::QueuedConnection);
}

void TDMessageStream::deliverScheduled()
{
    m_deliveryScheduled = false;
    deliver();
}

void TDMessageStream::deliver()
{
    if (m_delivering)
        return;
    m_delivering = true;
    const QPointer<TDMessageStream> self(this);
    while (m_waiter && !m_pending.empty()) {
        auto handler = std::exchange(m_waiter, {});
        const QPointer<QObject> context = std::exchange(m_waiterContext, {});
        // A consumer that has gone away takes nothing: the message waits for the next one.
        if (!context)
            break;
        TDMessage message = std::move(m_pending.front().first);
        m_pendingWeight -= m_pending.front().second;
        m_pending.pop_front();
        if (context->thread() == thread()) {
            handler(std::move(message));
        } else {
            QMetaObject::invokeMethod(
                context.data(), [handler = std::move(handler), message = std::move(message)]() mutable {
                    handler(std::move(message));
                },
                Qt::QueuedConnection);
        }
        if (!self)
            return;
        emit taken();
        if (!self)
            return;
    }
    m_delivering = false;
}
