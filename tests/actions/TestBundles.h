#pragma once

#include "tests/catalogue/CatalogueFixtures.h"

#include <QDir>
#include <QFile>

// NAME.app under `folder` with an XML Info.plist holding `info` and, unless
// `script` is null, a Contents/MacOS/run that runs `script` and then idles
// (for a minute at most, so that a crashed test leaves nothing behind long).
inline QString writeTestBundle(const QString &folder, const QString &name, QVariantMap info,
                               const char *script = "")
{
    info.insert("CFBundleExecutable", "run");
    const QString bundle = makeBundle(folder, name + ".app", info);
    QDir().mkpath(bundle + "/Contents/MacOS");
    QFile run(bundle + "/Contents/MacOS/run");
    if (script && run.open(QIODevice::WriteOnly)) {
        run.write(QByteArray("#!/bin/sh\n") + script + "\ni=0\nwhile [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n");
        run.setPermissions(run.permissions() | QFile::ExeOwner);
    }
    return bundle;
}
