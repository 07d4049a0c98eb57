// Throughput of the receive assembly: the device's whole answer to a read (32 reports,
// 264 bytes), clean and with noise between the reports, fed through the assembler.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "Frame.h"
#include "RxAssembler.h"

namespace {

std::string Answer(bool noisy) {
    std::mt19937 rng(7);
    std::string stream;
    for (int entry = 1; entry <= 32; ++entry) {
        keltrove::Frame frame{};
        keltrove::SetEntryFrame(frame, keltrove::Command::EntryReport,
                                static_cast<std::uint8_t>(entry),
                                keltrove::AlignValue(std::to_string(entry)));
        stream.append(frame.begin(), frame.end());
        for (int i = 0; noisy && i < 4; ++i) stream.push_back(static_cast<char>(2 + rng() % 250));
    }
    return stream;
}

void Assemble(benchmark::State& state, bool noisy) {
    const std::string stream = Answer(noisy);
    keltrove::CRxAssembler assembler;
    std::size_t frames = 0;
    for (auto _ : state) {
        for (char c : stream) frames += assembler.Push(static_cast<std::uint8_t>(c)).frame ? 1 : 0;
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["frames/answer"] =
        static_cast<double>(frames) / static_cast<double>(state.iterations());
}

void BM_AssembleCleanAnswer(benchmark::State& state) {
    Assemble(state, false);
}
void BM_AssembleNoisyAnswer(benchmark::State& state) {
    Assemble(state, true);
}

}  // namespace

BENCHMARK(BM_AssembleCleanAnswer);
BENCHMARK(BM_AssembleNoisyAnswer);
BENCHMARK_MAIN();
