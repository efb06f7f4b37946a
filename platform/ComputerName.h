#pragma once

#include <QString>

// The computer's user-visible name, looked up afresh on every call; empty
// when the system has none.
class ComputerName {
public:
    virtual ~ComputerName() = default;
    virtual QString localizedName() = 0;
};
