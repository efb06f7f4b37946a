#include "platform/kwin/KWinWindowControl.h"

#include "platform/freedesktop/DBusCall.h"
#include "platform/freedesktop/KWin.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <tuple>
#include <unistd.h>

namespace {

const QString watchPath = QStringLiteral("/WindowWatch");
const QString watchInterface = QStringLiteral("org.tendril.WindowWatch");
const DBusCall::Target scripting{QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                                 QStringLiteral("org.kde.kwin.Scripting")};
const DBusCall::Target kwin{QStringLiteral("org.kde.KWin"), QStringLiteral("/KWin"), QStringLiteral("org.kde.KWin")};

// Both generations: Plasma 6 names windows "window", 5.27 "client".
const char *const common = R"JS(
const windowList = () => workspace.windowList ? workspace.windowList() : workspace.clientList();
const idOf = (w) => String(w.internalId);
)JS";

// Reports every change of the window list, a window's minimised state or
// app ID, and the focus. `target` is set before this text.
const char *const watcher = R"JS(
function report(removed) {
    const active = workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
    const windows = windowList().filter((w) => w !== removed).map((w) => ({
        id: idOf(w), pid: w.pid, desktopFile: w.desktopFileName || "", instance: w.resourceName || "",
        windowClass: w.resourceClass || "", normal: !!w.normalWindow, minimized: !!w.minimized}));
    callDBus(target.service, target.path, target.interface, "windowsChanged",
             JSON.stringify({active: active ? idOf(active) : "", time: Date.now(), windows: windows}));
}
function watch(w) {
    for (const signal of [w.minimizedChanged, w.desktopFileNameChanged])
        if (signal)
            signal.connect(() => report());
}
(workspace.windowAdded || workspace.clientAdded).connect((w) => { watch(w); report(); });
(workspace.windowRemoved || workspace.clientRemoved).connect((w) => report(w));
(workspace.windowActivated || workspace.clientActivated).connect(() => report());
windowList().forEach(watch);
report();
)JS";

// One request on the windows named in `args`, then the script unloads itself.
const char *const action = R"JS(
for (const w of windowList()) {
    if (args.windows.indexOf(idOf(w)) < 0)
        continue;
    if (args.op === "activate") {
        w.minimized = false;
        if (workspace.activeWindow !== undefined)
            workspace.activeWindow = w;
        else
            workspace.activeClient = w;
    } else if (args.op === "restore") {
        w.minimized = false;
    } else if (args.op === "minimize") {
        w.minimized = true;
    } else if (args.op === "close") {
        w.closeWindow();
    }
}
callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", args.plugin);
)JS";

QString jsonText(const QJsonObject &object)
{
    // JSON is a JavaScript literal: names and ids cannot escape it.
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString pluginName(const char *kind, int call)
{
    return QStringLiteral("tendril-%1-%2-%3").arg(QLatin1String(kind)).arg(::getpid()).arg(call);
}

} // namespace

QStringList KWinWindowControl::scriptPaths(int id)
{
    return {QStringLiteral("/%1").arg(id), QStringLiteral("/Scripting/Script%1").arg(id)};
}

KWinWindowControl::KWinWindowControl()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_scripts.isValid())
        m_failure = QStringLiteral("cannot write KWin scripts: %1").arg(m_scripts.errorString());
    else if (!bus.registerObject(watchPath, this, QDBusConnection::ExportScriptableSlots))
        m_failure = QStringLiteral("cannot offer KWin the window watch: %1").arg(bus.lastError().message());
    else {
        // Started before KWin (or KWin restarted): watch again once it is on the bus.
        auto *kwinWatch = new QDBusServiceWatcher(scripting.service, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(kwinWatch, &QDBusServiceWatcher::serviceRegistered, this, &KWinWindowControl::startWatch);
        startWatch();
    }
}

void KWinWindowControl::startWatch()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QJsonObject target{{QStringLiteral("service"), bus.baseService()},
                             {QStringLiteral("path"), watchPath},
                             {QStringLiteral("interface"), watchInterface}};
    ActionResult failure =
        runScript(QStringLiteral("const target = %1;\n").arg(jsonText(target)) + QLatin1String(watcher), pluginName("watch", 0));
    QMutexLocker lock(&m_mutex);
    m_failure = std::move(failure);
}

KWinWindowControl::~KWinWindowControl()
{
    // Best effort: on the way out there is no one left to tell of a failure.
    if (!unavailable())
        std::ignore = DBusCall::call(QDBusConnection::sessionBus(), scripting, QStringLiteral("unloadScript"),
                                     {pluginName("watch", 0)}, nullptr, 1000);
}

