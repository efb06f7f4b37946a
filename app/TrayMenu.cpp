#include "app/TrayMenu.h"

#include "server/MacServerService.h"
#include "web/WebRemote.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

TrayMenu::TrayMenu(MacServerService &server, WebRemote *webRemote, QObject *parent)
    : QObject(parent), m_server(server), m_webRemote(webRemote), m_menu(new QMenu)
{
    m_pin = m_menu->addAction(QString());
    m_pin->setEnabled(false);
    m_state = m_menu->addAction(QString());
    m_state->setEnabled(false);
    m_web = m_menu->addAction(QString());
    m_web->setEnabled(false);
    m_menu->addSeparator();
    m_show = m_menu->addAction(QStringLiteral("Show Window"));
    m_quit = m_menu->addAction(QStringLiteral("Quit"));
    connect(m_show, &QAction::triggered, this, &TrayMenu::showWindowRequested);
    connect(m_quit, &QAction::triggered, this, &TrayMenu::quitRequested);

    connect(&m_server, &MacServerService::pinChanged, this, &TrayMenu::refresh);
    connect(&m_server, &MacServerService::serverStateChanged, this, &TrayMenu::refresh);
    connect(&m_server, &TDNetworkService::isConnectedChanged, this, &TrayMenu::refresh);
    if (m_webRemote)
        connect(m_webRemote, &WebRemote::urlsChanged, this, &TrayMenu::refresh);
    refresh();
}

TrayMenu::~TrayMenu()
{
    delete m_icon;
    delete m_menu;
}

bool TrayMenu::showIcon()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("com.larkspire.Tendril"),
                                                      QIcon(QStringLiteral(":/tendril/com.larkspire.Tendril-128.png"))));
        m_icon->setToolTip(QStringLiteral("Tendril"));
        m_icon->setContextMenu(m_menu);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger)
                        emit showWindowRequested();
                });
    }
    m_icon->show();
    return true;
}

void TrayMenu::refresh()
{
    const QString pin = m_server.pin();
    m_pin->setText(pin.isEmpty() ? QStringLiteral("PIN not drawn yet")
                                 : QStringLiteral("PIN %1").arg(pin));
    QString state;
    if (m_server.isConnected())
        state = m_server.serverState() == ServerState::paired ? QStringLiteral("iPhone paired")
                                                               : QStringLiteral("iPhone Connected");
    else if (!m_server.listenerProblem().isEmpty())
        state = m_server.listenerProblem();
    else
        state = QStringLiteral("Waiting for iPhone");
    m_state->setText(state);
    const QStringList urls = m_webRemote ? m_webRemote->urls() : QStringList();
    m_web->setVisible(!urls.isEmpty());
    m_web->setText(urls.isEmpty() ? QString() : QStringLiteral("Web remote: %1").arg(urls.first()));
    if (m_icon)
        m_icon->setToolTip(QStringLiteral("Tendril: %1").arg(state));
}
