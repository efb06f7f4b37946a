#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "log/LogOutput.h"
#include "app/Startup.h"

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int say(FILE *stream, const QString &text, int exitCode)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    const CommandLine command = parseCommandLine(argumentsOf(argc, argv));
    if (!command.run)
        return say(command.textIsError ? stderr : stdout, command.text, command.exitCode);

    installLogOutput();
    if (command.options.headless)
        return runHeadless(argc, argv, command.options);
    if (!displayAvailable())
        return say(stderr, noDisplayMessage(QStringLiteral("tendril")) + u'\n', 1);
    return runWindowed(argc, argv, command.options);
}
