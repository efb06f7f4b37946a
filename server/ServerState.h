#pragma once

#include <QObject>

namespace ServerStateNS {
Q_NAMESPACE
enum class ServerState { stopped, advertising, connected, paired };
Q_ENUM_NS(ServerState)
} // namespace ServerStateNS
using ServerStateNS::ServerState;
