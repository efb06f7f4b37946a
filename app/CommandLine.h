#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// What the command line asks the program to do.
struct LaunchOptions {
    quint16 port = 57432;
    QHostAddress listenAddress = QHostAddress::Any; // every interface, IPv4 and IPv6
    bool headless = false;
    bool requireApproval = false;
    quint16 webPort = 57433;
    bool webRemote = true;
};

// The outcome of reading the arguments: either options to run with, or a
// text to print and an exit status (help and version: 0 on standard output;
// a bad command line: 2 on standard error).
struct CommandLine {
    bool run = false;
    LaunchOptions options;
    int exitCode = 0;
    QString text;
    bool textIsError = false;
};

// Reads `arguments` (the program's name first). Needs no application object,
// so the program can choose its kind from the result.
CommandLine parseCommandLine(const QStringList &arguments);
