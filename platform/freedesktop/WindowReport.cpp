#include "platform/freedesktop/WindowReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

Q_LOGGING_CATEGORY(windowControlLog, "tendril.windowcontrol", QtInfoMsg)

std::optional<WindowReport> parseWindowReport(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject() || !document.object().value(QLatin1String("windows")).isArray())
        return std::nullopt;
    WindowReport report;
    report.active = document.object().value(QLatin1String("active")).toString();
    report.timeMs = qint64(document.object().value(QLatin1String("time")).toDouble());
    for (const QJsonValue &value : document.object().value(QLatin1String("windows")).toArray()) {
        const QJsonObject w = value.toObject();
        QString desktopFile = w.value(QLatin1String("desktopFile")).toString();
        if (desktopFile.endsWith(QLatin1String(".desktop")))
            desktopFile.chop(8);
        report.windows.append({w.value(QLatin1String("id")).toString(), qint64(w.value(QLatin1String("pid")).toDouble()),
                               desktopFile, w.value(QLatin1String("instance")).toString(),
                               w.value(QLatin1String("windowClass")).toString(), w.value(QLatin1String("normal")).toBool(true),
                               w.value(QLatin1String("minimized")).toBool()});
    }
    return report;
}

std::optional<FocusedApplication> WindowReport::focused() const
{
    for (const DesktopWindow &window : windows)
        if (!active.isEmpty() && window.id == active)
            return FocusedApplication{window.desktopFile, window.pid};
    return std::nullopt;
}

QStringList windowsOf(const QList<DesktopWindow> &windows, const WindowTarget &target, bool normalOnly)
{
    QStringList ids;
    for (const DesktopWindow &window : windows) {
        if (normalOnly && !window.normal)
            continue;
        const bool byProcess = window.pid > 0 && target.pids.contains(window.pid);
        const bool byEntry = !target.desktopId.isEmpty() && window.desktopFile == target.desktopId;
        if (byProcess || byEntry)
            ids.append(window.id);
    }
    return ids;
}