ActionResult KWinWindowControl::runScript(const QString &source, const QString &name)
{
    const QString path = m_scripts.filePath(name + QStringLiteral(".js"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write((QLatin1String(common) + source).toUtf8()) < 0 || !file.flush())
        return QStringLiteral("cannot write a KWin script: %1").arg(file.errorString());
    file.close();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    QVariantList reply;
    // loadScript is overloaded: the name picks the one with a plugin name.
    if (ActionResult error = DBusCall::call(bus, scripting, QStringLiteral("loadScript"), {path, name}, &reply))
        return QStringLiteral("KWin did not load the script: %1").arg(*error);
    const int id = reply.value(0).toInt();
    if (id < 0)
        return QStringLiteral("KWin refused the script %1").arg(name);
    ActionResult error;
    for (const QString &scriptPath : scriptPaths(id)) {
        error = DBusCall::call(bus, {scripting.service, scriptPath, QStringLiteral("org.kde.kwin.Script")},
                               QStringLiteral("run"));
        if (!error)
            return std::nullopt;
    }
    return QStringLiteral("KWin did not run the script: %1").arg(*error);
}

ActionResult KWinWindowControl::act(const QString &operation, const QStringList &windows)
{
    if (ActionResult failure = unavailable())
        return failure;
    const int call = ++m_calls;
    // KWin has read the script files of earlier requests by now.
    for (const QFileInfo &old : QDir(m_scripts.path()).entryInfoList({QStringLiteral("tendril-act-*")}, QDir::Files))
        if (old.lastModified().msecsTo(QDateTime::currentDateTime()) > 10000)
            QFile::remove(old.filePath());
    const QJsonObject args{{QStringLiteral("op"), operation},
                           {QStringLiteral("windows"), QJsonArray::fromStringList(windows)},
                           {QStringLiteral("plugin"), pluginName("act", call)}};
    return runScript(QStringLiteral("const args = %1;\n").arg(jsonText(args)) + QLatin1String(action),
                     pluginName("act", call));
}

void KWinWindowControl::windowsChanged(const QString &report)
{
    // Only KWin may say what its windows are.
    const QDBusConnection bus = connection();
    if (!calledFromDBus() || message().service() != bus.interface()->serviceOwner(scripting.service).value())
        return;
    std::optional<WindowReport> parsed = parseWindowReport(report.toUtf8());
    if (!parsed)
        return;
    bool focusMoved;
    const qint64 reportTime = parsed->timeMs;
    {
        QMutexLocker lock(&m_mutex);
        focusMoved = parsed->active != m_report.active;
        m_report = std::move(*parsed);
    }
    if (focusMoved) {
        m_focusReportTimeMs = reportTime;
        emit focusChanged();
    }
}

ActionResult KWinWindowControl::unavailable()
{
    QMutexLocker lock(&m_mutex);
    return m_failure;
}

std::optional<FocusedApplication> KWinWindowControl::focused()
{
    QMutexLocker lock(&m_mutex);
    return m_report.focused();
}

QList<DesktopWindow> KWinWindowControl::windows()
{
    QMutexLocker lock(&m_mutex);
    return m_report.windows;
}

ActionResult KWinWindowControl::activate(const QString &window)
{
    return act(QStringLiteral("activate"), {window});
}

ActionResult KWinWindowControl::restore(const QStringList &windows)
{
    return act(QStringLiteral("restore"), windows);
}

ActionResult KWinWindowControl::minimize(const QStringList &windows)
{
    return act(QStringLiteral("minimize"), windows);
}

ActionResult KWinWindowControl::close(const QStringList &windows)
{
    return act(QStringLiteral("close"), windows);
}

ActionResult KWinWindowControl::toggleShowingDesktop()
{
    // Over this program's own connection, which stays: KWin takes the desktop
    // back when the asking connection goes.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    QVariant showing;
    if (ActionResult error = DBusCall::property(bus, kwin, QStringLiteral("showingDesktop"), &showing))
        return QStringLiteral("Cannot show the desktop: KWin: %1").arg(*error);
    if (ActionResult error = DBusCall::call(bus, kwin, QStringLiteral("showDesktop"), {!showing.toBool()}))
        return QStringLiteral("Cannot show the desktop: KWin: %1").arg(*error);
    return std::nullopt;
}

ActionResult KWinWindowControl::toggleOverview()
{
    if (ActionResult error = invokeKWinShortcut(QStringLiteral("Overview")))
        return QStringLiteral("Mission Control has no counterpart on this desktop: KWin: %1").arg(*error);
    return std::nullopt;
}
