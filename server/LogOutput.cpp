#include "server/LogOutput.h"

#include <QDateTime>

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

void writeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const char *category = context.category ? context.category : "default";
    const bool ours = qstrncmp(category, "tendril", 7) == 0;
    FILE *stream = ours ? stdout : stderr;
    const LogStyle style = ours ? g_streams.out : g_streams.err;
    // One fputs per line: stdio locks the stream, so lines written from
    // several threads never interleave.
    const QByteArray line = formatLogLine(type, category, message, style).toUtf8() + '\n';
    std::fputs(line.constData(), stream);
    std::fflush(stream);
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
    QString text = message;
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
