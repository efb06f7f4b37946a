#pragma once

#include "platform/ActionResult.h"
#include "platform/ApplicationServices.h"
#include "platform/ComputerName.h"
#include "platform/FileViewer.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"
#include "platform/scripts/ScriptHost.h"
#include "platform/ServiceAdvertiser.h"
#include "log/ActionLog.h"

#include <QBuffer>
#include <QImage>
#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QThreadPool>

// `image` in a file format, as a clipboard would offer it.
inline QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Stand-ins for the desktop services; each records what it was asked.
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
        return installed.contains(id) ? std::optional(installed.value(id)) : std::nullopt;
    }
    void openApplication(const QString &path, std::function<void(ActionResult)> done) override
    {
        calls << "open " + path;
        done(std::nullopt);
    }
    void unhide(const RunningApplication &a) override { record("unhide", a); }
    void activate(const RunningApplication &a) override { record("activate", a); }
    void hide(const RunningApplication &a) override { record("hide", a); }
    void terminate(const RunningApplication &a) override { record("terminate", a); }
    void activateSelf() override { calls << "activateSelf"; }
    void record(const char *what, const RunningApplication &a) { calls << QString("%1 %2").arg(what).arg(a.processIdentifier); }
};

// Records every script (they arrive on pool threads) and fails with `error` when set.
struct RecordingScripts : ScriptHost {
    QMutex mutex;
    QStringList sources;
    ActionResult error;
    ActionResult run(const QString &source) override { QMutexLocker lock(&mutex); sources << source; return error; }
    // Every script started so far, once the pool has run them all.
    QStringList ran() { QThreadPool::globalInstance()->waitForDone(); QMutexLocker lock(&mutex); return sources; }
    void reset() { QMutexLocker lock(&mutex); sources.clear(); error = {}; }
};

// Collects log lines from any thread.
struct RecordedLog {
    QMutex mutex;
    QStringList written;
    ActionLog sink() { return ActionLog([this](QtMsgType, const QString &l) { QMutexLocker lock(&mutex); written.append(l); }); }
    QStringList lines() { QMutexLocker lock(&mutex); return written; }
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
    ActionResult capture(const QString &) override { return QStringLiteral("no screen here"); }
};

struct RecordingFileViewer : FileViewer {
    QStringList shown;
    void showFile(const QString &path) override { shown << path; }
};

struct RecordingAdvertiser : ServiceAdvertiser {
    QStringList calls;
    void advertise(const QString &name, const QString &type, const QString &domain, quint16 port) override
    {
        calls << QStringLiteral("advertise %1 %2 %3 %4").arg(name, type, domain).arg(port);
    }
    void withdraw() override { calls << QStringLiteral("withdraw"); }
};

struct FixedComputerName : ComputerName {
    QString name = QStringLiteral("Test Desk");
    QString localizedName() override { return name; }
    // The system's answer arriving late.
    void rename(const QString &newName) { name = newName; changed(); }
};

struct FakePlatform {
    FakeApplications applications;
    RecordingScripts scripts;
    ScriptedDesktopActions actions{scripts};
    MemoryPasteboard pasteboard;
    NoScreenCapture screenCapture;
    RecordingFileViewer fileViewer;
    RecordingAdvertiser advertiser;
    FixedComputerName computerName;
    Platform platform{&applications, &actions, &pasteboard, &screenCapture, &fileViewer, &advertiser, &computerName};
};
