#pragma once

#include <QString>

// Whether a window could be shown: the Qt platform asked for in
// QT_QPA_PLATFORM, else a Wayland compositor or an X server that answers.
// Checked before the application object exists, since Qt aborts the
// program when its platform plugin finds no display.
bool displayAvailable();

// The one line said when there is none.
QString noDisplayMessage(const QString &program);
