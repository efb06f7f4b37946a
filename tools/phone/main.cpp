// tendril-phone: a command-line phone for the desktop's link.
#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"
#include "tools/phone/PhoneArguments.h"
#include "tools/phone/PhoneClient.h"
#include "tools/phone/PhoneCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

void printLine(FILE *stream, const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QString helpText()
{
    return QStringLiteral(
               "Connects to the desktop, prints its greeting, pairs when --pin is given,\n"
               "sends one message and prints every message that comes back, one JSON\n"
               "document a line, until --listen seconds have passed.\n\n"
               "Any argument may come from a file (@PATH) or standard input (-); \"@@\"\n"
               "starts a literal \"@\". clipboardImagePayload @photo.jpg and clipboardPayload\n"
               "[IMAGE]@photo.jpg send the file base64-encoded.\n\n"
               "Exit status: 0 done, 1 no connection, 2 bad arguments, 3 PIN rejected.\n\n"
               "Commands (a message kind, then its fields):\n")
           + phoneCommandUsage();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tendril-phone"));

    QCommandLineParser parser;
    parser.setApplicationDescription(helpText());
    parser.addHelpOption();
    parser.addOption({QStringLiteral("host"), QStringLiteral("Desktop address (default 127.0.0.1)."),
                      QStringLiteral("H"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Desktop port (default 57432)."),
                      QStringLiteral("P"), QStringLiteral("57432")});
    parser.addOption({QStringLiteral("pin"), QStringLiteral("Pair with this PIN first."),
                      QStringLiteral("PIN")});
    parser.addOption({QStringLiteral("listen"),
                      QStringLiteral("Seconds to print replies after sending (default 1)."),
                      QStringLiteral("SECONDS"), QStringLiteral("1")});
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("Message kind to send."),
                                 QStringLiteral("[COMMAND [ARGS…]]"));
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(QStringLiteral("port")).toUInt(&portOk);
    bool listenOk = false;
    const double listenSeconds = parser.value(QStringLiteral("listen")).toDouble(&listenOk);
    if (!portOk || port == 0 || port > 65535 || !listenOk || listenSeconds < 0) {
        printLine(stderr, "tendril-phone: bad --port or --listen (see --help)");
        return 2;
    }

    std::optional<TDMessage> command;
    if (!parser.positionalArguments().isEmpty()) {
        QString error;
        QFile input;
        input.open(stdin, QIODevice::ReadOnly);
        const std::optional<QStringList> words =
            resolvePhoneArguments(parser.positionalArguments(), input, &error);
        if (words)
            command = parsePhoneCommand(*words, &error);
        if (!command) {
            printLine(stderr, "tendril-phone: " + error.toUtf8() + " (see --help)");
            return 2;
        }
        const qsizetype size = encodeMessage(*command).value_or(QByteArray()).size();
        if (size > qsizetype(FrameBuffer::maximumBodyLength))
            printLine(stderr, QStringLiteral("tendril-phone: warning: the message is %1 bytes; the "
                                             "desktop drops frames over %2 bytes")
                                  .arg(size).arg(FrameBuffer::maximumBodyLength).toUtf8());
    }
    const bool pairFirst = parser.isSet(QStringLiteral("pin"));
    const QString pin = parser.value(QStringLiteral("pin"));
    const QString host = parser.value(QStringLiteral("host"));

    PhoneClient phone(host, quint16(port));
    int exitCode = 0;
    bool greeted = false;
    bool commandSent = false;

    auto sendCommandAndListen = [&] {
        if (commandSent)
            return;
        commandSent = true;
        if (command)
            phone.send(*command);
        QTimer::singleShot(int(listenSeconds * 1000), &app, [&] { app.exit(exitCode); });
    };

    QObject::connect(&phone, &PhoneClient::connectionFailed, &app, [&](const QString &error) {
        if (!greeted) {
            printLine(stderr, QStringLiteral("tendril-phone: cannot connect to %1:%2: %3")
                                  .arg(host).arg(port).arg(error).toUtf8());
            app.exit(1);
        } else {
            printLine(stderr, "tendril-phone: the desktop closed the connection");
            app.exit(exitCode);
        }
    });
    phone.onMessage([&](const TDMessage &message) {
        if (const std::optional<QByteArray> json = encodeMessage(message))
            printLine(stdout, *json);
        if (const auto *hello = message.get<td::MacHello>(); hello && !greeted) {
            greeted = true;
            printLine(stderr, QStringLiteral("Greeting from \"%1\", %2")
                                  .arg(hello->macName,
                                       hello->pin.isEmpty() ? QStringLiteral("no PIN asked")
                                                            : QStringLiteral("PIN asked"))
                                  .toUtf8());
            if (pairFirst)
                phone.send(td::IPhoneHello{pin});
            else
                sendCommandAndListen();
        } else if (pairFirst && message.is<td::PairingConfirmed>()) {
            sendCommandAndListen();
        } else if (pairFirst && message.is<td::PairingRejected>()) {
            printLine(stderr, "tendril-phone: PIN rejected");
            exitCode = 3;
            sendCommandAndListen();
        }
    });
    return app.exec();
}
