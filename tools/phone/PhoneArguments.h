#pragma once

#include <QStringList>

#include <optional>

class QIODevice;

// Fills in the message arguments that come from elsewhere, so that large
// payloads need not fit on the command line: "@PATH" is the file's content,
// "-" is standard input (once), "@@…" is a literal "@…". For
// clipboardImagePayload, and for a clipboardPayload argument of the form
// "[IMAGE]@PATH" or "[IMAGE]-", the bytes are base64-encoded as the
// message carries them. Text read for other commands loses one trailing
// line break. `words` starts with the command; on failure `error` says why.
std::optional<QStringList> resolvePhoneArguments(const QStringList &words, QIODevice &standardInput,
                                                 QString *error);
