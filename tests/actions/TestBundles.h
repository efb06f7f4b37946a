#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <optional>

// Application bundles for tests: NAME.app with an XML Info.plist and, in
// Contents/MacOS, a shell script that idles (for a minute at most, so that
// a crashed test leaves nothing behind for long).
struct TestBundle {
    TestBundle(QString name, QString identifier, std::optional<QString> displayName = std::nullopt,
               std::optional<QString> bundleName = std::nullopt)
        : name(std::move(name)), identifier(std::move(identifier)), displayName(std::move(displayName)),
          bundleName(std::move(bundleName))
    {
    }

    QString name;
    QString identifier;
    std::optional<QString> displayName;
    std::optional<QString> bundleName;
    QString executable = QStringLiteral("run");
    // Extra shell lines run before idling.
    QString prelude;
    bool writeExecutable = true;

    QString writeTo(const QString &folder) const
    {
        const QString bundle = folder + u'/' + name + QStringLiteral(".app");
        QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS"));
        QString plist = QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\"><dict>\n");
        auto entry = [&plist](const char *key, const QString &value) {
            plist += QStringLiteral("<key>%1</key><string>%2</string>\n")
                         .arg(QLatin1String(key), value.toHtmlEscaped());
        };
        entry("CFBundleIdentifier", identifier);
        entry("CFBundleExecutable", executable);
        if (displayName)
            entry("CFBundleDisplayName", *displayName);
        if (bundleName)
            entry("CFBundleName", *bundleName);
        plist += QStringLiteral("</dict></plist>\n");
        QFile info(bundle + QStringLiteral("/Contents/Info.plist"));
        if (!info.open(QIODevice::WriteOnly) || info.write(plist.toUtf8()) < 0)
            return {};
        if (writeExecutable) {
            QFile script(bundle + QStringLiteral("/Contents/MacOS/") + executable);
            if (!script.open(QIODevice::WriteOnly))
                return {};
            script.write(("#!/bin/sh\n" + prelude
                          + "\ni=0\nwhile [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n")
                             .toUtf8());
            script.setPermissions(script.permissions() | QFile::ExeOwner | QFile::ExeUser);
        }
        return bundle;
    }
};
