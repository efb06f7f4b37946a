#pragma once

#include "platform/ScriptHost.h"
#include "server/ActionLog.h"

#include <QMutex>
#include <QStringList>

// Records every script it is asked to run and fails with `error` when set.
// Scripts arrive on pool threads, hence the lock.
class RecordingScriptHost : public ScriptHost {
public:
    std::optional<QString> run(const QString &source) override
    {
        QMutexLocker lock(&m_mutex);
        m_sources.append(source);
        return m_error;
    }
    QStringList sources() const
    {
        QMutexLocker lock(&m_mutex);
        return m_sources;
    }
    void reset()
    {
        QMutexLocker lock(&m_mutex);
        m_sources.clear();
        m_error.reset();
    }
    void failWith(const QString &error)
    {
        QMutexLocker lock(&m_mutex);
        m_error = error;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_sources;
    std::optional<QString> m_error;
};

// Collects log lines from any thread.
class RecordedLog {
public:
    ActionLog sink()
    {
        return ActionLog([this](const QString &line) {
            QMutexLocker lock(&m_mutex);
            m_lines.append(line);
        });
    }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};
