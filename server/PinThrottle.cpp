#include "server/PinThrottle.h"

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {
constexpr qint64 kMinuteMs = 60'000;
}

PinThrottle::PinThrottle()
{
    m_clock = [timer = std::make_shared<QElapsedTimer>()] {
        if (!timer->isValid())
            timer->start();
        return timer->elapsed();
    };
}

PinThrottle::Record &PinThrottle::recordFor(const QString &address, qint64 now)
{
    auto found = m_records.find(address);
    if (found == m_records.end()) {
        if (m_records.size() >= maximumAddresses) {
            // Forgetting a waiting guesser frees it early, so the quietest goes.
            const auto quietest = std::min_element(m_records.begin(), m_records.end(),
                [](const Record &a, const Record &b) { return a.lastSeen < b.lastSeen; });
            m_records.erase(quietest);
        }
        found = m_records.insert(address, Record{});
    }
    found->lastSeen = now;
    return *found;
}

PinThrottle::Verdict PinThrottle::consider(const QString &address)
{
    const qint64 now = m_clock();
    while (!m_wrongTimes.empty() && m_wrongTimes.front() <= now - kMinuteMs)
        m_wrongTimes.pop_front();

    Verdict verdict;
    if (auto found = m_records.find(address); found != m_records.end() && found->waitUntil > now) {
        verdict = {false, found->waitUntil - now, false, !std::exchange(found->refused, true)};
        found->lastSeen = now;
        return verdict;
    }
    if (int(m_wrongTimes.size()) >= wrongPinsPerMinute) {
        verdict = {false, m_wrongTimes.front() + kMinuteMs - now, true, !std::exchange(m_refusedAll, true)};
        return verdict;
    }
    m_refusedAll = false;
    return verdict;
}

qint64 PinThrottle::wrong(const QString &address)
{
    const qint64 now = m_clock();
    m_wrongTimes.push_back(now);
    Record &record = recordFor(address, now);
    if (++record.wrong % wrongPinsPerRound != 0)
        return 0;
    const int round = std::min(record.wrong / wrongPinsPerRound, 20);
    const qint64 wait = std::min(firstWaitMs << (round - 1), longestWaitMs);
    record.waitUntil = now + wait;
    record.refused = false;
    return wait;
}

void PinThrottle::right(const QString &address)
{
    m_records.remove(address);
}
