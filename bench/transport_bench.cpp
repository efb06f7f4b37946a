// Receive-side throughput: cutting frames out of received bytes and decoding
// their bodies, as the transport does per receive; and encoding a large message.
#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr qsizetype receiveSize = 65'536;

QByteArray frameOf(const TDMessage &message)
{
    const auto body = encodeMessage(message);
    if (!body)
        std::abort();
    return *makeFrame(*body);
}

// About 9.9 MB of JSON: the largest clipboard image the receiver takes.
TDMessage largeImageMessage()
{
    QByteArray image(7'400'000, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
    return td::ClipboardImagePayload{QString::fromLatin1(image.toBase64())};
}

// Random bytes without a marker in them.
QByteArray garbage(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(11);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    for (qsizetype i = 0; i + 1 < size; ++i)
        if (uchar(bytes[i]) == 0xDE && uchar(bytes[i + 1]) == 0xAD)
            bytes[i] = 0;
    return bytes;
}

// Appends in receive-sized pieces and decodes every frame; returns the count.
int cutAndDecode(const QByteArray &stream)
{
    FrameBuffer buffer;
    int messages = 0;
    for (qsizetype offset = 0; offset < stream.size(); offset += receiveSize) {
        buffer.append(QByteArrayView(stream).sliced(offset, std::min(receiveSize, stream.size() - offset)));
        while (const auto body = buffer.nextFrame()) {
            auto message = decodeMessage(*body);
            benchmark::DoNotOptimize(message);
            messages += message.has_value();
        }
    }
    return messages;
}

void smallMessages(benchmark::State &state)
{
    const TDMessage kinds[] = {
        td::LaunchApp{QStringLiteral("com.apple.finder")},
        td::Ping{},
        td::AdjustVolume{0.25f},
        td::FocusApp{QStringLiteral("com.apple.Safari")},
        td::RequestClipboard{},
    };
    QByteArray stream;
    const int count = 10'000;
    for (int i = 0; i < count; ++i)
        stream += frameOf(kinds[i % std::size(kinds)]);

    for (auto _ : state) {
        if (cutAndDecode(stream) != count)
            state.SkipWithError("a message was lost");
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetBytesProcessed(state.iterations() * stream.size());
}
BENCHMARK(smallMessages)->Unit(benchmark::kMicrosecond);

void largeFrame(benchmark::State &state)
{
    const QByteArray stream = frameOf(largeImageMessage());
    for (auto _ : state) {
        if (cutAndDecode(stream) != 1)
            state.SkipWithError("the frame was not decoded");
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}
BENCHMARK(largeFrame)->Unit(benchmark::kMillisecond);

// Cuts one frame behind `stray` bytes of `garbageBytes`, reporting time per stray byte.
void measureStray(benchmark::State &state, const QByteArray &garbageBytes)
{
    const QByteArray stream = garbageBytes + frameOf(td::Ping{});
    for (auto _ : state) {
        if (cutAndDecode(stream) != 1)
            state.SkipWithError("the frame behind the garbage was lost");
    }
    state.counters["per_stray_byte"] =
        benchmark::Counter(double(garbageBytes.size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void strayBytes(benchmark::State &state)
{
    measureStray(state, garbage(state.range(0)));
}
BENCHMARK(strayBytes)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

// The worst garbage for the marker search: every byte starts a near-marker.
void strayNearMarkers(benchmark::State &state)
{
    const qsizetype stray = state.range(0);
    QByteArray nearMarkers;
    while (nearMarkers.size() < stray)
        nearMarkers += "\xDE\xAD\xBE";
    measureStray(state, nearMarkers.first(stray));
}
BENCHMARK(strayNearMarkers)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void encodeLarge(benchmark::State &state)
{
    const TDMessage message = largeImageMessage();
    qsizetype size = 0;
    for (auto _ : state) {
        auto body = encodeMessage(message);
        size = body ? body->size() : 0;
        benchmark::DoNotOptimize(body);
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(encodeLarge)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
