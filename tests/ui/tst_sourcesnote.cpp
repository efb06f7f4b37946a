// The picker's note on where applications are looked for.
#include "UiFixtures.h"

#include "ui/InstalledAppsModel.h"

#include <QTest>

class SourcesNoteTest : public QObject {
    Q_OBJECT
private slots:
    void namesBothKindsOfFolderWhenOnlyTheFirstRecordIsFound()
    {
        TemporaryHome home; // no bundles and no desktop entries anywhere
        MacAppStore store;
        InstalledAppsModel model;
        model.setStore(&store);
        QVERIFY(waitForCatalogue(store, 10000) && store.allInstalledApps().size() == 1);
        for (const char *folders : {"/System/Library/CoreServices, ~/Applications",
                                    "~/.local/share/applications, ~/.system-data/applications"})
            QVERIFY2(model.sourcesNote().contains(folders), qPrintable(model.sourcesNote()));
    }
};

QTEST_MAIN(SourcesNoteTest)
#include "tst_sourcesnote.moc"
