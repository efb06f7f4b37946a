#include "server/ActionLog.h"

#include <cstdio>

namespace {
void writeToStandardOutput(const QString &line)
{
    // One fputs per line: stdio locks the stream, so lines from concurrent
    // scripts never interleave.
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fputs(bytes.constData(), stdout);
    std::fflush(stdout);
}
} // namespace

ActionLog::ActionLog() : m_sink(writeToStandardOutput) {}

ActionLog::ActionLog(Sink sink) : m_sink(std::move(sink)) {}

void ActionLog::write(const QString &line) const
{
    m_sink(line);
}
