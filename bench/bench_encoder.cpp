// Encoding speed beside libqrencode, on the same texts and levels, with automatic masking.
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <string>

#include "engine/velmora_engine.h"

namespace {

struct Case {
    const char* name;
    std::string text;
    int level;  // 0 L .. 3 H
};

std::string repeatTo(const std::string& unit, size_t length) {
    std::string text;
    while (text.size() < length) text += unit;
    text.resize(length);
    return text;
}

const Case kCases[] = {
    {"short", "https://velmora.example/q?id=42", 1},
    {"medium", repeatTo("Velmora writes QR Code symbols: ORDER 4711, 12 x WIDGET-42, 2026-12-09. ", 300), 1},
    {"version40", repeatTo("the quick brown fox jumps over the lazy dog; ", 2900), 0},
};

const QRecLevel kQrencodeLevel[4] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};

void velmoraEncode(benchmark::State& state, const Case& c) {
    int version = 0;
    for (auto _ : state) {
        version = 0;
        int mask = -1;
        const int result = QR_Encode_Matrix(c.level, &version, 0, &mask, c.text.data(), static_cast<int>(c.text.size()),
                                            nullptr);
        if (result != 1) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(g_QrEncodedData.byEncoded_Data[0][0]);
    }
    state.counters["version"] = version;
}

void qrencodeEncode(benchmark::State& state, const Case& c) {
    int version = 0;
    for (auto _ : state) {
        QRcode* code = QRcode_encodeString(c.text.c_str(), 0, kQrencodeLevel[c.level], QR_MODE_8, 1);
        if (code == nullptr) {
            state.SkipWithError("qrencode failed");
            break;
        }
        version = code->version;
        benchmark::DoNotOptimize(code->data[0]);
        QRcode_free(code);
    }
    state.counters["version"] = version;
}

}  // namespace

int main(int argc, char** argv) {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("encode/") + c.name + "/velmora").c_str(), velmoraEncode, c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string("encode/") + c.name + "/qrencode").c_str(), qrencodeEncode, c)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
