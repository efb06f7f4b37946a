#pragma once

#include <QString>

#include <functional>

// Where failed actions report: one line each, to the "tendril.actions" log
// category unless a test hands in its own sink. A cheap value, safe to copy
// into background work and to write from any thread.
class ActionLog {
public:
    using Sink = std::function<void(const QString &line)>;

    ActionLog();
    explicit ActionLog(Sink sink);

    void write(const QString &line) const;

private:
    Sink m_sink;
};
