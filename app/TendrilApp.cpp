#include "app/TendrilApp.h"

#include "app/SceneGraphBackend.h"

#include "catalogue/MacAppStore.h"
#include "server/AppSettings.h"
#include "server/ConnectionGate.h"
#include "server/MacServerService.h"
#include "ui/TendrilUi.h"
#include "web/WebRemote.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

// The window's QML module is linked in statically.
Q_IMPORT_QML_PLUGIN(Tendril_UiPlugin)

namespace {

// The window is always drawn dark, whatever the desktop's scheme.
void useDarkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(20, 15, 10));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(30, 24, 18));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QColor(40, 32, 24));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(255, 166, 51));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    QGuiApplication::setPalette(palette);
}

} // namespace

TendrilApp::TendrilApp(QObject *parent)
    : QObject(parent)
    , m_settings(std::make_unique<AppSettings>())
    , m_appStore(std::make_unique<MacAppStore>())
    , m_server(std::make_unique<MacServerService>(*m_appStore))
    , m_webRemote(std::make_unique<WebRemote>())
{
    m_server->setSettings(m_settings.get());
    // A web remote's link is a phone's connection: the same gate, the same server.
    connect(m_webRemote.get(), &WebRemote::newConnection, m_server->approvals(),
            &ConnectionGate::admit);
}

void TendrilApp::followWebRemoteSetting()
{
    if (std::exchange(m_followingWebRemote, true))
        return;
    const auto apply = [this] {
        if (m_settings->webRemote())
            m_webRemote->start();
        else
            m_webRemote->stop();
    };
    connect(m_settings.get(), &AppSettings::webRemoteChanged, this, apply);
    apply();
}

// The window goes first: its views still hold the server and the store.
TendrilApp::~TendrilApp()
{
    delete m_window;
    m_engine.reset();
}

QQuickWindow *TendrilApp::showWindow()
{
    if (!m_window) {
        useDarkPalette();
        chooseSceneGraphBackend();
        m_engine = std::make_unique<QQmlApplicationEngine>();
        installTendrilUi(*m_engine);
        m_engine->setInitialProperties({
            {QStringLiteral("appStore"), QVariant::fromValue(m_appStore.get())},
            {QStringLiteral("server"), QVariant::fromValue(m_server.get())},
            {QStringLiteral("settings"), QVariant::fromValue(m_settings.get())},
            {QStringLiteral("webRemote"), QVariant::fromValue(m_webRemote.get())},
        });
        m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Tendril/Ui/MainWindow.qml")));
        const QList<QObject *> roots = m_engine->rootObjects();
        m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
        if (!m_window)
            return nullptr;
        connect(m_window, &QWindow::visibleChanged, this, [this](bool visible) {
            if (visible)
                onAppear();
        });
    }
    m_window->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        m_window->raise(); // nothing to raise off-screen
    return m_window;
}

void TendrilApp::activateWindow(const QString &activationToken)
{
    if (!activationToken.isEmpty()) {
        // Read by the platform plugin when it asks the compositor for focus.
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
        qputenv("DESKTOP_STARTUP_ID", activationToken.toUtf8());
    }
    if (QQuickWindow *window = showWindow())
        window->requestActivate();
}

void TendrilApp::onAppear()
{
    if (m_server->serverState() == ServerState::stopped)
        m_server->startListening();
    QTimer::singleShot(0, this, &TendrilApp::followWebRemoteSetting);
    emit windowAppeared();
}
