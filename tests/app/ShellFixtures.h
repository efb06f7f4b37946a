#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <optional>
#include "tests/TestTime.h"

// A program run, its output (both streams) gathered as it comes.
struct Program {
    QProcess process;
    QString output;

    Program(const QString &path, const QStringList &arguments, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, &process, [this] { output += QString::fromUtf8(process.readAll()); });
        process.start(path, arguments);
    }
    ~Program() { process.kill(), process.waitForFinished(); }
    // Lines matching `pattern` (a whole line), waiting up to `timeoutMs` for the first.
    int lines(const QString &pattern, int timeoutMs = 15000)
    {
        const QRegularExpression re('^' + pattern + '$', QRegularExpression::MultilineOption);
        (void)QTest::qWaitFor([&] { return re.match(output).hasMatch(); }, scaledMs(timeoutMs));
        // count() takes overlapping matches too: one-line patterns anchored at a line's start have none.
        return int(output.count(re));
    }
    // The exit code once it has ended by itself in time, -1 otherwise.
    int exitCode() { return process.waitForFinished(scaledMs(10000)) ? process.exitCode() : -1; }
};
