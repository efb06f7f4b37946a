#include "log/LogCategories.h"

Q_LOGGING_CATEGORY(lcServer, "tendril.server", QtInfoMsg)
Q_LOGGING_CATEGORY(lcActions, "tendril.actions", QtInfoMsg)
