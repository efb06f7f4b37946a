#pragma once

#include "catalogue/AppIcon.h"

#include <QString>
#include <QUuid>

#include <optional>

// One application found on disk. Set when made, never changed.
struct InstalledApp {
    QUuid id; // new for every record made; not persisted
    QString bundleID;
    QString name;
    std::optional<AppIcon> icon;
    QString path; // the bundle directory
};
