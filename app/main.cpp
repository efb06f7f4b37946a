#include "app/TendrilApp.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Tendril"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tendril"));

    TendrilApp tendril;
    if (!tendril.showWindow())
        return 1;
    return app.exec();
}
