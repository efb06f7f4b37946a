// Figures under hostile input, taken the way the reliability run took them:
// time and resident memory of the process around each case, loopback only,
// hostile files in a temporary home.
#include "CatalogueFixtures.h"
#include "ServerThread.h"
#include "HostilePlists.h"

#include "catalogue/AppScanner.h"
#include "catalogue/MacAppStore.h"
#include "platform/bundles/BundleReader.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/files/SettingsUserDefaults.h"
#include "protocol/MessageCodec.h"
#include "server/MacServerService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long residentKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// The highest resident size seen while it lives, sampled every 2 ms.
class PeakMemory {
public:
    PeakMemory() : m_start(residentKb()), m_peak(m_start), m_sampler([this] {
        while (!m_stop) {
            m_peak = std::max(m_peak.load(), residentKb());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }) {}
    ~PeakMemory() { stop(); }
    double growthMb()
    {
        stop();
        return (m_peak - m_start) / 1024.0;
    }

private:
    void stop()
    {
        m_stop = true;
        if (m_sampler.joinable())
            m_sampler.join();
    }
    long m_start;
    std::atomic<long> m_peak;
    std::atomic<bool> m_stop{false};
    std::thread m_sampler;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

void plistFigures(const QString &root)
{
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"XML nested 100,000 deep", HostilePlists::deepXml(100'000)},
        {"binary nested 100,000 deep", HostilePlists::deepBinary(100'000)},
        {"binary, 2^24 shared references", HostilePlists::sharedReferenceBomb(24)},
        {"XML nested 20,000 deep", HostilePlists::deepXml(20'000)},
    };
    for (const auto &c : cases) {
        const QString bundle = makeBundle(root, QStringLiteral("Bomb.app"), {});
        writeFile(bundle + "/Contents/Info.plist", c.bytes);
        PeakMemory memory;
        const auto start = Clock::now();
        const bool refused = !openBundle(bundle)->bundleIdentifier;
        const double ms = msSince(start);
        std::printf("Info.plist %s (%.1f KB): %s in %.2f ms, memory +%.1f MB\n", c.name, c.bytes.size() / 1024.0,
                    refused ? "refused" : "READ", ms, memory.growthMb());
    }
}

// A hundred ordinary bundles and the 20,000-deep one in ~/Applications.
void lookupFigure(const QString &home)
{
    const QString root = home + "/Applications";
    for (int i = 0; i < 100; ++i)
        makeBundle(root, QStringLiteral("App%1.app").arg(i), {{"CFBundleIdentifier", QStringLiteral("com.example.app%1").arg(i)}});
    writeFile(makeBundle(root, "Deep.app", {}) + "/Contents/Info.plist", HostilePlists::deepXml(20'000));
    AppScanner::scan(AppScanner::scanRoots()); // the catalogue's scan, as at start
    LinuxApplicationServices services;
    const auto start = Clock::now();
    for (int i = 0; i < 100; ++i)
        services.urlForApplication(QStringLiteral("com.example.app%1").arg(i));
    std::printf("launchApp identifier lookup among 101 bundles: %.3f ms each\n", msSince(start) / 100);
}

void settingsFigures(const QString &home)
{
    const QString conf = home + "/.config/Tendril/Tendril.conf";
    QDir().mkpath(QFileInfo(conf).path());
    writeFile(conf + ".lock", {});
    QFile(conf + ".lock").open(QIODevice::ReadWrite);
    QFile lock(conf + ".lock");
    lock.open(QIODevice::ReadWrite);
    lock.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime);
    lock.close();
    {
        MacAppStore store;
        const InstalledApp app{QUuid::createUuid(), "com.example.saved", "Saved", std::nullopt, "/x"};
        auto start = Clock::now();
        store.toggleSelection(app);
        std::printf("selection save over an empty lock left by a kill: %.2f ms", msSince(start));
        start = Clock::now();
        store.toggleSelection(app);
        std::printf(" (the next save, no lock there: %.2f ms)\n", msSince(start));
    }
    QFile::remove(conf);
    ::mkfifo(QFile::encodeName(conf).constData(), 0600);
    const auto start = Clock::now();
    { MacAppStore store; }
    std::printf("start of the store with a FIFO as Tendril.conf: %.2f ms\n", msSince(start));
    QFile::remove(conf);

    QList<AppSelection> many;
    for (int i = 0; i < 100'000; ++i)
        many.append({QStringLiteral("com.example.app%1").arg(i), "App", i});
    SettingsUserDefaults().setData("tendril.selections.v3", encodeAppSelections(many));
    MacAppStore store;
    const qsizetype frame = encodeMessage(td::AppListUpdate{store.selectedApps()})->size() + 8;
    std::printf("100,000 stored selections: %lld loaded, app-list frame %lld bytes\n",
                qlonglong(store.selectedApps().size()), qlonglong(frame));
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return fd;
}

// Writes `bytes` over and over for at most `seconds` (never blocking);
// false once the desktop has closed the connection.
bool writeFor(int fd, const QByteArray &bytes, qint64 total, double seconds)
{
    const auto start = Clock::now();
    for (qint64 sent = 0; sent < total && msSince(start) < seconds * 1000;) {
        const ssize_t n = ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += n;
        else if (errno != EAGAIN)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Reads until a pong (true) or the end of the connection (false).
bool readPong(int fd)
{
    FrameBuffer buffer;
    char chunk[65536];
    for (;;) {
        while (const auto body = buffer.nextFrame())
            if (const auto message = decodeMessage(*body); message && message->is<td::Pong>())
                return true;
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer.append(QByteArrayView(chunk, n));
    }
}

void linkFigures(quint16 port, const std::function<bool()> &desktopConnected)
{
    {
        const int fd = connectTo(port);
        PeakMemory memory;
        const QByteArray garbage = QByteArray::fromHex("deadbeef0000000178").repeated(10'000);
        writeFor(fd, garbage, 1'000'000'000, 10);
        const auto start = Clock::now();
        ::send(fd, makeFrame(*encodeMessage(td::Ping{}))->constData(), 19, MSG_NOSIGNAL);
        const bool answered = readPong(fd);
        std::printf("phone flooding 1-byte frames for 10 s: memory +%.1f MB, pong %s %.0f ms after the ping\n",
                    memory.growthMb(), answered ? "came" : "NEVER came", msSince(start));
        ::close(fd);
    }
    const struct {
        const char *name;
        QByteArray frame;
        qint64 count;
    } nonReaders[] = {
        {"2 M pings", *makeFrame(*encodeMessage(td::Ping{})), 2'000'000},
        {"1,000 requestAppList", *makeFrame(*encodeMessage(td::RequestAppList{})), 1'000},
    };
    for (const auto &c : nonReaders) {
        const QByteArray chunk = c.frame.repeated(std::min<qint64>(c.count, 1000));
        const int fd = connectTo(port);
        while (!desktopConnected())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        PeakMemory memory;
        const auto start = Clock::now();
        writeFor(fd, chunk, c.frame.size() * c.count, 5);
        while (desktopConnected() && msSince(start) < 60'000)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::printf("phone sending %s and never reading: memory +%.1f MB, disconnected after %.1f s\n", c.name,
                    memory.growthMb(), msSince(start) / 1000);
        ::close(fd);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CACHE_HOME");
    QCoreApplication app(argc, argv);

    plistFigures(home.path());
    lookupFigure(home.path());
    settingsFigures(home.path());

    // Eight selected apps whose icons make a 690 KB app list.
    QList<AppSelection> eight;
    for (int i = 0; i < 8; ++i) {
        eight.append({QStringLiteral("com.example.icon%1").arg(i), "App", i});
        QByteArray icon(64 * 1024, Qt::Uninitialized);
        for (char &c : icon)
            c = char(std::rand());
        writeFile(home.path() + QStringLiteral("/.cache/TendrilIcons/com.example.icon%1.png").arg(i), icon);
    }
    SettingsUserDefaults().setData("tendril.selections.v3", encodeAppSelections(eight));

    ServerThread running;
    const quint16 port = running.port();
    linkFigures(port, [&] { return running.isConnected(); });
    return 0;
}
