#pragma once

class QQmlEngine;

// Prepares `engine` for the window's QML module "Tendril.Ui": its import
// path and the icon image provider.
void installTendrilUi(QQmlEngine &engine);
