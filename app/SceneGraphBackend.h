#pragma once

// Picks Qt Quick's software renderer where OpenGL would only be emulated on
// the CPU (an X server without a GPU, such as Xvfb, or off-screen): it draws
// sooner and with far less memory there. An explicit QT_QUICK_BACKEND or
// QSG_RHI_BACKEND is left alone. Call before the first window is made.
void chooseSceneGraphBackend();
