#include "platform/freedesktop/ChildProcess.h"

#include <QProcess>
#include <QStandardPaths>

ActionResult runChildProcess(const QString &program, const QStringList &arguments,
                             QByteArray *output, int timeoutMs)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return QStringLiteral("%1 is not installed").arg(program);

    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (!process.waitForStarted())
        return QStringLiteral("%1 could not be started: %2").arg(program, process.errorString());
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("%1 did not finish in time").arg(program);
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("%1 crashed").arg(program);
    if (process.exitCode() != 0) {
        const QString detail = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return QStringLiteral("%1 failed with exit code %2%3")
            .arg(program)
            .arg(process.exitCode())
            .arg(detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    }
    return std::nullopt;
}
