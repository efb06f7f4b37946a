#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>

// How one output stream shows log messages: with time, level and category
// on a terminal; with a syslog level prefix the journal turns into the
// priority (so the journal shows the bare text); bare text anywhere else,
// where scripts and tests read the lines.
enum class LogStyle { terminal, journal, plain };

// The style for `stream`, from whether it is a terminal and whether it is
// the stream the journal handed over (JOURNAL_STREAM is "device:inode").
LogStyle logStyleFor(FILE *stream);

// One message as one line (without the newline): line breaks inside it are
// joined with spaces. The program's own lines begin with a bracketed tag:
// their own ("[Launch] ") or else their category's ("tendril.server" gives
// "[Server] ").
QString formatLogLine(QtMsgType type, const char *category, const QString &message,
                      LogStyle style);

// Routes Qt's messages, each line in one write: the program's own
// categories ("tendril.*") to standard output, everything else (Qt's own)
// to standard error. The program's only way to its log.
void installLogOutput();
