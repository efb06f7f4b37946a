// Start-up time and idle memory of the window, with a catalogue of 200
// applications whose icons are full-size (1024 x 1024) PNGs.
//
// Without arguments: builds the catalogue in a temporary home, then starts
// itself as the program (as main() does: store, server, window) several
// times, timing each from process start to the first frame of the window
// with the listener up, and reading its resident memory once it has loaded
// the catalogue and sat idle. Prints the median time and the largest memory.
#include "UiFixtures.h"

#include "app/TendrilApp.h"
#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int catalogueSize = 200;
constexpr int iconSide = 1024;
constexpr int runs = 5;
constexpr double startupTargetMs = 180;
constexpr double memoryTargetMB = 55;

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long residentKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// The program as main() runs it, reporting "shown" on stdout at its first
// frame with the listener up, then "rss <kB>" once idle.
int runProgram(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    TendrilApp tendril;
    tendril.server().setListeningPort(0); // the fixed port may be taken here

    bool reported = false;
    QQuickWindow *window = nullptr;
    auto reportWhenReady = [&] {
        if (!reported && window && tendril.server().serverState() != ServerState::stopped
            && tendril.server().listener()) {
            reported = true;
            std::printf("shown\n");
            std::fflush(stdout);
        }
    };
    bool framed = false;
    QObject::connect(&tendril.server(), &MacServerService::serverStateChanged, &app, [&] {
        if (framed)
            reportWhenReady();
    });
    window = tendril.showWindow();
    if (!window)
        return 1;
    QObject::connect(window, &QQuickWindow::frameSwapped, &app, [&] {
        framed = true;
        reportWhenReady();
    });

    waitForCatalogue(tendril.appStore(), 30000);
    wait(2000); // rows built, their icons loaded, then idle
    std::printf("rss %ld\n", residentKB());
    std::fflush(stdout);
    return reported ? 0 : 1;
}

int measure(const QString &self)
{
    TemporaryHome home;
    std::fprintf(stderr, "ui_startup: making %d bundles with %dpx icons...\n", catalogueSize,
                 iconSide);
    makeCatalogue(home.applications(), catalogueSize, iconSide);

    QList<double> startup;
    long worstKB = 0;
    for (int run = 0; run < runs; ++run) {
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        program.start(self, {QStringLiteral("--program")});
        double shownMs = -1;
        QByteArray output;
        while (program.state() != QProcess::NotRunning || program.bytesAvailable()) {
            program.waitForReadyRead(100);
            output += program.readAll();
            if (shownMs < 0 && output.contains("shown\n"))
                shownMs = clock.nsecsElapsed() / 1e6;
            if (clock.elapsed() > 60000) {
                program.kill();
                break;
            }
        }
        program.waitForFinished();
        const qsizetype at = output.indexOf("rss ");
        const long kB = at < 0 ? -1 : output.mid(at + 4).trimmed().toLong();
        if (shownMs < 0 || kB < 0) {
            std::fprintf(stderr, "ui_startup: run %d did not report (%s)\n", run + 1,
                         output.constData());
            return 1;
        }
        startup.append(shownMs);
        worstKB = std::max(worstKB, kB);
    }
    std::sort(startup.begin(), startup.end());
    const double medianMs = startup.at(startup.size() / 2);
    const double memoryMB = worstKB / 1024.0;
    std::printf("ui_startup: process start to window shown with listener up: median %.0f ms "
                "(min %.0f, max %.0f, %d runs; target < %.0f ms)\n",
                medianMs, startup.first(), startup.last(), runs, startupTargetMs);
    std::printf("ui_startup: resident memory idle, window shown, %d apps with %dpx icons: "
                "%.1f MB (target < %.0f MB)\n",
                catalogueSize, iconSide, memoryMB, memoryTargetMB);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--program") == 0)
        return runProgram(argc, argv);
    QGuiApplication app(argc, argv); // drawing the sample icons needs fonts
    return measure(QCoreApplication::applicationFilePath());
}
