#include "platform/ScriptHost.h"

namespace Scripts {
namespace {

const QString volumePrefix = QStringLiteral("set volume output volume ");

const QString minimizeHead = QStringLiteral("tell application \"System Events\"\n"
                                            "    tell process \"");
const QString minimizeTail = QStringLiteral("\"\n"
                                            "        set winList to every window\n"
                                            "        repeat with w in winList\n"
                                            "            try\n"
                                            "                set value of attribute \"AXMinimized\" of w to true\n"
                                            "            end try\n"
                                            "        end repeat\n"
                                            "    end tell\n"
                                            "end tell");

} // namespace

QString outputVolume(int level)
{
    return volumePrefix + QString::number(level);
}

std::optional<int> outputVolumeLevel(const QString &source)
{
    if (!source.startsWith(volumePrefix))
        return std::nullopt;
    const QStringView digits = QStringView(source).mid(volumePrefix.size());
    if (digits.isEmpty() || digits.size() > 3)
        return std::nullopt;
    for (QChar c : digits)
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
    const int level = digits.toInt();
    if (level > 100 || QString::number(level) != digits)
        return std::nullopt;
    return level;
}

QString minimizeWindows(const QString &processName)
{
    QString escaped;
    escaped.reserve(processName.size());
    for (QChar c : processName) {
        if (c == u'"' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return minimizeHead + escaped + minimizeTail;
}

std::optional<QString> minimizedProcessName(const QString &source)
{
    if (source.size() < minimizeHead.size() + minimizeTail.size() || !source.startsWith(minimizeHead)
        || !source.endsWith(minimizeTail))
        return std::nullopt;
    const QStringView quoted = QStringView(source).sliced(
        minimizeHead.size(), source.size() - minimizeHead.size() - minimizeTail.size());
    QString name;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        QChar c = quoted[i];
        if (c == u'"')
            return std::nullopt; // an unescaped quote would have ended the text
        if (c == u'\\') {
            if (++i == quoted.size())
                return std::nullopt;
            c = quoted[i];
        }
        name += c;
    }
    return name;
}

} // namespace Scripts
