#include "app/DisplayStartup.h"
#include "app/TendrilApp.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    DisplayStartup display;
    QGuiApplication app(argc, argv);
    display.restoreEnvironment();
    QGuiApplication::setApplicationName(QStringLiteral("Tendril"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tendril"));

    TendrilApp tendril;
    if (!tendril.showWindow())
        return 1;
    return app.exec();
}
