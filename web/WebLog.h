#pragma once

#include <QLoggingCategory>

// Where the web remote logs, from info up.
Q_DECLARE_LOGGING_CATEGORY(lcWeb)
