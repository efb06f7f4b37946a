#include "platform/gnome/GnomeShellWindowControl.h"

#include "platform/freedesktop/DBusCall.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QLoggingCategory>

#include <tuple>

const QString GnomeShellWindowControl::extensionUuid = QStringLiteral("window-control@tendril.larkspire.com");

namespace {

const DBusCall::Target extension{QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/tendril/WindowControl"),
                                 QStringLiteral("org.tendril.WindowControl")};
// The shell's own extension manager (org.gnome.Shell.Extensions as a name is
// the preferences application, which cannot enable anything).
const DBusCall::Target extensions{QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                  QStringLiteral("org.gnome.Shell.Extensions")};
constexpr double extensionEnabled = 1; // the shell's ExtensionState.ENABLED

const QString afterLogin = QStringLiteral(
    "Wayland lets no program hide or minimise the windows of another application; GNOME Shell's window control "
    "starts after the next login");

} // namespace

GnomeShellWindowControl::GnomeShellWindowControl()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(extension.service, extension.path, extension.interface, QStringLiteral("FocusChanged"), this,
                SLOT(reportChanged(QString)));
    WindowReport report;
    if (refresh(&report)) {
        // Installed but off: turn it on. A running shell does not see an
        // extension installed after it started; that one loads at the next login.
        QVariantList info;
        const bool known = !DBusCall::call(bus, extensions, QStringLiteral("GetExtensionInfo"), {extensionUuid}, &info);
        const double state = known ? qdbus_cast<QVariantMap>(info.value(0)).value(QStringLiteral("state")).toDouble() : 0;
        // The second look below tells whether it worked.
        if (known && state != extensionEnabled)
            std::ignore = DBusCall::call(bus, extensions, QStringLiteral("EnableExtension"), {extensionUuid});
        if (refresh(&report)) {
            qCInfo(windowControlLog).noquote() << afterLogin;
            return;
        }
    }
    QMutexLocker lock(&m_mutex);
    m_report = report;
}

ActionResult GnomeShellWindowControl::refresh(WindowReport *report)
{
    QVariantList reply;
    if (ActionResult error = DBusCall::call(QDBusConnection::sessionBus(), extension, QStringLiteral("Windows"),
                                                      {}, &reply, 2000))
        return error;
    std::optional<WindowReport> parsed = parseWindowReport(reply.value(0).toString().toUtf8());
    if (!parsed)
        return QStringLiteral("GNOME Shell's window control gave no window list");
    *report = std::move(*parsed);
    QMutexLocker lock(&m_mutex);
    m_loaded = true;
    return std::nullopt;
}

void GnomeShellWindowControl::reportChanged(const QString &report)
{
    std::optional<WindowReport> parsed = parseWindowReport(report.toUtf8());
    if (!parsed)
        return;
    bool focusMoved;
    const qint64 reportTime = parsed->timeMs;
    {
        QMutexLocker lock(&m_mutex);
        focusMoved = parsed->focused() != m_report.focused();
        m_report = std::move(*parsed);
        m_loaded = true;
    }
    if (focusMoved) {
        m_focusReportTimeMs = reportTime;
        emit focusChanged();
    }
}

ActionResult GnomeShellWindowControl::pending()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_loaded)
            return std::nullopt;
    }
    // Perhaps loaded since: one short call tells.
    WindowReport report;
    if (refresh(&report))
        return afterLogin;
    QMutexLocker lock(&m_mutex);
    m_report = report;
    return std::nullopt;
}

ActionResult GnomeShellWindowControl::unavailable()
{
    return pending();
}

std::optional<QString> GnomeShellWindowControl::notice()
{
    if (pending())
        return QStringLiteral("Window control starts after the next login");
    return std::nullopt;
}

std::optional<FocusedApplication> GnomeShellWindowControl::focused()
{
    QMutexLocker lock(&m_mutex);
    return m_report.focused();
}

QList<DesktopWindow> GnomeShellWindowControl::windows()
{
    WindowReport report;
    if (refresh(&report))
        return {};
    return report.windows;
}

ActionResult GnomeShellWindowControl::call(const QString &method, const QVariantList &arguments)
{
    if (ActionResult reason = pending())
        return reason;
    if (ActionResult error = DBusCall::call(QDBusConnection::sessionBus(), extension, method, arguments))
        return QStringLiteral("GNOME Shell's window control: %1").arg(*error);
    return std::nullopt;
}

ActionResult GnomeShellWindowControl::activate(const QString &window)
{
    return call(QStringLiteral("Activate"), {window});
}

ActionResult GnomeShellWindowControl::restore(const QStringList &windows)
{
    return call(QStringLiteral("Restore"), {windows});
}

ActionResult GnomeShellWindowControl::minimize(const QStringList &windows)
{
    return call(QStringLiteral("Minimize"), {windows});
}

ActionResult GnomeShellWindowControl::close(const QStringList &windows)
{
    return call(QStringLiteral("Close"), {windows});
}

ActionResult GnomeShellWindowControl::toggleShowingDesktop()
{
    if (ActionResult error = call(QStringLiteral("ToggleShowingDesktop"), {}))
        return QStringLiteral("Cannot show the desktop: %1").arg(*error);
    return std::nullopt;
}

ActionResult GnomeShellWindowControl::toggleOverview()
{
    if (ActionResult error = call(QStringLiteral("ToggleOverview"), {}))
        return QStringLiteral("Mission Control has no counterpart on this desktop: %1").arg(*error);
    return std::nullopt;
}
