// GLib's headers name struct members "signals": they come before any Qt header.
#include <glib.h>

#include "platform/freedesktop/IconTheme.h"
#include "platform/freedesktop/KeyFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

namespace {

const QString hicolor = QStringLiteral("hicolor");
const QStringList extensions{QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("xpm")};
// Icons are small; a larger file is not worth decoding for a 128-pixel square.
constexpr qint64 maxIconBytes = 8 * 1024 * 1024;

// A name that can only mean a file inside a theme's folders.
bool isIconName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1String(".."))
        && !name.contains(QChar(0));
}

bool isUsableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable() && info.size() <= maxIconBytes;
}

} // namespace

// One size folder of a theme, as its index.theme describes it.
struct ThemeDirectory {
    enum class Type { Fixed, Scalable, Threshold };
    Type type = Type::Threshold;
    int size = 0, minSize = 0, maxSize = 0, threshold = 2, scale = 1;

    bool matches(int side) const
    {
        switch (type) {
        case Type::Fixed:
            return side == size * scale;
        case Type::Scalable:
            return minSize * scale <= side && side <= maxSize * scale;
        case Type::Threshold:
            return (size - threshold) * scale <= side && side <= (size + threshold) * scale;
        }
        return false;
    }

    int distance(int side) const
    {
        switch (type) {
        case Type::Fixed:
            return qAbs(size * scale - side);
        case Type::Scalable:
            return side < minSize * scale ? minSize * scale - side
                 : side > maxSize * scale ? side - maxSize * scale : 0;
        case Type::Threshold:
            return side < (size - threshold) * scale ? (size - threshold) * scale - side
                 : side > (size + threshold) * scale ? side - (size + threshold) * scale : 0;
        }
        return 0;
    }
};

struct IconTheme::Theme {
    struct Candidate {
        int directory; // index into directories
        QString path;
    };
    QStringList inherits;
    QList<ThemeDirectory> directories;
    QHash<QString, QList<Candidate>> icons; // by name, in folder order
};

namespace {

int integer(GKeyFile *file, const char *group, const char *key, int fallback)
{
    GError *error = nullptr;
    const int value = g_key_file_get_integer(file, group, key, &error);
    if (error) {
        g_error_free(error);
        return fallback;
    }
    return value;
}

ThemeDirectory readDirectory(GKeyFile *file, const QByteArray &group)
{
    ThemeDirectory dir;
    dir.size = integer(file, group, "Size", 0);
    dir.scale = qMax(1, integer(file, group, "Scale", 1));
    dir.minSize = integer(file, group, "MinSize", dir.size);
    dir.maxSize = integer(file, group, "MaxSize", dir.size);
    dir.threshold = integer(file, group, "Threshold", 2);
    gchar *type = g_key_file_get_string(file, group, "Type", nullptr);
    if (g_strcmp0(type, "Fixed") == 0)
        dir.type = ThemeDirectory::Type::Fixed;
    else if (g_strcmp0(type, "Scalable") == 0)
        dir.type = ThemeDirectory::Type::Scalable;
    g_free(type);
    return dir;
}

} // namespace

IconTheme::IconTheme(const QString &themeName, QStringList baseDirectories)
    : m_themeName(isIconName(themeName) ? themeName : hicolor), m_baseDirectories(std::move(baseDirectories))
{
}

IconTheme::~IconTheme()
{
    qDeleteAll(m_themes);
}

QStringList IconTheme::defaultBaseDirectories()
{
    QStringList dataDirectories{QFile::decodeName(g_get_user_data_dir())};
    for (const gchar *const *dir = g_get_system_data_dirs(); *dir; ++dir)
        dataDirectories.append(QFile::decodeName(*dir));
    QStringList bases{QDir::homePath() + QStringLiteral("/.icons")};
    for (const QString &dir : dataDirectories)
        bases.append(dir + QStringLiteral("/icons"));
    for (const QString &dir : dataDirectories)
        bases.append(dir + QStringLiteral("/pixmaps"));
    bases.removeDuplicates();
    return bases;
}

