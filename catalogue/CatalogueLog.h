#pragma once

#include <QLoggingCategory>

// Where the app catalogue logs, "tendril.catalogue"; on from info up.
Q_DECLARE_LOGGING_CATEGORY(lcCatalogue)
