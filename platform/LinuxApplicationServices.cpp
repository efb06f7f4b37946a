#include "platform/LinuxApplicationServices.h"

#include "platform/bundles/BundleReader.h"
#include "platform/StandardLocations.h"
#include "platform/bundles/BundleIndex.h"
#include "platform/x11/X11Desktop.h"
#include "platform/freedesktop/ApplicationBus.h"
#include "platform/freedesktop/DesktopEntryIndex.h"
#include "platform/freedesktop/DesktopLauncher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThreadPool>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString macOSFolder = QStringLiteral("/Contents/MacOS/");

bool isScript(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "#!";
}

// The program a process runs: its executable, or for an interpreter running a
// script ("#!"), the script the kernel passed as the first argument.
QList<QString> programsOfProcess(const ProcessRecord &process)
{
    QList<QString> programs;
    if (!process.executable.isEmpty())
        programs.append(process.executable);
    if (process.arguments.size() >= 2 && process.arguments.at(1).contains(macOSFolder)) {
        const QString &argument = process.arguments.at(1);
        const QString script = QDir::isAbsolutePath(argument)
            ? argument
            : QDir(ProcessTable().workingDirectory(process.pid)).absoluteFilePath(argument);
        if (isScript(script))
            programs.append(QDir::cleanPath(script));
    }
    return programs;
}

std::optional<QString> desktopEntryPath(const QString &desktopId)
{
    // An entry installed a moment ago is there once the folder monitor's
    // report has been read; a peer's unknown ID never causes a read.
    const std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryCache::shared().entries();
    const DesktopEntry *entry = entries->byId(desktopId);
    return entry ? std::optional<QString>(entry->filePath) : std::nullopt;
}

bool isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool isBundle(const RunningApplication &app)
{
    return app.bundlePath.endsWith(QStringLiteral(".app"));
}

// SIGTERM to the process, or to its own process group when it leads one and
// `group` is asked for; never to another user's process or to this program.
void terminateProcess(qint64 pid, bool group = true)
{
    struct stat status {};
    const QByteArray procDir = "/proc/" + QByteArray::number(pid);
    if (pid <= 0 || pid == ::getpid() || ::stat(procDir.constData(), &status) != 0 || status.st_uid != ::getuid())
        return;
    const pid_t leader = ::getpgid(pid_t(pid));
    if (group && leader == pid_t(pid) && leader != ::getpgrp())
        ::kill(-leader, SIGTERM);
    else
        ::kill(pid_t(pid), SIGTERM);
}

std::optional<QString> stringValue(const QVariantMap &info, const QString &key)
{
    const QVariant value = info.value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

} // namespace

std::optional<QString> bundleOfProgram(const QString &programPath)
{
    const qsizetype at = programPath.lastIndexOf(macOSFolder);
    if (at <= 0 || programPath.indexOf(u'/', at + macOSFolder.size()) != -1)
        return std::nullopt; // not directly inside Contents/MacOS
    const QString bundle = programPath.left(at);
    if (!bundle.endsWith(QStringLiteral(".app")))
        return std::nullopt;
    return bundle;
}

std::optional<RunningApplication> runningApplicationOfProcess(qint64 pid)
{
    const std::optional<ProcessRecord> process = ProcessTable().process(pid);
    return process ? bundleApplicationOf(*process) : std::nullopt;
}

std::optional<RunningApplication> bundleApplicationOf(const ProcessRecord &process)
{
    for (const QString &program : programsOfProcess(process)) {
        const std::optional<QString> bundlePath = bundleOfProgram(program);
        if (!bundlePath)
            continue;
        const std::optional<Bundle> bundle = openBundle(*bundlePath);
        if (!bundle)
            continue;
        RunningApplication app;
        app.processIdentifier = process.pid;
        app.bundleIdentifier = bundle->bundleIdentifier;
        app.localizedName = stringValue(bundle->infoDictionary, QStringLiteral("CFBundleDisplayName"));
        if (!app.localizedName)
            app.localizedName = stringValue(bundle->infoDictionary, QStringLiteral("CFBundleName"));
        if (!app.localizedName)
            app.localizedName = QFileInfo(*bundlePath).completeBaseName();
        app.bundlePath = *bundlePath;
        return app;
    }
    return std::nullopt;
}

LinuxApplicationServices::LinuxApplicationServices() = default;
LinuxApplicationServices::~LinuxApplicationServices() = default;

X11Desktop *LinuxApplicationServices::x11()
{
    if (isWaylandSession())
        return nullptr;
    if (!m_x11 || !m_x11->isOpen())
        m_x11 = std::make_unique<X11Desktop>();
    return m_x11->isOpen() ? m_x11.get() : nullptr;
}

RunningSnapshot LinuxApplicationServices::snapshot(bool reuseRecent)
{
    QMutexLocker lock(&m_mutex);
    constexpr qint64 recentMs = 300;
    if (reuseRecent && m_recentAge.isValid() && m_recentAge.elapsed() < recentMs)
        return m_recent;
    QList<WindowOwner> windows;
    if (X11Desktop *desktop = x11())
        for (const X11Desktop::Client &client : desktop->clients())
            windows.append({client.pid, client.instance, client.windowClass});
    m_recent = matchRunningApplications(m_processes, m_processes.processes(), *DesktopEntryCache::shared().entries(),
                                        windows, bundleApplicationOf);
    m_recentAge.start();
    return m_recent;
}

