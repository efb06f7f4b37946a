#pragma once

#include "platform/ApplicationServices.h"

#include <QStringList>

// A desktop whose running applications the test sets, recording every
// request as "call pid" in order.
class FakeApplicationServices : public ApplicationServices {
public:
    QList<RunningApplication> running;
    QStringList calls;

    QList<RunningApplication> runningApplications() override { return running; }
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::optional<QString> ownBundleIdentifier() override { return std::nullopt; }
    std::optional<QString> urlForApplication(const QString &) override { return std::nullopt; }
    void openApplication(const QString &path, std::function<void(std::optional<QString>)> done) override
    {
        calls.append(QStringLiteral("open ") + path);
        done(std::nullopt);
    }
    void unhide(const RunningApplication &app) override { record("unhide", app); }
    void activate(const RunningApplication &app) override { record("activate", app); }
    void hide(const RunningApplication &app) override { record("hide", app); }
    void terminate(const RunningApplication &app) override { record("terminate", app); }
    void activateSelf() override { calls.append(QStringLiteral("activateSelf")); }

private:
    void record(const char *call, const RunningApplication &app)
    {
        calls.append(QStringLiteral("%1 %2").arg(QLatin1String(call)).arg(app.processIdentifier));
    }
};
