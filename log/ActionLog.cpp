#include "log/ActionLog.h"

#include "log/LogCategories.h"

#include <QRegularExpression>

namespace {
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

ActionLog::ActionLog() : m_category(lcActions) {}

ActionLog::ActionLog(Category category) : m_category(category) {}

ActionLog::ActionLog(Sink sink) : m_sink(std::move(sink)) {}

void ActionLog::log(QtMsgType level, const QString &line) const
{
    const QString text = oneLine(line);
    if (m_sink)
        m_sink(level, text);
    else if (level == QtInfoMsg)
        qCInfo(m_category).noquote() << text;
    else
        qCWarning(m_category).noquote() << text;
}