QList<std::uint32_t> LinuxApplicationServices::windowsOf(const RunningApplication &app, bool normalOnly)
{
    const RunningSnapshot running = snapshot(true);
    QMutexLocker lock(&m_mutex);
    QList<std::uint32_t> windows;
    if (X11Desktop *desktop = x11())
        for (const X11Desktop::Client &client : desktop->clients())
            if (client.pid > 0 && (!normalOnly || client.normal)
                && running.instanceOf.value(client.pid, client.pid) == app.processIdentifier)
                windows.append(client.window);
    return windows;
}

QList<RunningApplication> LinuxApplicationServices::runningApplications()
{
    return snapshot(false).applications;
}

std::optional<RunningApplication> LinuxApplicationServices::frontmostApplication()
{
    // A Wayland session tells no other client which window has the focus.
    std::optional<qint64> pid;
    {
        QMutexLocker lock(&m_mutex);
        if (X11Desktop *desktop = x11())
            pid = desktop->activeWindowProcess();
    }
    if (!pid)
        return std::nullopt;
    return snapshot(true).applicationOf(*pid);
}

std::optional<QString> LinuxApplicationServices::ownBundleIdentifier()
{
    const std::optional<RunningApplication> self = snapshot(true).applicationOf(::getpid());
    return self ? self->bundleIdentifier : std::nullopt;
}

std::optional<QString> LinuxApplicationServices::urlForApplication(const QString &bundleIdentifier)
{
    // The catalogue's scan roots, in its order, without descending; bundles
    // the scan has read are not read again.
    if (std::optional<QString> bundle = BundleIndex::shared().pathFor(bundleIdentifier, StandardLocations::applicationRoots()))
        return bundle;
    return desktopEntryPath(bundleIdentifier);
}

void LinuxApplicationServices::openApplication(
    const QString &bundlePath, std::function<void(std::optional<QString> error)> completion)
{
    if (bundlePath.endsWith(QStringLiteral(".desktop"))) {
        // The entry is read again to launch it: on a worker, like every read of one.
        QThreadPool::globalInstance()->start([bundlePath, completion] { completion(launchDesktopEntry(bundlePath)); });
        return;
    }
    const std::optional<Bundle> bundle = openBundle(bundlePath);
    if (!bundle) {
        completion(QStringLiteral("%1 is not an application bundle").arg(bundlePath));
        return;
    }
    const std::optional<QString> executable = stringValue(bundle->infoDictionary,
                                                          QStringLiteral("CFBundleExecutable"));
    if (!executable || executable->isEmpty() || executable->contains(u'/')) {
        completion(QStringLiteral("%1 names no executable").arg(bundlePath));
        return;
    }
    const QString program = bundlePath + macOSFolder + *executable;
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(QDir::rootPath());
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        completion(QStringLiteral("%1 could not be started: %2").arg(program, process.errorString()));
        return;
    }
    completion(std::nullopt);
}

void LinuxApplicationServices::unhide(const RunningApplication &app)
{
    const QList<std::uint32_t> windows = windowsOf(app, true);
    QMutexLocker lock(&m_mutex);
    if (X11Desktop *desktop = x11())
        for (X11Desktop::Window window : windows)
            desktop->restore(window);
}

void LinuxApplicationServices::activate(const RunningApplication &app)
{
    const QList<std::uint32_t> windows = windowsOf(app, true);
    if (!windows.isEmpty()) {
        QMutexLocker lock(&m_mutex);
        if (X11Desktop *desktop = x11())
            desktop->activate(windows.last(), X11Desktop::Source::pager); // the most recently raised
        return;
    }
    if (isBundle(app) || !app.bundleIdentifier)
        return;
    const std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryCache::shared().entries();
    const DesktopEntry *entry = entries->byId(*app.bundleIdentifier);
    if (entry && entry->dbusActivatable)
        ApplicationBus::activate(entry->id);
    else if (entry && isWaylandSession())
        QThreadPool::globalInstance()->start([path = entry->filePath] {
            launchDesktopEntry(path); // a single-instance application raises itself
        });
}

void LinuxApplicationServices::hide(const RunningApplication &app)
{
    // Linux has no hidden state apart from iconic.
    const QList<std::uint32_t> windows = windowsOf(app, true);
    QMutexLocker lock(&m_mutex);
    if (X11Desktop *desktop = x11())
        for (X11Desktop::Window window : windows)
            desktop->minimize(window);
}

void LinuxApplicationServices::terminate(const RunningApplication &app)
{
    if (isBundle(app)) {
        terminateProcess(app.processIdentifier, false);
        return;
    }
    // Ask, never force: a window asked to close lets the application ask the
    // user about unsaved work.
    const QList<std::uint32_t> windows = windowsOf(app, true);
    if (!windows.isEmpty()) {
        QMutexLocker lock(&m_mutex);
        if (X11Desktop *desktop = x11())
            for (X11Desktop::Window window : windows)
                desktop->close(window);
        return;
    }
    const qint64 pid = app.processIdentifier;
    const std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryCache::shared().entries();
    const DesktopEntry *entry = app.bundleIdentifier ? entries->byId(*app.bundleIdentifier) : nullptr;
    if (entry && entry->dbusActivatable)
        ApplicationBus::quit(entry->id, [pid] { terminateProcess(pid); });
    else
        terminateProcess(pid);
}

void LinuxApplicationServices::activateSelf()
{
    QMutexLocker lock(&m_mutex);
    X11Desktop *desktop = x11();
    if (!desktop)
        return;
    const QList<X11Desktop::Window> windows = desktop->windowsOfProcess(::getpid());
    if (!windows.isEmpty())
        desktop->activate(windows.last());
}

std::optional<QString> LinuxApplicationServices::windowSteeringUnavailable()
{
    if (isWaylandSession())
        return QStringLiteral("Wayland lets no program hide or minimise the windows of another application");
    return std::nullopt;
}
