#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

const QString kPort = QStringLiteral("port");
const QString kListen = QStringLiteral("listen");
const QString kHeadless = QStringLiteral("headless");
const QString kRequireApproval = QStringLiteral("require-approval");
const QString kWebPort = QStringLiteral("web-port");
const QString kNoWebRemote = QStringLiteral("no-web-remote");

void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Lets a phone on the local network control this desktop: launch and switch\n"
        "applications, quick actions, clipboard and screenshots."));
    parser.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")},
        {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit.")},
        {kPort, QStringLiteral("Listen on TCP port N (default 57432; 0 picks a free port)."),
         QStringLiteral("N"), QStringLiteral("57432")},
        {kListen,
         QStringLiteral("Listen on this IP address only (default: every interface, IPv4 and IPv6)."),
         QStringLiteral("ADDRESS")},
        {kHeadless, QStringLiteral("Run without a window; the PIN is printed when it changes.")},
        {kRequireApproval, QStringLiteral("Ask before a new phone may pair.")},
        {kWebPort, QStringLiteral("Serve the web remote on TCP port N (default 57433; 0 picks a free port)."),
         QStringLiteral("N"), QStringLiteral("57433")},
        {kNoWebRemote, QStringLiteral("Do not serve the web remote in this run.")},
    });
}

CommandLine failure(const QString &program, const QString &problem, const QString &usage)
{
    CommandLine result;
    result.exitCode = 2;
    result.textIsError = true;
    result.text = QStringLiteral("%1: %2\n\n%3").arg(program, problem, usage);
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    declareOptions(parser);
    const QString program = arguments.isEmpty() ? QStringLiteral("tendril")
                                                : QFileInfo(arguments.first()).fileName();
    // Before the application object exists the parser cannot name the
    // program, so the first line is written here.
    const QString help = parser.helpText();
    const QString usage = QStringLiteral("Usage: %1 [options]\n").arg(program)
                          + help.mid(help.indexOf(QLatin1Char('\n')) + 1);
    if (!parser.parse(arguments))
        return failure(program, parser.errorText(), usage);
    if (!parser.positionalArguments().isEmpty())
        return failure(program,
                       QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()),
                       usage);

    CommandLine result;
    if (parser.isSet(QStringLiteral("help"))) {
        result.text = usage;
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.text = QStringLiteral("%1 %2\n").arg(program, QStringLiteral(TENDRIL_VERSION));
        return result;
    }

    LaunchOptions &options = result.options;
    for (const auto &[name, target] : {std::pair{kPort, &options.port}, std::pair{kWebPort, &options.webPort}}) {
        bool ok = false;
        const uint port = parser.value(name).toUInt(&ok);
        if (!ok || port > 65535)
            return failure(program, QStringLiteral("--%1 takes a number from 0 to 65535").arg(name), usage);
        *target = quint16(port);
    }
    if (parser.isSet(kListen)) {
        if (!options.listenAddress.setAddress(parser.value(kListen)))
            return failure(program,
                           QStringLiteral("--listen takes an IP address, not \"%1\"")
                               .arg(parser.value(kListen)),
                           usage);
    }
    options.headless = parser.isSet(kHeadless);
    options.requireApproval = parser.isSet(kRequireApproval);
    options.webRemote = !parser.isSet(kNoWebRemote);
    result.run = true;
    return result;
}
