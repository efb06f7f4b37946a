#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Locks the screen of the session this program runs in: logind's
// Session.Lock on the system bus, else the desktop's ScreenSaver.Lock on the
// session bus, else xdg-screensaver. Every attempt's error when all fail.
ActionResult lockSession();
