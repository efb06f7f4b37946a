#include "platform/x11/X11WindowControl.h"

#include "platform/freedesktop/DesktopShell.h"
#include "platform/x11/X11Desktop.h"

#include <QDateTime>

namespace {
const QString noDisplay = QStringLiteral("no X display");

// Each id as an X window, skipping any that is not one.
template<typename Request>
ActionResult forEach(X11Desktop *desktop, const QStringList &windows, Request request)
{
    if (!desktop)
        return noDisplay;
    for (const QString &id : windows) {
        bool ok = false;
        const X11Desktop::Window window = id.toUInt(&ok);
        if (ok)
            request(*desktop, window);
    }
    return std::nullopt;
}
} // namespace

X11WindowControl::X11WindowControl() : m_watch(std::make_unique<X11Desktop>())
{
    const int descriptor = m_watch->watchActiveWindow();
    if (descriptor < 0) {
        m_watch.reset();
        return;
    }
    m_focusedPid = m_watch->activeWindowProcess();
    auto *notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &X11WindowControl::readFocus);
}

void X11WindowControl::readFocus()
{
    if (!m_watch->isOpen() || !m_watch->activeWindowChanged())
        return;
    const std::optional<qint64> pid = m_watch->activeWindowProcess();
    {
        QMutexLocker lock(&m_mutex);
        if (pid == m_focusedPid)
            return;
        m_focusedPid = pid;
    }
    m_focusReportTimeMs = QDateTime::currentMSecsSinceEpoch();
    emit focusChanged();
}
X11WindowControl::~X11WindowControl() = default;

X11Desktop *X11WindowControl::desktop()
{
    if (!m_desktop || !m_desktop->isOpen())
        m_desktop = std::make_unique<X11Desktop>();
    return m_desktop->isOpen() ? m_desktop.get() : nullptr;
}

ActionResult X11WindowControl::unavailable()
{
    QMutexLocker lock(&m_mutex);
    return desktop() ? ActionResult() : ActionResult(noDisplay);
}

std::optional<FocusedApplication> X11WindowControl::focused()
{
    QMutexLocker lock(&m_mutex);
    std::optional<qint64> pid = m_focusedPid;
    if (!m_watch || !m_watch->isOpen()) {
        X11Desktop *x = desktop();
        pid = x ? x->activeWindowProcess() : std::nullopt;
    }
    if (!pid)
        return std::nullopt;
    return FocusedApplication{{}, *pid};
}

QList<DesktopWindow> X11WindowControl::windows()
{
    QMutexLocker lock(&m_mutex);
    QList<DesktopWindow> result;
    if (X11Desktop *x = desktop())
        for (const X11Desktop::Client &client : x->clients())
            result.append({QString::number(client.window), client.pid, {}, client.instance, client.windowClass,
                           client.normal, false});
    return result;
}

ActionResult X11WindowControl::activate(const QString &window)
{
    QMutexLocker lock(&m_mutex);
    // As a pager: the request carries the user's intent.
    return forEach(desktop(), {window}, [](X11Desktop &x, X11Desktop::Window w) { x.activate(w, X11Desktop::Source::pager); });
}

ActionResult X11WindowControl::restore(const QStringList &windows)
{
    QMutexLocker lock(&m_mutex);
    return forEach(desktop(), windows, [](X11Desktop &x, X11Desktop::Window w) { x.restore(w); });
}

ActionResult X11WindowControl::minimize(const QStringList &windows)
{
    QMutexLocker lock(&m_mutex);
    return forEach(desktop(), windows, [](X11Desktop &x, X11Desktop::Window w) { x.minimize(w); });
}

ActionResult X11WindowControl::close(const QStringList &windows)
{
    QMutexLocker lock(&m_mutex);
    return forEach(desktop(), windows, [](X11Desktop &x, X11Desktop::Window w) { x.close(w); });
}

ActionResult X11WindowControl::toggleShowingDesktop()
{
    // KWin first: its own shortcut also works where the hint is missing.
    const ActionResult kwin = invokeKWinShortcut(QStringLiteral("Show Desktop"));
    if (!kwin)
        return std::nullopt;
    QMutexLocker lock(&m_mutex);
    X11Desktop *x = desktop();
    if (!x)
        return QStringLiteral("Cannot show the desktop: no X display; KWin: %1").arg(*kwin);
    if (!x->supports("_NET_SHOWING_DESKTOP"))
        return QStringLiteral("Cannot show the desktop: the window manager does not offer it; KWin: %1").arg(*kwin);
    x->toggleShowingDesktop();
    return std::nullopt;
}

ActionResult X11WindowControl::toggleOverview()
{
    return toggleShellOverview();
}
