#pragma once

#include "platform/ActionResult.h"
#include "platform/ScreenCapture.h"

// The screenshot portal (org.freedesktop.portal.Screenshot, not interactive),
// which works on X11 and Wayland alike; its file is moved to the asked-for
// path. Where no portal answers the call, scrot on an X11 session.
class PortalScreenCapture : public ScreenCapture {
public:
    // How long the portal may take to answer after it took the request.
    explicit PortalScreenCapture(int responseTimeoutMs = 10000);
    ActionResult capture(const QString &path) override;

private:
    int m_responseTimeoutMs;
};
