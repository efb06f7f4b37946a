#pragma once

#include <QLoggingCategory>
#include <QString>

#include <functional>

// One part's log lines, each a single line: to its log category (and so to
// the one message handler) unless a test hands in its own sink. Failures
// go out at warning level, events (a phone connects, pairs) at info. A
// cheap value, safe to copy into background work and to write from any
// thread.
class ActionLog {
public:
    using Category = const QLoggingCategory &(*)();
    using Sink = std::function<void(QtMsgType level, const QString &line)>;

    // "tendril.actions" unless told otherwise.
    ActionLog();
    explicit ActionLog(Category category);
    explicit ActionLog(Sink sink);

    // A failure.
    void write(const QString &line) const { log(QtWarningMsg, line); }
    // Something that happened as it should.
    void info(const QString &line) const { log(QtInfoMsg, line); }
    void log(QtMsgType level, const QString &line) const;

private:
    Category m_category = nullptr;
    Sink m_sink;
};
