#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The application a process was started as, read from the name of its
// systemd unit: desktops start each application in
// app[-LAUNCHER]-APPID[@RANDOM].service, app[-LAUNCHER]-APPID-RANDOM.scope or
// an app-APPID.slice; Snap uses snap.NAME.APP-RANDOM.scope.
struct CgroupApplication {
    QString desktopId;
    // The cgroup path up to and including the naming unit: processes sharing
    // it are one running instance.
    QByteArray unitPath;

    friend bool operator==(const CgroupApplication &, const CgroupApplication &) = default;
};

// From the contents of /proc/PID/cgroup (the unified "0::" line, else the
// "name=systemd" hierarchy); none when no unit on the path names an application.
std::optional<CgroupApplication> applicationOfCgroup(QByteArrayView cgroupFile);

// The desktop-file ID a single unit name carries, or none.
std::optional<QString> desktopIdOfUnit(QByteArrayView unit);

// A text escaped as systemd escapes unit name parts ("-" as \x2d).
QByteArray systemdEscape(const QString &text);
