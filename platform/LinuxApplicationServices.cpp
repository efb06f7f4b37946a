#include "platform/LinuxApplicationServices.h"

#include "platform/BundleReader.h"
#include "platform/StandardLocations.h"
#include "platform/bundles/BundleIndex.h"
#include "platform/X11Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString macOSFolder = QStringLiteral("/Contents/MacOS/");

QStringList commandLine(const QString &procDir)
{
    QFile file(procDir + QStringLiteral("/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList arguments;
    for (const QByteArray &argument : file.readAll().split('\0'))
        arguments.append(QFile::decodeName(argument));
    if (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    return arguments;
}

bool isScript(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "#!";
}

// The program a process runs: its executable, or for an interpreter running a
// script ("#!"), the script the kernel passed as the first argument.
QList<QString> programsOfProcess(const QString &procDir)
{
    QList<QString> programs;
    const QString executable = QFileInfo(procDir + QStringLiteral("/exe")).symLinkTarget();
    if (!executable.isEmpty())
        programs.append(executable);
    const QStringList arguments = commandLine(procDir);
    if (arguments.size() >= 2) {
        const QString script = QDir(QFileInfo(procDir + QStringLiteral("/cwd")).symLinkTarget())
                                   .absoluteFilePath(arguments.at(1));
        if (script.contains(macOSFolder) && isScript(script))
            programs.append(QDir::cleanPath(script));
    }
    return programs;
}

std::optional<QString> stringValue(const QVariantMap &info, const QString &key)
{
    const QVariant value = info.value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

bool ownedByCurrentUser(const QString &procDir)
{
    struct stat status {};
    return ::stat(QFile::encodeName(procDir).constData(), &status) == 0 && status.st_uid == ::getuid();
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
    const QString procDir = QStringLiteral("/proc/%1").arg(pid);
    if (!ownedByCurrentUser(procDir))
        return std::nullopt;
    for (const QString &program : programsOfProcess(procDir)) {
        const std::optional<QString> bundlePath = bundleOfProgram(program);
        if (!bundlePath)
            continue;
        const std::optional<Bundle> bundle = openBundle(*bundlePath);
        if (!bundle)
            continue;
        RunningApplication app;
        app.processIdentifier = pid;
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

QList<RunningApplication> LinuxApplicationServices::runningApplications()
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const qint64 pid = entry.toLongLong(&isNumber);
        if (isNumber)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());

    QList<RunningApplication> apps;
    for (qint64 pid : pids)
        if (std::optional<RunningApplication> app = runningApplicationOfProcess(pid))
            apps.append(std::move(*app));
    return apps;
}

std::optional<RunningApplication> LinuxApplicationServices::frontmostApplication()
{
    const std::optional<qint64> pid = X11Desktop().activeWindowProcess();
    if (!pid)
        return std::nullopt;
    return runningApplicationOfProcess(*pid);
}

std::optional<QString> LinuxApplicationServices::ownBundleIdentifier()
{
    const std::optional<RunningApplication> self = runningApplicationOfProcess(::getpid());
    return self ? self->bundleIdentifier : std::nullopt;
}

std::optional<QString> LinuxApplicationServices::urlForApplication(const QString &bundleIdentifier)
{
    // The catalogue's scan roots, in its order, without descending; bundles
    // the scan has read are not read again.
    return BundleIndex::shared().pathFor(bundleIdentifier, StandardLocations::applicationRoots());
}

void LinuxApplicationServices::openApplication(
    const QString &bundlePath, std::function<void(std::optional<QString> error)> completion)
{
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
    X11Desktop desktop;
    for (X11Desktop::Window window : desktop.windowsOfProcess(app.processIdentifier))
        desktop.restore(window);
}

void LinuxApplicationServices::activate(const RunningApplication &app)
{
    X11Desktop desktop;
    const QList<X11Desktop::Window> windows = desktop.windowsOfProcess(app.processIdentifier);
    if (!windows.isEmpty())
        desktop.activate(windows.last()); // the topmost
}

void LinuxApplicationServices::hide(const RunningApplication &app)
{
    X11Desktop desktop;
    for (X11Desktop::Window window : desktop.windowsOfProcess(app.processIdentifier))
        desktop.minimize(window);
}

void LinuxApplicationServices::terminate(const RunningApplication &app)
{
    if (app.processIdentifier > 0 && app.processIdentifier != ::getpid())
        ::kill(pid_t(app.processIdentifier), SIGTERM);
}

void LinuxApplicationServices::activateSelf()
{
    X11Desktop desktop;
    const QList<X11Desktop::Window> windows = desktop.windowsOfProcess(::getpid());
    if (!windows.isEmpty())
        desktop.activate(windows.last());
}
