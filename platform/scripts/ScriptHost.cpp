#include "platform/scripts/ScriptHost.h"

namespace Scripts {
namespace {

const QString volumePrefix = QStringLiteral("set volume output volume ");

const QString minimizeHead = QStringLiteral("tell application \"System Events\"\n"
                                            "    tell process \"");
const QString minimizeTail = QStringLiteral("\"\n"
                                            "        set winList to every window\n"
                                            "        repeat with w in winList\n"
                                            "            try\n"
                                            "                set value of attribute \"AXMinimized\" of w to true\n"
                                            "            end try\n"
                                            "        end repeat\n"
                                            "    end tell\n"
                                            "end tell");

} // namespace

QString outputVolume(int level)
{
    return volumePrefix + QString::number(level);
}

QString minimizeWindows(const QString &processName)
{
    QString escaped;
    escaped.reserve(processName.size());
    for (QChar c : processName) {
        if (c == u'"' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return minimizeHead + escaped + minimizeTail;
}

} // namespace Scripts

ActionResult ScriptedDesktopActions::lockScreen() { return m_host.run(Scripts::lockScreen); }
ActionResult ScriptedDesktopActions::emptyTrash() { return m_host.run(Scripts::emptyTrash); }
ActionResult ScriptedDesktopActions::toggleDarkMode() { return m_host.run(Scripts::toggleDarkMode); }
ActionResult ScriptedDesktopActions::showDesktop() { return m_host.run(Scripts::showDesktop); }
ActionResult ScriptedDesktopActions::overview() { return m_host.run(Scripts::missionControl); }

ActionResult ScriptedDesktopActions::setOutputVolume(int level)
{
    return m_host.run(Scripts::outputVolume(level));
}

ActionResult ScriptedDesktopActions::minimize(const RunningApplication &app)
{
    return m_host.run(Scripts::minimizeWindows(app.localizedName.value_or(app.bundleIdentifier.value_or(QString()))));
}
