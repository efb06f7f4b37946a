#pragma once

#include <QObject>

class MacServerService;
class QAction;
class QMenu;
class QSystemTrayIcon;
class WebRemote;

// The status-notifier icon: its menu shows the PIN, whether a phone is
// connected and where the web remote is, and offers Show window and Quit. The menu exists without a
// tray too, so it can be looked at anywhere.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    explicit TrayMenu(MacServerService &server, WebRemote *webRemote = nullptr,
                      QObject *parent = nullptr);
    ~TrayMenu() override;

    QMenu *menu() const { return m_menu; }
    QAction *pinAction() const { return m_pin; }
    QAction *stateAction() const { return m_state; }
    QAction *webAction() const { return m_web; }
    QAction *showAction() const { return m_show; }
    QAction *quitAction() const { return m_quit; }

    // Shows the icon when the desktop has a tray; whether it has.
    bool showIcon();

signals:
    void showWindowRequested();
    void quitRequested();

private:
    void refresh();

    MacServerService &m_server;
    WebRemote *m_webRemote;
    QMenu *m_menu;
    QAction *m_pin;
    QAction *m_state;
    QAction *m_web;
    QAction *m_show;
    QAction *m_quit;
    QSystemTrayIcon *m_icon = nullptr;
};
