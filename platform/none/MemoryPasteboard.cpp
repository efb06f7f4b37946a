#include "platform/none/MemoryPasteboard.h"

#include <QBuffer>
#include <QImageWriter>

void MemoryPasteboard::clearContents()
{
    m_image.reset();
    m_text.reset();
}

void MemoryPasteboard::writeImage(const QImage &image)
{
    clearContents();
    m_image = image;
}

void MemoryPasteboard::setString(const QString &text)
{
    clearContents();
    m_text = text;
}

std::optional<QByteArray> MemoryPasteboard::data(const QString &type)
{
    const char *format = type == typePNG ? "png" : type == typeTIFF ? "tiff" : nullptr;
    if (!m_image || !format)
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(*m_image))
        return std::nullopt; // no writer for this format here
    return bytes;
}

std::optional<QString> MemoryPasteboard::string()
{
    return m_text;
}
