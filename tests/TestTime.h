#pragma once

#include <QtTest>

// Every wait in the tests is scaled by TENDRIL_TEST_TIME_SCALE (the sanitized
// tree runs several times slower, and a loaded machine slower still). Waits
// only ever grow: a factor below 1 is ignored.
inline int scaledMs(int ms)
{
    static const double factor = [] {
        bool ok = false;
        const double f = qEnvironmentVariable("TENDRIL_TEST_TIME_SCALE").toDouble(&ok);
        return ok && f > 1 ? f : 1.0;
    }();
    return int(ms * factor);
}

// QTRY_* with the scaled default wait.
#define TRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, scaledMs(5000))
#define TRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, scaledMs(5000))
#define TRY_VERIFY_WITHIN(expr, ms) QTRY_VERIFY_WITH_TIMEOUT(expr, scaledMs(ms))
#define TRY_COMPARE_WITHIN(expr, expected, ms) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, scaledMs(ms))
