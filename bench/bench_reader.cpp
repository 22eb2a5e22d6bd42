// Time to read one sampled symbol: format, unmasking, codewords, Reed-Solomon check of every
// block and the segment parse. The matrix is copied in before each read, as the sampling does.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/qr_encode.h"
#include "engine/codec/segment_parser.h"

using namespace velmora;

namespace {

using Matrix = std::array<uint8_t, kMatrixStride * kMatrixStride>;

// Our encoder's symbol of the version at level M, about nine tenths full of text, in the
// reader's orientation (transposed for a mirror image).
bool prepareSymbol(int version, bool transposed, Matrix& reader, int& size) {
    const int capacity = VersionTable[version].dataCodewords[LevelM] * 9 / 10 - 3;
    std::string text;
    for (int i = 0; static_cast<int>(text.size()) < capacity; ++i) text += "Velmora reads QR codes, ";
    text.resize(capacity);
    Matrix display{};
    int usedVersion = version;
    int mask = version % 8;
    if (processEncoder().EncodeSymbol(LevelM, usedVersion, 0, mask, display.data(), size, text.data(),
                                      static_cast<int>(text.size())) != 1) {
        return false;
    }
    for (int x = 0; x < size; ++x) {
        for (int y = 0; y < size; ++y) {
            const uint8_t dark = 1 - display[y * kMatrixStride + x];
            reader[transposed ? y * kMatrixStride + x : x * kMatrixStride + y] = dark;
        }
    }
    return true;
}

void readSymbol(benchmark::State& state, bool transposed) {
    const int version = static_cast<int>(state.range(0));
    static Matrix symbol;
    int size = 0;
    if (!prepareSymbol(version, transposed, symbol, size)) {
        state.SkipWithError("the encoder refused the text");
        return;
    }
    CQR_Decoder& reader = processDecoder();
    for (auto _ : state) {
        for (int x = 0; x < size; ++x) std::memcpy(reader.matrix() + x * kMatrixStride, &symbol[x * kMatrixStride], size);
        const int result = reader.ReadSymbol(size, version);
        benchmark::DoNotOptimize(result);
        if (result < 0) {
            state.SkipWithError("the symbol did not read");
            return;
        }
    }
    state.counters["modules"] = size * size;
    state.counters["bytes"] = reader.textLength();
}

void BM_ReadSymbol(benchmark::State& state) { readSymbol(state, false); }
// A mirror image is read only after the upright reading has failed.
void BM_ReadMirroredSymbol(benchmark::State& state) { readSymbol(state, true); }

BENCHMARK(BM_ReadSymbol)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_ReadMirroredSymbol)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
