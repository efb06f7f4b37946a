#include "log/LogOutput.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Streams {
    LogStyle out = LogStyle::plain;
    LogStyle err = LogStyle::plain;
};
Streams g_streams;

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "debug";
    case QtInfoMsg: return "info";
    case QtWarningMsg: return "warning";
    case QtCriticalMsg: return "critical";
    case QtFatalMsg: return "fatal";
    }
    return "info";
}

// sd-daemon(3) priorities: err 3, warning 4, info 6, debug 7.
int syslogPriority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return 7;
    case QtInfoMsg: return 6;
    case QtWarningMsg: return 4;
    case QtCriticalMsg:
    case QtFatalMsg: return 3;
    }
    return 6;
}

bool isOurs(const char *category)
{
    return qstrncmp(category, "tendril.", 8) == 0;
}

// The tag of a category's lines that bring none of their own: the name
// after "tendril.", capitalised.
QString tagOf(const char *category)
{
    if (qstrcmp(category, "tendril.windowcontrol") == 0)
        return QStringLiteral("WindowControl");
    QString word = QString::fromLatin1(category + 8);
    if (!word.isEmpty())
        word[0] = word[0].toUpper();
    return word;
}

// "[AppleScript] …", "[Launch] …": the part's own tag is kept.
bool hasTag(const QString &text)
{
    static const QRegularExpression tag(QStringLiteral("^\\[[A-Za-z][A-Za-z ]*\\] "));
    return tag.match(text).hasMatch();
}

// The whole line in one write(2): neither another thread of this program
// nor another writer on the same pipe (a program launched from here, say)
// can land inside it. A short write (a full pipe, a signal) goes on from
// where it stopped.
void writeLine(int fd, const QByteArray &line)
{
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

void writeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const char *category = context.category ? context.category : "default";
    const bool ours = isOurs(category);
    const LogStyle style = ours ? g_streams.out : g_streams.err;
    writeLine(ours ? STDOUT_FILENO : STDERR_FILENO,
              formatLogLine(type, category, message, style).toUtf8() + '\n');
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

LogStyle logStyleFor(FILE *stream)
{
    const int fd = fileno(stream);
    const QByteArray journal = qgetenv("JOURNAL_STREAM");
    struct stat status {};
    if (!journal.isEmpty() && fstat(fd, &status) == 0) {
        const QByteArray own = QByteArray::number(quint64(status.st_dev)) + ':'
                               + QByteArray::number(quint64(status.st_ino));
        if (journal == own)
            return LogStyle::journal;
    }
    return isatty(fd) ? LogStyle::terminal : LogStyle::plain;
}

QString formatLogLine(QtMsgType type, const char *category, const QString &message,
                      LogStyle style)
{
    QString text = isOurs(category) && !hasTag(message)
                       ? QLatin1Char('[') + tagOf(category) + QLatin1String("] ") + message
                       : message;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    switch (style) {
    case LogStyle::terminal:
        return QStringLiteral("%1 %2 %3: %4")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                 QLatin1String(levelName(type)), QLatin1String(category), text);
    case LogStyle::journal:
        return QStringLiteral("<%1>").arg(syslogPriority(type)) + text;
    case LogStyle::plain:
        break;
    }
    return text;
}

void installLogOutput()
{
    g_streams = {logStyleFor(stdout), logStyleFor(stderr)};
    qInstallMessageHandler(writeMessage);
}
