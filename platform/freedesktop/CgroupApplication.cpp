#include "platform/freedesktop/CgroupApplication.h"

#include <QList>

#include <cctype>

namespace {

QByteArray unescape(QByteArrayView part)
{
    QByteArray result;
    result.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part[i] == '\\' && i + 3 < part.size() && part[i + 1] == 'x') {
            bool ok = false;
            const int value = part.sliced(i + 2, 2).toByteArray().toInt(&ok, 16);
            if (ok) {
                result.append(char(value));
                i += 3;
                continue;
            }
        }
        result.append(part[i]);
    }
    return result;
}

bool isUuid(QByteArrayView text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = text[i];
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// snap.NAME.APP-RANDOM.scope gives NAME_APP.
std::optional<QString> snapDesktopId(QByteArrayView unit)
{
    QByteArrayView rest = unit.sliced(5).chopped(6); // "snap." ... ".scope"
    const qsizetype dot = rest.indexOf('.');
    if (dot <= 0)
        return std::nullopt;
    QByteArrayView app = rest.sliced(dot + 1);
    if (app.size() > 37 && app[app.size() - 37] == '-' && isUuid(app.last(36)))
        app.chop(37);
    else if (const qsizetype dash = app.lastIndexOf('-'); dash > 0)
        app.truncate(dash);
    else
        return std::nullopt;
    return QString::fromUtf8(rest.first(dot)) + u'_' + QString::fromUtf8(app);
}

} // namespace

std::optional<QString> desktopIdOfUnit(QByteArrayView unit)
{
    if (unit.startsWith("snap.") && unit.endsWith(".scope"))
        return snapDesktopId(unit);
    if (!unit.startsWith("app-"))
        return std::nullopt;

    // Escaped parts between dashes: [LAUNCHER-]APPID, then -RANDOM for a scope
    // or @RANDOM for a service.
    QByteArrayView name = unit.sliced(4);
    bool scope = false;
    if (name.endsWith(".scope")) {
        name.chop(6);
        scope = true;
    } else if (name.endsWith(".service")) {
        name.chop(8);
        if (const qsizetype at = name.indexOf('@'); at >= 0)
            name.truncate(at);
    } else if (name.endsWith(".slice")) {
        name.chop(6);
    } else {
        return std::nullopt;
    }
    const QList<QByteArray> parts = name.toByteArray().split('-');
    const qsizetype idParts = parts.size() - (scope ? 1 : 0);
    if (idParts < 1 || idParts > 2 || parts.at(idParts - 1).isEmpty())
        return std::nullopt; // not the convention's shape
    return QString::fromUtf8(unescape(parts.at(idParts - 1)));
}

std::optional<CgroupApplication> applicationOfCgroup(QByteArrayView cgroupFile)
{
    QByteArrayView path;
    for (qsizetype start = 0; start < cgroupFile.size();) {
        qsizetype end = cgroupFile.indexOf('\n', start);
        if (end < 0)
            end = cgroupFile.size();
        const QByteArrayView line = cgroupFile.sliced(start, end - start);
        start = end + 1;
        if (line.startsWith("0::")) {
            path = line.sliced(3);
            break;
        }
        if (const qsizetype at = line.indexOf(":name=systemd:"); at >= 0)
            path = line.sliced(at + 14);
    }
    // The innermost naming unit wins: a scope inside an application's slice.
    for (qsizetype end = path.size(); end > 0;) {
        const qsizetype slash = path.first(end).lastIndexOf('/');
        if (std::optional<QString> id = desktopIdOfUnit(path.sliced(slash + 1, end - slash - 1)))
            return CgroupApplication{*id, path.first(end).toByteArray()};
        end = slash;
    }
    return std::nullopt;
}

QByteArray systemdEscape(const QString &text)
{
    QByteArray escaped;
    const QByteArray bytes = text.toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const bool plain = std::isalnum(c) || c == ':' || c == '_' || (c == '.' && i > 0);
        if (plain)
            escaped.append(char(c));
        else
            escaped.append("\\x" + QByteArray::number(c, 16).rightJustified(2, '0'));
    }
    return escaped;
}
