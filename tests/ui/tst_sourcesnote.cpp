// The picker's note on where applications are looked for.
#include "UiFixtures.h"

#include "ui/InstalledAppsModel.h"

#include <QTest>

class SourcesNoteTest : public QObject {
    Q_OBJECT
private slots:
    void shownOnlyWhileNothingButTheFirstRecordIsFound()
    {
        TemporaryHome home; // no desktop entries anywhere
        for (const bool alone : {true, false}) {
            if (!alone)
                makeAppBundle(home.applications(), "Notes", "org.example.notes", 16);
            MacAppStore store;
            InstalledAppsModel model;
            model.setStore(&store);
            QVERIFY(waitForCatalogue(store, 10000));
            QCOMPARE(model.sourcesNote().isEmpty(), !alone);
            for (const char *folders : {"/System/Library/CoreServices, ~/Applications",
                                        "~/.local/share/applications, ~/.system-data/applications"})
                QVERIFY2(!alone || model.sourcesNote().contains(folders), qPrintable(model.sourcesNote()));
        }
    }
};

QTEST_MAIN(SourcesNoteTest)
#include "tst_sourcesnote.moc"
