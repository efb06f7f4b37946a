#include "app/Startup.h"

#include "app/AppLog.h"
#include "app/CommandLine.h"
#include "app/ConnectionNotices.h"
#include "app/DisplayStartup.h"
#include "app/DisplayCheck.h"
#include "app/SingleInstance.h"
#include "app/TendrilApp.h"
#include "app/TrayMenu.h"
#include "platform/Platform.h"
#include "platform/freedesktop/AutostartEntry.h"
#include "server/AppSettings.h"
#include "log/LogCategories.h"
#include "server/MacServerService.h"
#include "web/WebRemote.h"

#include <QApplication>

namespace {

const QString kDesktopId = QStringLiteral("com.larkspire.Tendril");

void nameTheProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tendril"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TENDRIL_VERSION));
    QGuiApplication::setDesktopFileName(kDesktopId);
}

void applyLaunchOptions(TendrilApp &tendril, const LaunchOptions &options)
{
    tendril.server().setListeningPort(options.port);
    tendril.server().setListenAddress(options.listenAddress);
    tendril.settings().setRequireApprovalForRun(options.requireApproval);
    tendril.settings().setWebRemoteOffForRun(!options.webRemote);
    tendril.webRemote().setPort(options.webPort);
    tendril.webRemote().setListenAddress(options.listenAddress);
    tendril.settings().setAutostart(std::make_shared<AutostartEntry>(kDesktopId, QCoreApplication::applicationFilePath()));
}

// Notices about the phone, as the settings allow.
std::unique_ptr<ConnectionNotices> noticesFor(TendrilApp &tendril)
{
    DesktopNotifications *notifications = systemPlatform().notifications;
    if (!notifications)
        return nullptr;
    AppSettings &settings = tendril.settings();
    return std::make_unique<ConnectionNotices>(tendril.server(), *notifications,
                                               [&settings] { return settings.notificationsEnabled(); });
}

} // namespace

int runWindowed(int &argc, char **argv, const LaunchOptions &options)
{
    DisplayStartup display;
    QApplication app(argc, argv);
    display.restoreEnvironment();
    nameTheProgram();

    SingleInstance *instance = SingleInstance::forCurrentUser(&app);
    QString error;
    switch (instance->claim(&error)) {
    case SingleInstance::Claim::handedOver:
        qCInfo(lcApp) << "Tendril is already running; its window was brought forward.";
        return 0;
    case SingleInstance::Claim::failed:
        // Running twice is better than not running at all.
        qCWarning(lcApp).noquote() << error;
        break;
    case SingleInstance::Claim::owned:
        break;
    }

    TendrilApp tendril;
    applyLaunchOptions(tendril, options);
    const std::unique_ptr<ConnectionNotices> notices = noticesFor(tendril);
    QObject::connect(instance, &SingleInstance::activationRequested, &tendril,
                     [&tendril](const QString &token) {
                         qCInfo(lcApp) << "Another start asked for the window";
                         tendril.activateWindow(token);
                     });

    TrayMenu tray(tendril.server(), &tendril.webRemote());
    QObject::connect(&tray, &TrayMenu::showWindowRequested, &tendril, [&tendril] {
        tendril.activateWindow(QString());
    });
    QObject::connect(&tray, &TrayMenu::quitRequested, &app, &QCoreApplication::quit);
    // With a tray icon to come back through, closing the window only hides it.
    QGuiApplication::setQuitOnLastWindowClosed(!tray.showIcon());

    if (!tendril.showWindow())
        return 1;
    return app.exec();
}

int runHeadless(int &argc, char **argv, const LaunchOptions &options)
{
    // The clipboard and icon rendering want a GUI platform; without a
    // display, the off-screen one serves.
    if (!displayAvailable())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    DisplayStartup display;
    QGuiApplication app(argc, argv);
    display.restoreEnvironment();
    nameTheProgram();

    TendrilApp tendril;
    MacServerService &server = tendril.server();
    applyLaunchOptions(tendril, options);
    const std::unique_ptr<ConnectionNotices> notices = noticesFor(tendril);

    // The PIN is said once a listener is up with it (the PINs drawn while
    // the port is taken are never usable), and whenever it changes later.
    QString saidPin;
    const auto sayPin = [&server, &saidPin] {
        if (server.serverState() != ServerState::stopped && server.pin() != saidPin) {
            saidPin = server.pin();
            qCInfo(lcServer).noquote() << QStringLiteral("PIN %1").arg(saidPin);
        }
    };
    QObject::connect(&server, &MacServerService::pinChanged, &server, sayPin);
    QObject::connect(&server, &MacServerService::serverStateChanged, &server, sayPin);
    // No window to show again: a listener that failed is replaced by the
    // server's own retry, which is the only one, so one PIN per restart.
    server.startListening();
    tendril.followWebRemoteSetting();
    return app.exec();
}
