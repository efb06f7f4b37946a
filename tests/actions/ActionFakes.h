#pragma once

#include "platform/ApplicationServices.h"
#include "platform/ScriptHost.h"
#include "server/ActionLog.h"

#include <QMutex>
#include <QStringList>
#include <QThreadPool>

// Records every script it is asked to run and fails with `error` when set.
// Scripts arrive on pool threads, hence the lock.
struct RecordingScriptHost : ScriptHost {
    std::optional<QString> run(const QString &source) override
    {
        QMutexLocker lock(&mutex);
        sources.append(source);
        return error;
    }
    // Every script started so far, once the pool has run them all.
    QStringList ran()
    {
        QThreadPool::globalInstance()->waitForDone();
        QMutexLocker lock(&mutex);
        return sources;
    }
    void reset()
    {
        sources.clear();
        error.reset();
    }
    QMutex mutex;
    QStringList sources;
    std::optional<QString> error;
};

// Collects log lines from any thread.
struct RecordedLog {
    ActionLog sink()
    {
        return ActionLog([this](const QString &line) {
            QMutexLocker lock(&mutex);
            written.append(line);
        });
    }
    QStringList lines()
    {
        QMutexLocker lock(&mutex);
        return written;
    }
    QMutex mutex;
    QStringList written;
};

// A desktop whose running applications the test sets; it only records hiding.
struct FakeApplicationServices : ApplicationServices {
    QList<RunningApplication> running;
    QList<RunningApplication> runningApplications() override { return running; }
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::optional<QString> ownBundleIdentifier() override { return std::nullopt; }
    std::optional<QString> urlForApplication(const QString &) override { return std::nullopt; }
    void openApplication(const QString &, std::function<void(std::optional<QString>)> done) override { done({}); }
    void unhide(const RunningApplication &) override {}
    void activate(const RunningApplication &) override {}
    QList<qint64> hidden;
    void hide(const RunningApplication &app) override { hidden.append(app.processIdentifier); }
    void terminate(const RunningApplication &) override {}
    void activateSelf() override {}
};
