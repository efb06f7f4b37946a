#pragma once

#include "platform/ApplicationServices.h"
#include "platform/ComputerName.h"
#include "platform/FileViewer.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"
#include "platform/ScriptHost.h"
#include "platform/ServiceAdvertiser.h"

#include <QMap>
#include <QMutex>
#include <QStringList>

// Stand-ins for the desktop services this machine does not have; each
// records what the server asked of it.
struct FakeApplications : ApplicationServices {
    QList<RunningApplication> running;
    std::optional<RunningApplication> frontmost;
    std::optional<QString> own = QStringLiteral("org.example.tendril");
    QMap<QString, QString> installed; // bundle identifier -> path
    QStringList calls;

    QList<RunningApplication> runningApplications() override { return running; }
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::optional<QString> ownBundleIdentifier() override { return own; }
    std::optional<QString> urlForApplication(const QString &id) override
    {
        if (!installed.contains(id))
            return std::nullopt;
        return installed.value(id);
    }
    void openApplication(const QString &path,
                         std::function<void(std::optional<QString>)> completion) override
    {
        calls << QStringLiteral("open ") + path;
        completion(std::nullopt);
    }
    void unhide(const RunningApplication &a) override { calls << QStringLiteral("unhide %1").arg(a.processIdentifier); }
    void activate(const RunningApplication &a) override { calls << QStringLiteral("activate %1").arg(a.processIdentifier); }
    void hide(const RunningApplication &a) override { calls << QStringLiteral("hide %1").arg(a.processIdentifier); }
    void terminate(const RunningApplication &a) override { calls << QStringLiteral("terminate %1").arg(a.processIdentifier); }
    void activateSelf() override { calls << QStringLiteral("activateSelf"); }
};

struct RecordingScripts : ScriptHost {
    QMutex mutex;
    QStringList sources;
    std::optional<QString> run(const QString &source) override
    {
        QMutexLocker lock(&mutex);
        sources << source;
        return std::nullopt;
    }
    QStringList ran()
    {
        QMutexLocker lock(&mutex);
        return sources;
    }
};

struct MemoryPasteboard : Pasteboard {
    std::optional<QString> text;
    QImage image;
    void clearContents() override { text.reset(); image = QImage(); }
    void writeImage(const QImage &i) override { image = i; }
    void setString(const QString &t) override { text = t; }
    std::optional<QByteArray> data(const QString &) override { return std::nullopt; }
    std::optional<QString> string() override { return text; }
};

struct NoScreenCapture : ScreenCapture {
    std::optional<QString> capture(const QString &) override
    {
        return QStringLiteral("no screen here");
    }
};

struct RecordingFileViewer : FileViewer {
    QStringList shown;
    void showFile(const QString &path) override { shown << path; }
};

struct RecordingAdvertiser : ServiceAdvertiser {
    QStringList calls;
    void advertise(const QString &name, const QString &type, const QString &domain,
                   quint16 port) override
    {
        calls << QStringLiteral("advertise %1 %2 %3 %4").arg(name, type, domain).arg(port);
    }
    void withdraw() override { calls << QStringLiteral("withdraw"); }
};

struct FixedComputerName : ComputerName {
    QString name = QStringLiteral("Test Desk");
    QString localizedName() override { return name; }
};

struct FakePlatform {
    FakeApplications applications;
    RecordingScripts scripts;
    MemoryPasteboard pasteboard;
    NoScreenCapture screenCapture;
    RecordingFileViewer fileViewer;
    RecordingAdvertiser advertiser;
    FixedComputerName computerName;
    Platform platform{&applications, &scripts, &pasteboard, &screenCapture,
                      &fileViewer, &advertiser, &computerName};
};
