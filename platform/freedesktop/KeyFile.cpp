#include "platform/freedesktop/KeyFile.h"

QStringList keyFileStringList(GKeyFile *file, const char *group, const char *key)
{
    QStringList values;
    gsize count = 0;
    gchar **list = g_key_file_get_string_list(file, group, key, &count, nullptr);
    for (gsize i = 0; i < count; ++i)
        values.append(QString::fromUtf8(list[i]).trimmed());
    g_strfreev(list);
    values.removeAll(QString());
    return values;
}
