#include "platform/linux/LinuxApplicationServices.h"

#include "platform/bundles/BundleReader.h"
#include "platform/files/StandardLocations.h"
#include "platform/bundles/BundleIndex.h"
#include "platform/freedesktop/DesktopSession.h"
#include "platform/freedesktop/WindowReport.h"
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

// These requests have no answer to give back: a failure goes to the log.
void logFailure(const ActionResult &result)
{
    if (result)
        qCWarning(windowControlLog).noquote() << *result;
}

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
    // Every poll asks this of every process; nearly all run no bundle.
    if (!process.executable.contains(macOSFolder)
        && (process.arguments.size() < 2 || !process.arguments.at(1).contains(macOSFolder)))
        return std::nullopt;
    for (const QString &program : programsOfProcess(process)) {
        const std::optional<QString> bundlePath = bundleOfProgram(program);
        if (!bundlePath)
            continue;
        // Every poll looks at every running bundle: through the index, which
        // reads an Info.plist only when it changed.
        const std::optional<BundleIndex::Facts> bundle = BundleIndex::shared().factsAt(*bundlePath);
        if (!bundle)
            continue;
        RunningApplication app;
        app.processIdentifier = process.pid;
        app.bundleIdentifier = bundle->identifier;
        app.localizedName = bundle->name ? bundle->name : QFileInfo(*bundlePath).completeBaseName();
        app.bundlePath = *bundlePath;
        return app;
    }
    return std::nullopt;
}

LinuxApplicationServices::LinuxApplicationServices() : LinuxApplicationServices(systemWindowControl()) {}
LinuxApplicationServices::LinuxApplicationServices(WindowControl &windows) : m_windows(windows) {}
LinuxApplicationServices::~LinuxApplicationServices() = default;

RunningSnapshot LinuxApplicationServices::snapshot(bool reuseRecent)
{
    QMutexLocker lock(&m_mutex);
    constexpr qint64 recentMs = 300;
    if (reuseRecent && m_recentAge.isValid() && m_recentAge.elapsed() < recentMs)
        return m_recent;
    QList<WindowOwner> windows;
    for (const DesktopWindow &window : m_windows.windows())
        windows.append({window.pid, window.instance, window.windowClass, window.desktopFile});
    m_recent = matchRunningApplications(m_processes, m_processes.processes(), *DesktopEntryCache::shared().entries(),
                                        windows, bundleApplicationOf);
    m_recentAge.start();
    return m_recent;
}

QStringList LinuxApplicationServices::windowsOf(const RunningApplication &app, bool normalOnly)
{
    const RunningSnapshot running = snapshot(true);
    WindowTarget target;
    for (auto it = running.instanceOf.cbegin(); it != running.instanceOf.cend(); ++it)
        if (it.value() == app.processIdentifier)
            target.pids.append(it.key());
    if (!target.pids.contains(app.processIdentifier))
        target.pids.append(app.processIdentifier);
    // By the entry too only when it is the only instance: a second one's
    // windows carry the same name.
    const auto instances = std::count_if(running.applications.cbegin(), running.applications.cend(),
                                         [&](const RunningApplication &other) { return other.bundleIdentifier == app.bundleIdentifier; });
    if (!isBundle(app) && instances <= 1)
        target.desktopId = app.bundleIdentifier.value_or(QString());
    return ::windowsOf(m_windows.windows(), target, normalOnly);
}

QList<RunningApplication> LinuxApplicationServices::runningApplications()
{
    return snapshot(false).applications;
}

std::optional<RunningApplication> LinuxApplicationServices::frontmostApplication()
{
    const std::optional<FocusedApplication> focused = m_windows.focused();
    if (!focused)
        return std::nullopt;
    const RunningSnapshot running = snapshot(true);
    if (std::optional<RunningApplication> app = running.applicationOf(focused->pid))
        return app;
    for (const RunningApplication &app : running.applications)
        if (!focused->desktopFile.isEmpty() && app.bundleIdentifier == focused->desktopFile)
            return app;
    return std::nullopt;
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
    const QString &bundlePath, std::function<void(ActionResult error)> completion)
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
    const QStringList windows = windowsOf(app, true);
    if (!windows.isEmpty())
        logFailure(m_windows.restore(windows));
}

void LinuxApplicationServices::activate(const RunningApplication &app)
{
    const QStringList windows = windowsOf(app, true);
    if (!windows.isEmpty()) {
        logFailure(m_windows.activate(windows.last())); // the most recently raised
        return;
    }
    if (isBundle(app) || !app.bundleIdentifier)
        return;
    const std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryCache::shared().entries();
    const DesktopEntry *entry = entries->byId(*app.bundleIdentifier);
    if (entry && entry->dbusActivatable)
        ApplicationBus::activate(entry->id);
    else if (entry && DesktopSession::current().wayland)
        QThreadPool::globalInstance()->start([path = entry->filePath] {
            logFailure(launchDesktopEntry(path)); // a single-instance application raises itself
        });
}

void LinuxApplicationServices::hide(const RunningApplication &app)
{
    logFailure(minimizeWindows(app));
}

ActionResult LinuxApplicationServices::minimizeWindows(const RunningApplication &app)
{
    if (ActionResult reason = m_windows.unavailable())
        return reason;
    const QStringList windows = windowsOf(app, true);
    if (windows.isEmpty())
        return std::nullopt; // nothing to minimise, as with a window-less script target
    return m_windows.minimize(windows);
}

void LinuxApplicationServices::terminate(const RunningApplication &app)
{
    if (isBundle(app)) {
        terminateProcess(app.processIdentifier, false);
        return;
    }
    // Ask, never force: a window asked to close lets the application ask the
    // user about unsaved work, and it may stay.
    const QStringList windows = windowsOf(app, true);
    if (!windows.isEmpty()) {
        logFailure(m_windows.close(windows));
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
    const QStringList windows = ::windowsOf(m_windows.windows(), {{}, {qint64(::getpid())}}, false);
    if (!windows.isEmpty())
        logFailure(m_windows.activate(windows.last()));
}

std::optional<QString> LinuxApplicationServices::windowControlNotice()
{
    return m_windows.notice();
}

ActionResult LinuxApplicationServices::windowSteeringUnavailable()
{
    return m_windows.unavailable();
}
