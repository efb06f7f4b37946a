#pragma once

#include <glib.h>

#include <QStringList>

// A key's list of strings in a GLib key file (desktop entries, icon theme
// indexes, mimeapps.list), each trimmed, empty ones dropped.
QStringList keyFileStringList(GKeyFile *file, const char *group, const char *key);
