#include "protocol/MessageCodec.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

// A clipboard image as the phone sends it: about 7.4 MB of bytes, 9.9 MB of base64.
TDMessage largeImagePayload()
{
    QByteArray image(7'400'000, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
    return td::ClipboardImagePayload{QString::fromLatin1(image.toBase64())};
}

void encodeLargeImagePayload(benchmark::State &state)
{
    const TDMessage message = largeImagePayload();
    qint64 bytes = 0;
    for (auto _ : state) {
        std::optional<QByteArray> json = encodeMessage(message);
        bytes += json->size();
        benchmark::DoNotOptimize(json);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(encodeLargeImagePayload)->Unit(benchmark::kMillisecond);

// The transport's way: the body follows eight reserved header bytes.
void appendLargeImagePayloadToFrame(benchmark::State &state)
{
    const TDMessage message = largeImagePayload();
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray frame(8, '\0');
        appendEncodedMessage(frame, message);
        bytes += frame.size() - 8;
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(appendLargeImagePayloadToFrame)->Unit(benchmark::kMillisecond);

void decodeLargeImagePayload(benchmark::State &state)
{
    const QByteArray json = *encodeMessage(largeImagePayload());
    for (auto _ : state) {
        std::optional<TDMessage> message = decodeMessage(json);
        if (!message)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(state.iterations() * json.size());
}
BENCHMARK(decodeLargeImagePayload)->Unit(benchmark::kMillisecond);

void decodeSmallMessages(benchmark::State &state)
{
    const QByteArray json(R"({"focusApp":{"bundleID":"com.apple.finder"}})");
    for (auto _ : state) {
        std::optional<TDMessage> message = decodeMessage(json);
        benchmark::DoNotOptimize(message);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(decodeSmallMessages);

void encodeSmallMessages(benchmark::State &state)
{
    const TDMessage message = td::FocusApp{QStringLiteral("com.apple.finder")};
    for (auto _ : state) {
        std::optional<QByteArray> json = encodeMessage(message);
        benchmark::DoNotOptimize(json);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(encodeSmallMessages);

} // namespace

BENCHMARK_MAIN();
