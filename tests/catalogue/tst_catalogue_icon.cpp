// Icon handles and the PNG rendering.
#include "CatalogueFixtures.h"

#include "catalogue/AppIcon.h"
#include "catalogue/IconCache.h"

#include <QFile>
#include <QTest>

#include <thread>

namespace {
QColor centre(const QImage &image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
} // namespace

class CatalogueIconTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // Each size has its own colour, so the image drawn tells which was chosen.
    void picksTheNearestImageFromManyThreads()
    {
        const QString path = dir.filePath("AppIcon.icns");
        QVERIFY(writeIcns(path, {solidImage(1024, Qt::blue), solidImage(16, Qt::red), solidImage(128, Qt::green)}));
        const AppIcon icon = AppIcon::fromFile(path);
        const QList<std::pair<int, QColor>> cases = {{8, Qt::red}, {16, Qt::red}, {72, Qt::green} /* row at 2x */,
                                                     {128, Qt::green}, {200, Qt::blue}, {2048, Qt::blue}};
        for (const auto &[side, colour] : cases) {
            QCOMPARE(icon.image(QSize(side, side)).size(), QSize(side, side));
            QCOMPARE(centre(icon.image(QSize(side, side))), colour);
        }
        // Copies share the handle, drawn from many threads at once.
        const AppIcon copy = icon;
        std::atomic<int> wrong = 0;
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&, i] {
                for (const int side : {72, 300, 72, 300})
                    wrong += centre((i % 2 ? icon : copy).image(QSize(side, side))) != QColor(side == 72 ? Qt::green : Qt::blue);
            });
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(wrong.load(), 0);
    }

    void singleImageFilesAreScaled()
    {
        const QString path = dir.filePath("Logo.png");
        QVERIFY(solidImage(300, Qt::magenta).save(path));
        const QImage wide = AppIcon::fromFile(path).image(QSize(80, 40));
        QCOMPARE(wide.size(), QSize(80, 40));
        QCOMPARE(centre(wide), QColor(Qt::magenta));
    }

    // Drawn, not blank: the corners are clear and the middle is not.
    void unreadableFilesDrawTheGenericIcon()
    {
        QFile junk(dir.filePath("Junk.icns"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("icns\0\0\0\x10garbage!", 16) == 16);
        junk.close();
        const QImage generic = genericAppIconImage(QSize(64, 64));
        QCOMPARE(generic.pixelColor(0, 0).alpha(), 0);
        QVERIFY(centre(generic).alpha() > 0);
        QCOMPARE(AppIcon().image(QSize(64, 64)), generic);
        QCOMPARE(AppIcon::fromFile(junk.fileName()).image(QSize(64, 64)), generic);
        QCOMPARE(AppIcon::fromFile(dir.filePath("Missing.icns")).image(QSize(64, 64)), generic);
    }

    // The icon fills the 128-pixel square, corner to corner.
    void rendersA128PixelPng()
    {
        const QString path = dir.filePath("Green.icns");
        QVERIFY(writeIcns(path, {solidImage(1024, QColor(10, 200, 30))}));
        const QByteArray png = IconCache::renderPng(AppIcon::fromFile(path)).value_or("");
        QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage decoded = QImage::fromData(png, "PNG");
        QCOMPARE(decoded.size(), QSize(128, 128));
        QCOMPARE(decoded.pixelColor(0, 0), QColor(10, 200, 30));
        QCOMPARE(decoded.pixelColor(127, 127), QColor(10, 200, 30));
    }
};

QTEST_GUILESS_MAIN(CatalogueIconTest)
#include "tst_catalogue_icon.moc"
