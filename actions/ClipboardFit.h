#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Clipboard contents made to fit one frame: the phone drops any frame whose
// body is longer than that, and with it everything the user copied.
namespace clipboardfit {

// The most PNG bytes one clipboardImagePayload can carry.
qsizetype maxPngBytes();

struct FittedImage {
    QByteArray png;
    QSize size; // smaller than the image's own when it had to be scaled down
};

// `image` as PNG, scaled down smoothly, its aspect ratio kept, until its
// clipboardImagePayload fits. `knownPngSize`, when not 0, is what a PNG of
// the whole image is known to take; a larger one is not encoded first.
std::optional<FittedImage> fitImage(const QImage &image, qsizetype knownPngSize = 0);

// `text` cut after its last whole character (as the user sees characters)
// whose clipboardPayload fits; none when the whole text fits.
std::optional<QString> cutToFit(const QString &text);

} // namespace clipboardfit
