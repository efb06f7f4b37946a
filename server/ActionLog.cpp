#include "server/ActionLog.h"

#include <QRegularExpression>

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

// A tool's error text may span several lines; a failure is still one line,
// its parts joined by single spaces.
QString oneLine(const QString &line)
{
    // Made per call: lines are written from background threads too.
    const QRegularExpression lineBreaks(QStringLiteral("\\s*[\\r\\n\\x{2028}\\x{2029}]+\\s*"));
    if (!line.contains(lineBreaks))
        return line;
    return line.trimmed().replace(lineBreaks, QStringLiteral(" "));
}

} // namespace

ActionLog::ActionLog() : m_sink(writeToStandardOutput) {}

ActionLog::ActionLog(Sink sink) : m_sink(std::move(sink)) {}

void ActionLog::write(const QString &line) const
{
    m_sink(oneLine(line));
}
