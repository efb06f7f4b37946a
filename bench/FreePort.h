#pragma once

#include <QTcpServer>

// A loopback port free at the moment of asking, for a server under test.
inline quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
