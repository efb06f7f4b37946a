#pragma once

#include <QHash>
#include <QString>

#include <deque>
#include <functional>

// How often a PIN is compared at all, so that guessing a four-digit PIN
// takes days. After every fifth wrong PIN from an address, that address
// waits before its next PIN is compared: 1 s, doubling up to 5 minutes. Once
// 30 wrong PINs came in the last minute, from all addresses together, no PIN
// is compared until that count drops. A PIN that arrives during a wait is
// not compared and changes nothing, so a phone that types the right PIN
// after the wait pairs at once; right PINs never count against anyone, and
// an address that pairs starts afresh. Any link that pairs with the PIN can
// use one.
class PinThrottle {
public:
    static constexpr int wrongPinsPerRound = 5;
    static constexpr qint64 firstWaitMs = 1000;
    static constexpr qint64 longestWaitMs = 5 * 60 * 1000;
    static constexpr int wrongPinsPerMinute = 30;
    // Addresses remembered; beyond it the longest quiet one is forgotten.
    static constexpr int maximumAddresses = 4096;

    // Milliseconds on a clock that never goes back; tests bring their own.
    using Clock = std::function<qint64()>;

    PinThrottle();
    void setClock(Clock clock) { m_clock = std::move(clock); }

    struct Verdict {
        bool compare = true;
        qint64 waitMs = 0;      // when not: how long until a PIN may be
        bool allBusy = false;   // the limit for all addresses, not this one's
        bool firstRefusal = false; // the first PIN refused in this wait
    };
    // Whether a PIN from `address` is compared now.
    Verdict consider(const QString &address);
    // The compared PIN was wrong; the wait this starts, 0 for none.
    qint64 wrong(const QString &address);
    void right(const QString &address);

private:
    struct Record {
        int wrong = 0;
        qint64 waitUntil = 0;
        qint64 lastSeen = 0;
        bool refused = false; // since the wait began
    };
    Record &recordFor(const QString &address, qint64 now);

    Clock m_clock;
    QHash<QString, Record> m_records;
    std::deque<qint64> m_wrongTimes; // the last minute's wrong PINs, oldest first
    bool m_refusedAll = false;
};
