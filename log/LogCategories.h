#pragma once

#include <QLoggingCategory>

// Where the server and the desktop actions log. Both are on from info up.
Q_DECLARE_LOGGING_CATEGORY(lcServer)
Q_DECLARE_LOGGING_CATEGORY(lcActions)
