// 10,000 generated desktop entries whose icons come from an icon theme (half
// SVG, half PNG), beside a FIFO and a 200 MB file named "*.desktop": the
// main thread's longest stall while a phone pairs as the program starts and
// asks for unknown IDs; time from the store's creation to the published
// catalogue, the 128 x 128 export of eight icons, resident-memory growth;
// hostile icons (an 8 MB SVG of 100,000 paths, a 20,000 x 20,000 PNG).
#include "FreePort.h"
#include "ScanBenchmark.h"
#include "tests/catalogue/CatalogueFixtures.h"
#include "tests/catalogue/DesktopFixtures.h"
#include "tests/server/FakePlatform.h"

#include "catalogue/IconCache.h"
#include "catalogue/MacAppStore.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "protocol/MessageCodec.h"
#include "server/MacServerService.h"
#include "transport/FrameBuffer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QtEndian>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int entryCount = 10000;
QTemporaryDir *tree = nullptr;

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void hardLink(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).path());
    std::filesystem::create_hard_link(from.toStdString(), to.toStdString());
}

// Set before GLib first reads the XDG variables.
void makeTree()
{
    tree = new QTemporaryDir;
    const QString home = tree->filePath("home"), data = home + "/.local/share", system = tree->filePath("usr");
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_DATA_DIRS", system.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_CONFIG_DIRS", tree->filePath("etc").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    writeFile(home + "/.config/kdeglobals", "[Icons]\nTheme=Bench\n");

    QString folders, groups;
    for (int side : {16, 22, 24, 32, 48, 64, 96, 128, 256, 512}) {
        folders += QString("%1x%1/apps,").arg(side);
        groups += QString("[%1x%1/apps]\nSize=%1\nType=Threshold\n").arg(side);
    }
    writeFile(system + "/icons/hicolor/index.theme", ("[Icon Theme]\nDirectories=" + folders + "\n" + groups).toUtf8());
    writeFile(system + "/icons/Bench/index.theme", "[Icon Theme]\nInherits=hicolor\nDirectories=scalable/apps\n"
              "[scalable/apps]\nSize=64\nMinSize=8\nMaxSize=512\nType=Scalable\n");
    const QString svg = tree->filePath("icon.svg"), png48 = tree->filePath("48.png"), png256 = tree->filePath("256.png");
    writeFile(svg, solidSvg(QColor(40, 120, 220)));
    solidImage(48, Qt::darkGreen).save(png48);
    solidImage(256, Qt::darkGreen).save(png256);

    for (int i = 0; i < entryCount; ++i) {
        const QString icon = QString("org.example.App%1").arg(i);
        // Hard links: every entry has its own icon file at no disk cost.
        if (i % 2) {
            hardLink(svg, system + "/icons/Bench/scalable/apps/" + icon + ".svg");
        } else {
            hardLink(png48, system + "/icons/hicolor/48x48/apps/" + icon + ".png");
            hardLink(png256, system + "/icons/hicolor/256x256/apps/" + icon + ".png");
        }
        writeDesktopEntry(i % 3 ? system + "/applications" : data + "/applications", icon + ".desktop",
                          QString("Name=Application %1\nName[de]=Anwendung %1\nComment=Generated\nIcon=%2\n"
                                  "Categories=Utility;\nMimeType=text/plain;")
                              .arg(entryCount - i)
                              .arg(icon));
    }
    const QString applications = data + "/applications/";
    ::mkfifo(QFile::encodeName(applications + "org.example.Fifo.desktop").constData(), 0600);
    QFile huge(applications + "org.example.Huge.desktop"); // sparse: no disk, but 200 MB to read
    huge.open(QIODevice::WriteOnly);
    huge.write("[Desktop Entry]\nType=Application\nName=Huge\nExec=true\nX-Pad=");
    huge.resize(200 << 20);
}

double residentPeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double threadCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// The longest time the main thread's event loop went without turning, seen
// by a 1 ms timer.
class LoopGaps {
public:
    LoopGaps()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestMs = std::max(m_longestMs, double(m_sinceLast.nsecsElapsed()) / 1e6);
            m_sinceLast.restart();
        });
        m_sinceLast.start();
        m_timer.start();
    }
    double longestMs() const { return m_longestMs; }
    void reset() { m_longestMs = 0; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    double m_longestMs = 0;
};

