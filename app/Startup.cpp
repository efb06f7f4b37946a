#include "app/Startup.h"

#include "app/AppLog.h"
#include "app/CommandLine.h"
#include "app/ConnectionNotices.h"
#include "app/DisplayCheck.h"
#include "app/GeneralSettings.h"
#include "app/SingleInstance.h"
#include "app/TendrilApp.h"
#include "app/TrayMenu.h"
#include "platform/UserDefaults.h"
#include "platform/freedesktop/NotificationSender.h"
#include "server/LogCategories.h"
#include "server/MacServerService.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTimer>

namespace {

const QString kDesktopId = QStringLiteral("com.larkspire.Tendril");

void nameTheProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tendril"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TENDRIL_VERSION));
    QGuiApplication::setDesktopFileName(kDesktopId);
}

void applyLaunchOptions(MacServerService &server, const LaunchOptions &options)
{
    server.setListeningPort(options.port);
    server.setListenAddress(options.listenAddress);
}

// What both ways share: the settings, and the notices about the phone.
struct Services {
    std::unique_ptr<UserDefaults> defaults = standardUserDefaults();
    GeneralSettings settings{*defaults,
                             AutostartEntry(kDesktopId, QCoreApplication::applicationFilePath())};
    NotificationSender sender{QDBusConnection::sessionBus()};
    ConnectionNotices notices;

    explicit Services(MacServerService &server)
        : notices(server, sender, [this] { return settings.notificationsEnabled(); })
    {
    }
};

} // namespace

int runWindowed(int &argc, char **argv, const LaunchOptions &options)
{
    QApplication app(argc, argv);
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
    applyLaunchOptions(tendril.server(), options);
    Services services(tendril.server());
    tendril.setWindowObject(QStringLiteral("generalSettings"), &services.settings);
    QObject::connect(instance, &SingleInstance::activationRequested, &tendril,
                     [&tendril](const QString &token) {
                         qCInfo(lcApp) << "Another start asked for the window";
                         tendril.activateWindow(token);
                     });

    TrayMenu tray(tendril.server());
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
    QGuiApplication app(argc, argv);
    nameTheProgram();

    TendrilApp tendril;
    MacServerService &server = tendril.server();
    applyLaunchOptions(server, options);
    Services services(server);

    // The PIN is said once a listener is up with it; the PINs drawn while
    // the port is taken are never usable.
    QString saidPin;
    QObject::connect(&server, &MacServerService::serverStateChanged, &server, [&server, &saidPin] {
        if (server.serverState() == ServerState::advertising && server.pin() != saidPin) {
            saidPin = server.pin();
            qCInfo(lcServer).noquote() << QStringLiteral("PIN %1").arg(saidPin);
        }
        // No window to show again: a listener that failed is replaced after
        // the retry delay.
        if (server.serverState() == ServerState::stopped)
            QTimer::singleShot(MacServerService::listenerRetryMs, &server, [&server] {
                if (server.serverState() == ServerState::stopped)
                    server.startListening();
            });
    });
    server.startListening();
    return app.exec();
}
