#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class AppSettings;
class MacAppStore;
class MacServerService;
class QQmlApplicationEngine;
class WebRemote;
#include <QQuickWindow>

// The program: the one store, the one server made with it, and the window
// they are handed to. Each time the window is shown while the server is
// stopped, the server starts listening. Closing the window stops nothing.
class TendrilApp : public QObject {
    Q_OBJECT
public:
    explicit TendrilApp(QObject *parent = nullptr);
    ~TendrilApp() override;

    AppSettings &settings() const { return *m_settings; }
    MacAppStore &appStore() const { return *m_appStore; }
    MacServerService &server() const { return *m_server; }
    WebRemote &webRemote() const { return *m_webRemote; }

    // Serves the web remote while the setting says so, from now on. The
    // window does so once it has appeared: the web server's start loads the
    // TLS libraries, which the first frame need not wait for.
    void followWebRemoteSetting();

    // Creates the window on first use; later calls show the same window.
    QQuickWindow *showWindow();
    // Shows and raises the window at another start's request; the token
    // (Wayland activation or X11 startup id) lets it take the focus.
    void activateWindow(const QString &activationToken);
    QQuickWindow *window() const { return m_window; }

signals:
    // The window became visible and the on-appear action has run.
    void windowAppeared();

private:
    void onAppear();

    std::unique_ptr<AppSettings> m_settings; // first made, last gone: the server refers to it
    std::unique_ptr<MacAppStore> m_appStore;
    std::unique_ptr<MacServerService> m_server;
    std::unique_ptr<WebRemote> m_webRemote;
    bool m_followingWebRemote = false;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QPointer<QQuickWindow> m_window;
};