// A phone on a plain blocking socket, on a thread of its own.
class BlockingPhone {
public:
    explicit BlockingPhone(quint16 port) : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    ~BlockingPhone() { ::close(m_fd); }

    void send(const TDMessage &message)
    {
        const QByteArray frame = *makeFrame(*encodeMessage(message));
        ::send(m_fd, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL);
    }

    // Reads until a message of `kind` (true) or the end of the connection.
    bool waitFor(TDMessageKind kind)
    {
        char chunk[65536];
        for (;;) {
            while (const auto body = m_buffer.nextFrame())
                if (const auto message = decodeMessage(*body); message && message->kind() == kind)
                    return true;
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            m_buffer.append(QByteArrayView(chunk, n));
        }
    }

private:
    int m_fd;
    FrameBuffer m_buffer;
};

// A PIN word whose draw below 10000 is exactly n.
quint64 wordFor(quint64 n)
{
    return quint64((((unsigned __int128)n << 64) + ((unsigned __int128)1 << 63)) / 10000);
}

// Runs first, in a fresh process: the phone pairs while the catalogue scan
// reads the entries, then sends 200 launchApp requests for IDs that are not
// installed, a ping after each tenth.
void BM_FirstPairingStall(benchmark::State &state)
{
    for (auto _ : state) {
        const double peakBefore = residentPeakMegabytes();
        LoopGaps gaps;
        QElapsedTimer timer;
        timer.start();
        LinuxApplicationServices applications;
        FakePlatform fake;
        fake.platform.applications = &applications;
        MacAppStore store;
        std::atomic<double> publishedMs = 0;
        QObject::connect(&store, &MacAppStore::allInstalledAppsChanged, [&] { publishedMs = double(timer.nsecsElapsed()) / 1e6; });
        MacServerService server(store, &fake.platform);
        const quint16 port = freeLoopbackPort();
        server.setListeningPort(port);
        server.setRandomWordSource([] { return wordFor(4321); });
        server.startListening();
        while (server.serverState() != ServerState::advertising)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

        std::atomic<double> pairedMs = 0, unknownIdsMs = 0;
        std::atomic<int> pongs = 0;
        std::atomic<bool> done = false;
        const QString pin = server.pin();
        std::thread phone([&] {
            BlockingPhone link(port);
            link.waitFor(TDMessageKind::macHello);
            link.send(td::IPhoneHello{pin});
            link.waitFor(TDMessageKind::appListUpdate);
            pairedMs = double(timer.nsecsElapsed()) / 1e6;
            while (publishedMs == 0) // the storm comes once the entries are in
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            QElapsedTimer storm;
            storm.start();
            for (int i = 1; i <= 200; ++i) {
                link.send(td::LaunchApp{QStringLiteral("org.example.Unknown%1").arg(i)});
                if (i % 10 == 0) {
                    link.send(td::Ping{});
                    pongs += link.waitFor(TDMessageKind::pong) ? 1 : 0;
                }
            }
            unknownIdsMs = double(storm.nsecsElapsed()) / 1e6;
            done = true;
        });
        while (pairedMs == 0 || publishedMs == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double pairingStallMs = gaps.longestMs();
        gaps.reset();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        phone.join();

        state.counters["main_thread_longest_stall_ms"] = pairingStallMs;
        state.counters["main_thread_longest_stall_unknown_ids_ms"] = gaps.longestMs();
        state.counters["paired_after_ms"] = pairedMs.load();
        state.counters["200_unknown_ids_ms"] = unknownIdsMs.load();
        state.counters["pongs_of_20"] = pongs.load();
        state.counters["catalogue_published_ms"] = publishedMs.load();
        state.counters["apps"] = double(store.allInstalledApps().size());
        state.counters["peak_rss_growth_MB"] = residentPeakMegabytes() - peakBefore;
    }
}
BENCHMARK(BM_FirstPairingStall)->Iterations(1)->Unit(benchmark::kMillisecond);

// An 8 MB SVG of 100,000 paths and a one-bit 20,000 x 20,000 PNG: the CPU
// time and memory of rendering each, and the main thread's time to select
// an application with such an icon.
void BM_HostileIcons(benchmark::State &state)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 400 400\">";
    for (int i = 0; i < 100000; ++i)
        svg += QStringLiteral("<path d=\"M%1 %2h2v2h-2z\" fill=\"#0000ff\"/>").arg(i % 200 * 2).arg(i / 200 % 200 * 2).toUtf8();
    svg += "</svg>";
    writeFile(tree->filePath("hostile.svg"), svg);
    // A one-bit PNG: IHDR, rows of zeros, IEND; Qt checks the CRCs.
    const auto chunk = [](const QByteArray &type, const QByteArray &data) {
        QByteArray out(4, Qt::Uninitialized);
        qToBigEndian(quint32(data.size()), out.data());
        quint32 crc = 0xffffffff;
        for (const char c : type + data) {
            crc ^= quint8(c);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
        }
        QByteArray tail(4, Qt::Uninitialized);
        qToBigEndian(~crc, tail.data());
        return out + type + data + tail;
    };
    QByteArray header(13, '\0');
    qToBigEndian(quint32(20000), header.data());
    qToBigEndian(quint32(20000), header.data() + 4);
    header[8] = 1;
    const QByteArray rows(qsizetype(20000) * (1 + 2500), '\0');
    writeFile(tree->filePath("hostile.png"), "\x89PNG\r\n\x1a\n" + chunk("IHDR", header)
              + chunk("IDAT", qCompress(rows, 9).mid(4)) + chunk("IEND", {}));
    for (auto _ : state) {
        for (const char *name : {"hostile.svg", "hostile.png"}) {
            const double peakBefore = residentPeakMegabytes(), cpuBefore = threadCpuMs();
            const bool rendered = IconCache::renderPng(AppIcon::fromFile(tree->filePath(name))).has_value();
            const std::string key = QString(name).replace(u'.', u'_').toStdString();
            state.counters[key + "_render_cpu_ms"] = threadCpuMs() - cpuBefore;
            state.counters[key + "_peak_rss_growth_MB"] = residentPeakMegabytes() - peakBefore;
            state.counters[key + "_rendered"] = rendered;

            MacAppStore store;
            const InstalledApp app{QUuid::createUuid(), QStringLiteral("org.example.%1").arg(QString::fromStdString(key)), "Hostile",
                                   AppIcon::fromFile(tree->filePath(name)), "/x"};
            QElapsedTimer timer;
            timer.start();
            store.toggleSelection(app);
            state.counters[key + "_select_on_main_thread_ms"] = double(timer.nsecsElapsed()) / 1e6;
            while (store.isIconPending(app.bundleID))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
}
BENCHMARK(BM_HostileIcons)->Iterations(1)->Unit(benchmark::kMillisecond);

// For its memory figure, run alone (--benchmark_filter=BM_DesktopCatalogue):
// earlier work would hide the growth.
void BM_DesktopCatalogue(benchmark::State &state)
{
    for (auto _ : state) {
        const double before = residentMegabytes();
        QElapsedTimer timer;
        timer.start();
        MacAppStore store;
        QEventLoop loop;
        QObject::connect(&store, &MacAppStore::allInstalledAppsChanged, &loop, &QEventLoop::quit);
        loop.exec();
        const double publishedMs = double(timer.nsecsElapsed()) / 1e6;
        const double afterScan = residentMegabytes();

        // Eight icons, both kinds, none cached yet.
        const QList<InstalledApp> &apps = store.allInstalledApps();
        timer.restart();
        int exported = 0, themed = 0;
        for (int i = 1; i <= 8 && i < apps.size(); ++i) {
            exported += store.pngIconData(apps.at(i)) ? 1 : 0;
            themed += apps.at(i).icon->filePath().isEmpty() ? 0 : 1;
        }
        const double exportMs = double(timer.nsecsElapsed()) / 1e6;

        state.counters["apps"] = double(apps.size());
        state.counters["scan_to_published_ms"] = publishedMs;
        state.counters["export_8_icons_ms"] = exportMs;
        state.counters["icons_exported"] = exported;
        state.counters["icons_from_theme"] = themed;
        state.counters["rss_growth_scan_MB"] = afterScan - before;
        state.counters["rss_growth_with_8_icons_MB"] = residentMegabytes() - before;
    }
}
BENCHMARK(BM_DesktopCatalogue)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ScanInstalledApps)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    makeTree();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QThreadPool::globalInstance()->waitForDone();
    delete tree;
    return 0;
}
