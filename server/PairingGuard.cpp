#include "server/PairingGuard.h"

#include "server/AppSettings.h"

bool PairingGuard::isProtected() const
{
    return m_settings && m_settings->requireApproval();
}

void PairingGuard::begin(const QString &address)
{
    m_address = address;
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

void PairingGuard::pairingSucceeded()
{
    m_log.write(QStringLiteral("[Server] Phone at %1 paired").arg(m_address));
}

bool PairingGuard::pairingFailed()
{
    ++m_wrongPins;
    m_log.write(QStringLiteral("[Server] Wrong PIN from %1").arg(m_address));
    if (!isProtected() || m_wrongPins < maximumWrongPins)
        return false;
    m_closing = true;
    m_log.write(QStringLiteral("[Server] %1 wrong PINs from %2: connection closed, new PIN drawn")
                    .arg(maximumWrongPins).arg(m_address));
    return true;
}
