#include <gio/gio.h>

#include "platform/freedesktop/DesktopEntryIndex.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

bool isLauncherOrInterpreter(const QString &program)
{
    static const QStringList names = {"env", "sh", "bash", "dash", "zsh", "python", "perl", "ruby",
                                      "node", "gjs", "java", "mono", "wine", "sudo", "pkexec",
                                      "flatpak", "snap", "xdg-open", "gtk-launch", "gio"};
    const QString base = QFileInfo(program).fileName();
    for (const QString &name : names)
        if (base == name || (base.startsWith(name) && base.size() > name.size()
                             && (base.at(name.size()).isDigit() || base.at(name.size()) == u'.')))
            return true;
    return false;
}

namespace {

// The file a program name stands for, with every link resolved, as the
// kernel reports it in /proc/PID/exe.
QString resolveProgram(const QString &program)
{
    if (program.isEmpty())
        return {};
    char *found = g_find_program_in_path(program.toUtf8().constData());
    const QString path = fromUtf8(found);
    g_free(found);
    if (path.isEmpty())
        return {};
    return QFileInfo(path).canonicalFilePath();
}

// The programs an entry runs: its Exec program (or, behind a launcher or an
// interpreter, the first argument that is a file), and its TryExec.
QStringList programsOf(const DesktopEntry &entry)
{
    QStringList programs;
    int argc = 0;
    char **argv = nullptr;
    const QString &exec = entry.exec;
    if (!exec.isEmpty() && g_shell_parse_argv(exec.toUtf8().constData(), &argc, &argv, nullptr)) {
        int i = 0;
        if (argc > 0 && QFileInfo(QString::fromUtf8(argv[0])).fileName() == QStringLiteral("env"))
            for (i = 1; i < argc && std::strchr(argv[i], '=') && argv[i][0] != '-'; ++i) {
            }
        if (i < argc && !isLauncherOrInterpreter(QString::fromUtf8(argv[i])))
            programs.append(resolveProgram(QString::fromUtf8(argv[i])));
        else if (i < argc)
            for (++i; i < argc; ++i)
                if (argv[i][0] == '/') {
                    programs.append(QFileInfo(QString::fromUtf8(argv[i])).canonicalFilePath());
                    break;
                }
        g_strfreev(argv);
    }
    programs.append(resolveProgram(entry.tryExec));
    programs.removeAll(QString());
    return programs;
}

QString lastPart(const QString &id)
{
    return id.mid(id.lastIndexOf(u'.') + 1);
}

} // namespace

std::shared_ptr<const DesktopEntryIndex> DesktopEntryIndex::load()
{
    QList<DesktopEntry> entries = DesktopEntries::allApplications();
    const std::optional<DesktopEntry> fileManager = DesktopEntries::defaultFileManager(entries);
    return std::make_shared<const DesktopEntryIndex>(std::move(entries), fileManager ? fileManager->id : QString());
}

DesktopEntryIndex::DesktopEntryIndex(QList<DesktopEntry> entries, const QString &fileManagerId)
    : m_entries(std::move(entries))
{
    for (qsizetype index = 0; index < m_entries.size(); ++index) {
        const DesktopEntry &entry = m_entries.at(index);
        m_byId.insert(entry.id, index);
        m_byPath.insert(entry.filePath, index);
        for (const QString &program : programsOf(entry)) {
            // Several entries may run one program (an office suite's parts):
            // the one named after the program keeps it.
            const auto taken = m_byProgram.constFind(program);
            const bool namedAfter = lastPart(entry.id).compare(QFileInfo(program).fileName(), Qt::CaseInsensitive) == 0;
            if (taken == m_byProgram.constEnd() || namedAfter)
                m_byProgram.insert(program, index);
        }
        if (!entry.startupWMClass.isEmpty())
            m_byStartupClass.insert(entry.startupWMClass.toLower(), index);
        m_byIdName.insert(entry.id.toLower(), index);
        if (!m_byIdName.contains(lastPart(entry.id).toLower()))
            m_byIdName.insert(lastPart(entry.id).toLower(), index);
    }
    m_fileManager = m_byId.value(fileManagerId, -1);
}

