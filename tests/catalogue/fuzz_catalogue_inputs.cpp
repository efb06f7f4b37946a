// The catalogue's untrusted inputs: Info.plist bytes from any bundle on disk
// and the stored selection from the user defaults.
#include "catalogue/AppSelection.h"
#include "platform/bundles/BundleReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVariantMap info = parseInfoPlist(bytes);
    (void)info.value(QStringLiteral("CFBundleIdentifier")).toString();
    if (const auto selections = decodeAppSelections(bytes)) {
        // What decodes must encode and decode back to the same records.
        if (decodeAppSelections(encodeAppSelections(*selections)) != selections)
            __builtin_trap();
    }
    return 0;
}
