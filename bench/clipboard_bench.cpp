// requestClipboard with a 4K screenshot and a 12-megapixel photo on the
// clipboard, each offered as image/png the way screenshot tools and image
// viewers offer them: time from the request to the last byte of the reply,
// over loopback. With an X display and xclip, another X client owns the
// clipboard; otherwise this process does.
#include "FreePort.h"
#include "FakePlatform.h"

#include "catalogue/MacAppStore.h"
#include "platform/x11/QtPasteboard.h"
#include "protocol/MessageCodec.h"
#include "server/MacServerService.h"
#include "transport/FrameBuffer.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the whole process: on a busy machine the clock on the wall
// also counts other programs' turns.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Windows of text on a gradient desktop: flat areas, sharp edges.
QImage screenshotLike()
{
    QImage image(3840, 2160, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient desktop(0, 0, 3840, 2160);
    desktop.setColorAt(0, QColor(30, 30, 46));
    desktop.setColorAt(1, QColor(70, 40, 90));
    painter.fillRect(image.rect(), desktop);
    QRandomGenerator random(7);
    QFont font;
    font.setPixelSize(14);
    painter.setFont(font);
    for (int w = 0; w < 40; ++w) {
        const QRect window(random.bounded(3300), random.bounded(1700), 300 + random.bounded(900),
                           200 + random.bounded(700));
        painter.fillRect(window, QColor::fromHsv(random.bounded(360), 30, 240));
        painter.fillRect(window.x(), window.y(), window.width(), 28, QColor(60, 60, 70));
        for (int y = window.y() + 48; y < window.bottom(); y += 18)
            painter.drawText(window.x() + 8, y, QStringLiteral("Line %1 of a document").arg(y));
    }
    return image;
}

// Smooth shapes under sensor noise, as a camera gives them.
QImage photoLike()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(12u));
            line[x] = qRgb((x / 17 + y / 29 + n) & 255, (120 + y / 13 + n) & 255,
                           (200 - x / 23 + n) & 255);
        }
    }
    return image;
}

// Puts the file on the clipboard; true when another X client holds it.
bool offer(const QByteArray &file, const QString &type, QProcess &owner, const QTemporaryDir &files)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")
        && !QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
        QFile offered(files.filePath(QStringLiteral("offer")));
        offered.open(QIODevice::WriteOnly);
        offered.write(file);
        offered.close();
        owner.kill();
        owner.waitForFinished();
        owner.start(QStringLiteral("xclip"), {"-i", "-quiet", "-selection", "clipboard", "-t",
                                              type, offered.fileName()});
        owner.waitForStarted();
        while (QGuiApplication::clipboard()->ownsClipboard()
               || !QGuiApplication::clipboard()->mimeData()->hasFormat(type))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return true;
    }
    auto *data = new QMimeData;
    data->setData(type, file);
    QGuiApplication::clipboard()->setMimeData(data);
    return false;
}

int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    return fd;
}

// The body of the next frame, read from a blocking socket.
QByteArray nextBody(int fd, FrameBuffer &buffer)
{
    static char chunk[1 << 16];
    for (;;) {
        if (const auto body = buffer.nextFrame())
            return body->toByteArray();
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            std::fprintf(stderr, "connection ended\n");
            std::exit(1);
        }
        buffer.append(QByteArrayView(chunk, n));
    }
}

struct Sample {
    double medianMs;
    double medianCpuMs;
    qsizetype replyBytes;
    QSize sentSize;
};

// Asks `runs` times from another thread while this one serves.
Sample measure(int fd, FrameBuffer &buffer, int runs)
{
    std::vector<double> times, cpu;
    QByteArray body;
    std::thread phone([&] {
        const QByteArray request = *makeFrame(*encodeMessage(td::RequestClipboard{}));
        for (int i = 0; i < runs; ++i) {
            const auto start = Clock::now();
            const double cpuStart = cpuMs();
            ::write(fd, request.constData(), size_t(request.size()));
            body = nextBody(fd, buffer);
            const std::chrono::duration<double, std::milli> wall = Clock::now() - start;
            times.push_back(wall.count());
            cpu.push_back(cpuMs() - cpuStart);
        }
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit);
    });
    qApp->exec();
    phone.join();
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    const std::optional<TDMessage> reply = decodeMessage(body);
    const auto *image = reply ? reply->get<td::ClipboardImagePayload>() : nullptr;
    const QSize size =
        image ? QImage::fromData(QByteArray::fromBase64(image->data.toLatin1())).size() : QSize();
    return {times[times.size() / 2], cpu[cpu.size() / 2], body.size(), size};
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    FakePlatform fake;
    QtPasteboard pasteboard;
    fake.platform.pasteboard = &pasteboard;
    MacAppStore store;
    MacServerService server(store, &fake.platform);
    const quint16 port = freeLoopbackPort();
    server.setListeningPort(port);
    server.startListening();
    while (server.serverState() != ServerState::advertising)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const int fd = connectLoopback(port);
    FrameBuffer buffer;
    while (!server.isConnected())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    nextBody(fd, buffer); // macHello

    QProcess owner;
    const QImage screenshot = screenshotLike();
    const struct {
        const char *name;
        QImage image;
        const char *format;
        int runs;
        const char *target;
    } cases[] = {
        {"4K screenshot", screenshot, "PNG", 9, "target < 60 ms"},
        {"12 MP photo", photoLike(), "PNG", 3, "target < 1500 ms"},
        {"4K screenshot", screenshot, "TIFF", 5, "encoded again, no target"},
    };
    for (const auto &c : cases) {
        const QByteArray file = encoded(c.image, c.format);
        const QString type = QStringLiteral("image/") + QString::fromLatin1(c.format).toLower();
        const bool foreign = offer(file, type, owner, home);
        const Sample s = measure(fd, buffer, c.runs);
        std::printf("%s %dx%d, %.1f MB of %s on the clipboard (%s): reply of %.1f MB carrying "
                    "%dx%d, median %.0f ms (%.0f ms of CPU) over %d runs (%s)\n",
                    c.name, c.image.width(), c.image.height(), file.size() / 1e6, c.format,
                    foreign ? "held by xclip" : "held by this process", s.replyBytes / 1e6,
                    s.sentSize.width(), s.sentSize.height(), s.medianMs, s.medianCpuMs, c.runs,
                    c.target);
    }
    owner.kill();
    owner.waitForFinished();
    ::close(fd);
    return 0;
}
