#include "transport/ListenProblem.h"

QString listenProblem(quint16 port, QAbstractSocket::SocketError error)
{
    return error == QAbstractSocket::AddressInUseError
               ? QStringLiteral("Port %1 is in use, retrying").arg(port)
               : QStringLiteral("Cannot listen on port %1, retrying").arg(port);
}