const IconTheme::Theme *IconTheme::theme(const QString &name)
{
    if (m_themes.contains(name))
        return m_themes.value(name);
    m_themes.insert(name, nullptr); // also stops an Inherits loop

    // The description is the first index.theme found; the folders it names
    // are looked for under every base folder.
    GKeyFile *index = g_key_file_new();
    g_key_file_set_list_separator(index, ','); // index.theme lists are comma-separated
    bool loaded = false;
    for (const QString &base : m_baseDirectories) {
        const QByteArray path = QFile::encodeName(base + QLatin1Char('/') + name + QStringLiteral("/index.theme"));
        if (g_key_file_load_from_file(index, path.constData(), G_KEY_FILE_NONE, nullptr)) {
            loaded = true;
            break;
        }
    }
    if (!loaded) {
        g_key_file_free(index);
        return nullptr;
    }

    auto *theme = new Theme;
    theme->inherits = keyFileStringList(index, "Icon Theme", "Inherits");
    const QStringList folders = keyFileStringList(index, "Icon Theme", "Directories")
        + keyFileStringList(index, "Icon Theme", "ScaledDirectories");
    QStringList names;
    for (const QString &folder : folders) {
        if (folder.contains(QLatin1String("..")) || names.contains(folder))
            continue;
        names.append(folder);
        theme->directories.append(readDirectory(index, folder.toUtf8()));
    }
    g_key_file_free(index);

    for (int d = 0; d < names.size(); ++d) {
        for (const QString &base : m_baseDirectories) {
            const QDir dir(base + QLatin1Char('/') + name + QLatin1Char('/') + names.at(d));
            // Regular files and links to them only: no FIFOs, devices or broken links.
            for (const QFileInfo &file : dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name)) {
                if (extensions.contains(file.suffix()))
                    theme->icons[file.completeBaseName()].append({d, file.filePath()});
            }
        }
    }
    m_themes.insert(name, theme);
    return theme;
}

QString IconTheme::lookupInChain(const QString &name, int side, const QString &themeName, QSet<QString> &visited)
{
    if (!isIconName(themeName) || visited.contains(themeName))
        return {};
    visited.insert(themeName);
    const Theme *found = theme(themeName);
    if (!found)
        return {};

    // A folder made for this size wins; else the nearest size. Ties go to
    // the first folder, as the theme lists them.
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const Theme::Candidate &candidate : found->icons.value(name)) {
        const ThemeDirectory &dir = found->directories.at(candidate.directory);
        const int distance = dir.matches(side) ? -1 : dir.distance(side);
        if (distance < bestDistance && isUsableFile(candidate.path)) {
            best = candidate.path;
            bestDistance = distance;
        }
    }
    if (!best.isEmpty())
        return best;
    for (const QString &parent : found->inherits) {
        const QString path = lookupInChain(name, side, parent, visited);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

QString IconTheme::lookupFallback(const QString &name) const
{
    for (const QString &base : m_baseDirectories) {
        for (const QString &extension : extensions) {
            const QString path = base + QLatin1Char('/') + name + QLatin1Char('.') + extension;
            if (isUsableFile(path))
                return path;
        }
    }
    return {};
}

QString IconTheme::locate(const QString &iconKey, int side)
{
    if (iconKey.startsWith(QLatin1Char('/')))
        return isUsableFile(iconKey) ? iconKey : QString();
    QString name = iconKey;
    // Older entries name the file: "foo.png" means the icon "foo".
    for (const QString &extension : extensions) {
        if (name.endsWith(QLatin1Char('.') + extension)) {
            name.chop(extension.size() + 1);
            break;
        }
    }
    if (!isIconName(name))
        return {};
    QSet<QString> visited;
    QString path = lookupInChain(name, side, m_themeName, visited);
    if (path.isEmpty())
        path = lookupInChain(name, side, hicolor, visited);
    if (path.isEmpty())
        path = lookupFallback(name);
    return path;
}
