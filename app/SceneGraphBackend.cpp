#include "app/SceneGraphBackend.h"

#include <QDir>
#include <QGuiApplication>
#include <QQuickWindow>

namespace {

// Without a render node there is no GPU driver, and OpenGL would fall back
// to a CPU rasterizer. Probing a GL context instead would load that
// rasterizer and keep tens of megabytes resident.
bool hasGpuRenderNode()
{
    return !QDir(QStringLiteral("/dev/dri"))
                .entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files)
                .isEmpty();
}

} // namespace

void chooseSceneGraphBackend()
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND")
        || QQuickWindow::sceneGraphBackend() == QLatin1String("software"))
        return;
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || !hasGpuRenderNode())
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
