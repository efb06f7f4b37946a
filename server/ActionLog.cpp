#include "server/ActionLog.h"

#include "server/LogCategories.h"

#include <QRegularExpression>

namespace {
// The program's log output puts each message on one line of standard output.
void writeToLog(const QString &line)
{
    qCWarning(lcActions).noquote() << line;
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

ActionLog::ActionLog() : m_sink(writeToLog) {}

ActionLog::ActionLog(Sink sink) : m_sink(std::move(sink)) {}

void ActionLog::write(const QString &line) const
{
    m_sink(oneLine(line));
}
