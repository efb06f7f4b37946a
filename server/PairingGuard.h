#pragma once

#include "protocol/TDMessage.h"
#include "log/ActionLog.h"
#include "server/PinThrottle.h"

#include <QString>

class AppSettings;

// What the current connection may do before it pairs, and the pairing log.
// In protected mode, and always for a web remote, only iPhoneHello, ping and
// pong are taken before pairing, and five wrong PINs end the connection. In
// every case the throttle decides whether a PIN is compared at all.
class PairingGuard {
public:
    static constexpr int maximumWrongPins = 5;

    explicit PairingGuard(PinThrottle &throttle, ActionLog log = {})
        : m_throttle(throttle), m_log(std::move(log)) {}

    // Without settings the default mode applies.
    void setSettings(const AppSettings *settings) { m_settings = settings; }

    // A new connection from `address`: its count and notices start afresh.
    // `strict` applies protected mode's rules to it whatever the mode.
    void begin(const QString &address, bool strict = false);
    // Whether a message of `kind` is handled, given the pairing state.
    bool admits(TDMessageKind kind, bool paired);
    // Whether the PIN just received is compared; one that is not is
    // answered like a wrong one but counts for nothing.
    bool mayComparePin();
    void pairingSucceeded();
    // True when this wrong PIN used up the connection's tries.
    bool pairingFailed();

private:
    bool isProtected() const;

    PinThrottle &m_throttle;
    ActionLog m_log;
    const AppSettings *m_settings = nullptr;
    QString m_address;
    bool m_strict = false;
    int m_wrongPins = 0;
    bool m_toldIgnored = false;
    bool m_closing = false; // out of tries: nothing more is taken from it
};
