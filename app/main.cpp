#include "app/TendrilApp.h"
#include "server/AppSettings.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Tendril"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tendril"));

    TendrilApp tendril;
    if (app.arguments().contains(QStringLiteral("--require-approval")))
        tendril.settings().setRequireApprovalForRun(true);
    if (!tendril.showWindow())
        return 1;
    return app.exec();
}
