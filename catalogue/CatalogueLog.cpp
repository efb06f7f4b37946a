#include "catalogue/CatalogueLog.h"

Q_LOGGING_CATEGORY(lcCatalogue, "tendril.catalogue", QtInfoMsg)