const DesktopEntry *DesktopEntryIndex::fileManager() const
{
    return m_fileManager < 0 ? nullptr : &m_entries.at(m_fileManager);
}

const DesktopEntry *DesktopEntryIndex::byId(const QString &id) const
{
    const auto it = m_byId.constFind(id);
    return it == m_byId.constEnd() ? nullptr : &m_entries.at(*it);
}

const DesktopEntry *DesktopEntryIndex::byPath(const QString &path) const
{
    const auto it = m_byPath.constFind(path);
    return it == m_byPath.constEnd() ? nullptr : &m_entries.at(*it);
}

const DesktopEntry *DesktopEntryIndex::byProgram(const QString &program) const
{
    const auto it = m_byProgram.constFind(program);
    return it == m_byProgram.constEnd() ? nullptr : &m_entries.at(*it);
}

const DesktopEntry *DesktopEntryIndex::byWindowClass(const QString &instance, const QString &windowClass) const
{
    for (const QHash<QString, qsizetype> *table : {&m_byStartupClass, &m_byIdName})
        for (const QString &name : {windowClass, instance}) {
            const auto it = table->constFind(name.toLower());
            if (!name.isEmpty() && it != table->constEnd())
                return &m_entries.at(*it);
        }
    return nullptr;
}

DesktopEntryCache &DesktopEntryCache::shared()
{
    // Never destroyed: a background pass may still run at exit.
    static DesktopEntryCache *cache = new DesktopEntryCache;
    return *cache;
}

DesktopEntryCache::DesktopEntryCache() : m_entries(std::make_shared<const DesktopEntryIndex>())
{
    // Each applications folder is watched itself, as GIO's own monitor does:
    // GIO's application monitor only runs once GIO has opened every entry.
    // The monitors are made on the main context, which the event loop runs,
    // whichever thread gets here first; they report there.
    g_idle_add(+[](gpointer cache) -> gboolean {
        for (const QString &folder : DesktopEntries::applicationDirectories()) {
            GFile *file = g_file_new_for_path(QFile::encodeName(folder).constData());
            GFileMonitor *monitor = g_file_monitor_directory(file, G_FILE_MONITOR_NONE, nullptr, nullptr);
            g_object_unref(file);
            if (monitor)
                g_signal_connect(monitor, "changed", G_CALLBACK(&DesktopEntryCache::folderChanged), cache);
        }
        return G_SOURCE_REMOVE;
    }, this);
}

void DesktopEntryCache::folderChanged(void *, void *, void *, int, void *cache)
{
    auto *self = static_cast<DesktopEntryCache *>(cache);
    self->m_stale = true;
    self->loadInBackground();
}

std::shared_ptr<const DesktopEntryIndex> DesktopEntryCache::entries()
{
    if (m_passes == 0)
        loadInBackground();
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

std::shared_ptr<const DesktopEntryIndex> DesktopEntryCache::load()
{
    QMutexLocker loading(&m_loading);
    if (m_passes > 0 && !m_stale) {
        QMutexLocker lock(&m_mutex);
        return m_entries;
    }
    m_stale = false; // a change from here on is read by the next pass
    std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryIndex::load();
    {
        QMutexLocker lock(&m_mutex);
        m_entries = entries;
    }
    ++m_passes;
    return entries;
}

void DesktopEntryCache::loadInBackground()
{
    if (m_backgroundLoad.exchange(true))
        return; // one pending at a time; it reads whatever changed before it starts
    QThreadPool::globalInstance()->start([this] {
        do {
            load();
            m_backgroundLoad = false;
        } while (m_stale && !m_backgroundLoad.exchange(true));
    });
}
