#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include <optional>

// PNG files as the clipboard hands them out and as the phone receives them.
namespace png {

// A lossless PNG of `image` at its own size, made for speed rather than for
// the smallest file. None when the image is null or cannot be written.
std::optional<QByteArray> encode(const QImage &image);

// The pixel size a complete PNG file declares: the signature, then chunks
// whose checksums hold, IHDR first, image data, and IEND last. None for
// anything else, a file cut short included. The pixels are not decoded.
std::optional<QSize> wellFormedSize(QByteArrayView bytes);

} // namespace png
