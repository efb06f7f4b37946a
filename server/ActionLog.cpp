#include "server/ActionLog.h"

#include "server/LogCategories.h"

namespace {
// The program's log output puts each message on one line of standard output.
void writeToLog(const QString &line)
{
    qCWarning(lcActions).noquote() << line;
}
} // namespace

ActionLog::ActionLog() : m_sink(writeToLog) {}

ActionLog::ActionLog(Sink sink) : m_sink(std::move(sink)) {}

void ActionLog::write(const QString &line) const
{
    m_sink(line);
}
