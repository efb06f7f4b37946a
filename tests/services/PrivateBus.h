#pragma once

#include <QtTest>

// The test's own session bus (tests/support/isolate.sh), standing in for the system bus
// too, so that nothing reaches a real desktop's services.
#define PRIVATE_BUS_TEST_MAIN(Application, Test)                                                   \
    int main(int argc, char **argv)                                                                 \
    {                                                                                               \
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))                                \
            qFatal("no private session bus: run through tests/support/isolate.sh");               \
        Application app(argc, argv);                                                                \
        Test test;                                                                                  \
        return QTest::qExec(&test, argc, argv);                                                     \
    }
