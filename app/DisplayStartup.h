#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Choices that must be made before the QGuiApplication connects to the
// display, from what the Wayland display offers:
// - a display without a seat gets no input-method module: Qt 6.4's Wayland
//   text input assumes a seat and would crash on the first text field;
// - a display without data-control (GNOME), or without wl-clipboard to use
//   it, is left for XWayland when there is one, whose clipboard can be read
//   while the window is in the background.
// Both are made through Qt's environment variables, which are put back once
// the application exists so that launched programs get the user's own.
class DisplayStartup {
public:
    DisplayStartup();
    void restoreEnvironment();

private:
    struct Saved {
        const char *name;
        std::optional<QByteArray> value;
    };
    void set(const char *name, const QByteArray &value);

    QList<Saved> m_saved;
};
