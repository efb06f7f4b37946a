#pragma once

#include <QString>

#include <functional>

// An integer in [0, bound) from 64-bit random words, every value equally
// likely: the high half of word × bound, redrawn when the low half falls in
// the biased zone below 2^64 mod bound.
quint64 uniformBelow(quint64 bound, const std::function<quint64()> &randomWord);

// A pairing PIN: "%04d" of a uniform draw below 10000 from the system's
// random source.
QString drawPin();
QString drawPin(const std::function<quint64()> &randomWord);
