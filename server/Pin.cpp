#include "server/Pin.h"

#include <QRandomGenerator>

quint64 uniformBelow(quint64 bound, const std::function<quint64()> &randomWord)
{
    const quint64 threshold = (0 - bound) % bound; // 2^64 mod bound
    for (;;) {
        const unsigned __int128 product = (unsigned __int128)randomWord() * bound;
        if (quint64(product) >= threshold)
            return quint64(product >> 64);
    }
}

QString drawPin(const std::function<quint64()> &randomWord)
{
    const quint64 n = uniformBelow(10000, randomWord);
    return QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
}

QString drawPin()
{
    return drawPin([] { return QRandomGenerator::system()->generate64(); });
}
