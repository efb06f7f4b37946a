#pragma once

#include <QLoggingCategory>

// The application shell's own log category, "tendril.app".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
