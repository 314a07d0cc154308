// Google Benchmark figures of the picture stages against the simulated reader: the photo,
// each face, all three stages of one request, and the floor of the same run (JPEG encoding
// of the already decoded photo and the already composed faces, at quality 100).
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/picture_work.h"
#include "imaging/imaging_context.h"
#include "platform/working_memory.h"

using namespace vorn;

namespace {

struct Sample {
    std::string directory = ProgramDirectory();
    CIdBufferW card;
    bool ready = ReadSampleCard(directory, card);
};

Sample& TheSample() {
    static Sample sample;
    return sample;
}

void Stage(benchmark::State& state, int which) {
    Sample& sample = TheSample();
    StageBench bench(sample.directory, sample.card);
    if (!sample.ready || !bench.ready()) {
        state.SkipWithError("the simulated card or its photo could not be read");
        return;
    }
    std::string text;
    for (auto _ : state) {
        const bool ok = which < 0 ? bench.Photo(text) : bench.Face(which, text);
        if (!ok) {
            state.SkipWithError("the stage failed");
            break;
        }
        benchmark::DoNotOptimize(text.data());
    }
}

void BM_PhotoStage(benchmark::State& state) {
    Stage(state, -1);
}
void BM_FrontFace(benchmark::State& state) {
    Stage(state, kFrontSide);
}
void BM_BackFace(benchmark::State& state) {
    Stage(state, kBackSide);
}

void BM_PictureStages(benchmark::State& state) {
    Sample& sample = TheSample();
    if (!sample.ready) {
        state.SkipWithError("the simulated card could not be read");
        return;
    }
    for (auto _ : state) {
        PictureTexts texts;
        if (!RunAllStages(sample.directory, sample.card, texts)) {
            state.SkipWithError("the picture stages failed");
            break;
        }
        benchmark::DoNotOptimize(texts.back.data());
    }
}

void BM_EncodingFloor(benchmark::State& state) {
    Sample& sample = TheSample();
    StageBench bench(sample.directory, sample.card);
    if (!sample.ready || !bench.ready()) {
        state.SkipWithError("the simulated card or its photo could not be read");
        return;
    }
    for (auto _ : state) {
        if (!bench.EncodeOnly()) {
            state.SkipWithError("encoding failed");
            break;
        }
    }
}

constexpr int kRepetitions = 15;

BENCHMARK(BM_PhotoStage)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FrontFace)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_BackFace)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PictureStages)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_EncodingFloor)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    // The allocator is set up as the program sets it up at start.
    KeepFreedMemoryForReuse();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
