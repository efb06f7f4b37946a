#pragma once

#include <QByteArray>
#include <QList>

// Property lists built to hurt a reader that trusts them.
namespace HostilePlists {

// A dictionary holding `depth` nested arrays, as XML.
QByteArray deepXml(int depth);
// `depth` arrays each holding the next, in the binary format.
QByteArray deepBinary(int depth);
// `levels` arrays each holding the next one twice: 2^levels strings once
// every reference is expanded, from a file of a hundred-odd bytes.
QByteArray sharedReferenceBomb(int levels);

} // namespace HostilePlists
