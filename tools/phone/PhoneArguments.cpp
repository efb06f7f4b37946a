#include "tools/phone/PhoneArguments.h"

#include <QFile>

namespace {

const QString kImageMarker = QStringLiteral("[IMAGE]");

class Resolver {
public:
    Resolver(QIODevice &standardInput, QString *error) : m_input(standardInput), m_error(error) {}

    // The bytes a source names ("-" or "@PATH"), or none with the error set.
    std::optional<QByteArray> read(const QString &source)
    {
        if (source == QLatin1String("-")) {
            if (m_inputUsed) {
                *m_error = QStringLiteral("standard input (-) can be used once");
                return std::nullopt;
            }
            m_inputUsed = true;
            return m_input.readAll();
        }
        QFile file(source.mid(1));
        if (!file.open(QIODevice::ReadOnly)) {
            *m_error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
            return std::nullopt;
        }
        return file.readAll();
    }

private:
    QIODevice &m_input;
    QString *m_error;
    bool m_inputUsed = false;
};

bool namesSource(const QString &word)
{
    return word == QLatin1String("-") || (word.startsWith(u'@') && !word.startsWith(QLatin1String("@@")));
}

} // namespace

std::optional<QStringList> resolvePhoneArguments(const QStringList &words, QIODevice &standardInput,
                                                 QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    if (words.isEmpty())
        return words;
    const QString command = words.first();
    const bool image = command == QLatin1String("clipboardImagePayload");
    const bool clipboardText = command == QLatin1String("clipboardPayload");
    Resolver resolver(standardInput, error);
    QStringList resolved{command};
    for (const QString &word : words.mid(1)) {
        if (clipboardText && word.startsWith(kImageMarker) && namesSource(word.mid(kImageMarker.size()))) {
            const std::optional<QByteArray> bytes = resolver.read(word.mid(kImageMarker.size()));
            if (!bytes)
                return std::nullopt;
            resolved.append(kImageMarker + QString::fromLatin1(bytes->toBase64()));
        } else if (namesSource(word)) {
            std::optional<QByteArray> bytes = resolver.read(word);
            if (!bytes)
                return std::nullopt;
            if (image) {
                resolved.append(QString::fromLatin1(bytes->toBase64()));
                continue;
            }
            if (!clipboardText && bytes->endsWith('\n'))
                bytes->chop(1);
            resolved.append(QString::fromUtf8(*bytes));
        } else {
            resolved.append(word.startsWith(QLatin1String("@@")) ? word.mid(1) : word);
        }
    }
    return resolved;
}
