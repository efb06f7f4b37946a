#pragma once

#include <QAbstractSocket>
#include <QString>

// What a status line says while a port cannot be listened on and the
// listener retries ("Port 57432 is in use, retrying").
QString listenProblem(quint16 port, QAbstractSocket::SocketError error);
