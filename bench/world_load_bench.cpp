// Loading a world file of N devices (ParseWorld: the devices are added to the world, each
// checked against those before it), against reading the same lines into devices without adding
// them to a world, in the same run. Loading must grow linearly with N, as the baseline does.

#include "sim/world/Words.h"
#include "sim/world/WorldFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

std::string WorldText(int64_t count) {
    std::string text;
    char line[96];
    for (int64_t i = 0; i < count; ++i) {
        const auto n = static_cast<unsigned long long>(i);
        std::snprintf(
            line, sizeof line,
            "device 00:%02llX:%02llX:%02llX:%02llX:%02llX \"Phone %llu\" hf,a2dp paired\n",
            (n >> 32) & 0xFF, (n >> 24) & 0xFF, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF, n);
        text += line;
    }
    return text;
}

void BM_LoadWorld(benchmark::State& state) {
    const std::string text = WorldText(state.range(0));
    for (auto _ : state) {
        const kobalt::sim::WorldParse parse = kobalt::sim::ParseWorld(text);
        if (parse.line != 0 ||
            parse.world.Devices().size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError(("not loaded: " + parse.problem).c_str());
            break;
        }
        benchmark::DoNotOptimize(parse.world.Devices().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same lines split into words and read as devices, which are then dropped.
void BM_ParseOnlyBaseline(benchmark::State& state) {
    const std::string text = WorldText(state.range(0));
    for (auto _ : state) {
        std::size_t devices = 0;
        std::string_view rest = text;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            kobalt::sim::SplitResult split = kobalt::sim::SplitWords(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            split.words.erase(split.words.begin());
            devices += kobalt::sim::ParseDeviceFields(split.words).Ok() ? 1 : 0;
        }
        if (devices != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("not parsed");
            break;
        }
        benchmark::DoNotOptimize(devices);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_LoadWorld)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnlyBaseline)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
