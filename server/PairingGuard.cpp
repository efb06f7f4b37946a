#include "server/PairingGuard.h"

#include "server/AppSettings.h"

bool PairingGuard::isProtected() const
{
    return m_strict || (m_settings && m_settings->requireApproval());
}

void PairingGuard::begin(const QString &address, bool strict)
{
    m_address = address;
    m_strict = strict;
    m_wrongPins = 0;
    m_toldIgnored = false;
    m_closing = false;
}

bool PairingGuard::admits(TDMessageKind kind, bool paired)
{
    if (m_closing)
        return false;
    if (paired || !isProtected() || kind == TDMessageKind::iPhoneHello
        || kind == TDMessageKind::ping || kind == TDMessageKind::pong)
        return true;
    if (!m_toldIgnored) {
        m_toldIgnored = true;
        m_log.write(QStringLiteral("[Server] Commands from %1 are ignored until it pairs")
                        .arg(m_address));
    }
    return false;
}

bool PairingGuard::mayComparePin()
{
    const PinThrottle::Verdict verdict = m_throttle.consider(m_address);
    if (verdict.compare)
        return true;
    // One line per wait: a flood of guesses does not flood the log.
    if (verdict.allBusy && verdict.firstRefusal)
        m_log.write(QStringLiteral("[Server] %1 wrong PINs in a minute: no PIN is compared for %2 s")
                        .arg(PinThrottle::wrongPinsPerMinute).arg((verdict.waitMs + 999) / 1000));
    return false;
}

void PairingGuard::pairingSucceeded()
{
    m_throttle.right(m_address);
    m_log.info(QStringLiteral("[Server] Phone at %1 paired").arg(m_address));
}

bool PairingGuard::pairingFailed()
{
    ++m_wrongPins;
    m_log.write(QStringLiteral("[Server] Wrong PIN from %1").arg(m_address));
    if (const qint64 wait = m_throttle.wrong(m_address))
        m_log.write(QStringLiteral("[Server] %1 wrong PINs from %2: its next PIN is compared in %3 s")
                        .arg(PinThrottle::wrongPinsPerRound).arg(m_address).arg(wait / 1000));
    if (!isProtected() || m_wrongPins < maximumWrongPins)
        return false;
    m_closing = true;
    m_log.write(QStringLiteral("[Server] %1 wrong PINs from %2: connection closed, new PIN drawn")
                    .arg(maximumWrongPins).arg(m_address));
    return true;
}
