#pragma once

#include <QString>

// The user's choice to open the program at login, kept where the desktop
// looks for it at login. Read afresh on every call: it may change outside
// the program.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    // Where the choice is kept, for a log line.
    virtual QString location() const = 0;
    virtual bool isEnabled() const = 0;
    // False and `error` set when the choice cannot be changed.
    virtual bool setEnabled(bool enabled, QString *error = nullptr) const = 0;
};
