// The whole program as a person starts it: start-up time and peak memory of KOBALTDemo playing a
// short script, against an empty program built the same way, in the same run. Each iteration
// starts one process and waits for it; the time is the wall time from spawn to exit and
// `peak_rss_kib` the child's peak resident memory.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Run {
    double seconds = 0;
    long peakRssKib = 0;
    int status = -1;
};

// Starts `argv` with `extraEnv` added to this process's environment and waits for it; its
// output goes to /dev/null.
Run Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e)
        env.push_back(*e);
    for (const std::string& e : extraEnv)
        env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) {
        int status = 0;
        rusage usage{};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        run.status = status;
        run.peakRssKib = usage.ru_maxrss;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// A private runtime folder, so the console's sockets never meet another program's.
const std::string& RuntimeFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kobalt-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

void Measure(benchmark::State& state, const std::vector<std::string>& argv,
             const std::vector<std::string>& extraEnv) {
    long peak = 0;
    for (auto _ : state) {
        const Run run = Spawn(argv, extraEnv);
        if (!WIFEXITED(run.status) || WEXITSTATUS(run.status) != 0) {
            state.SkipWithError("the program did not end with status 0");
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakRssKib);
    }
    state.counters["peak_rss_kib"] = static_cast<double>(peak);
}

std::vector<std::string> ConsoleEnv() {
    return {"XDG_RUNTIME_DIR=" + RuntimeFolder(), "KOBALT_TIME_SCALE=0.01"};
}

std::string Script(const char* name) {
    return std::string(KOBALT_BENCH_SCRIPTS) + "/" + name;
}

// The baseline: a program that does nothing.
void BM_EmptyProgram(benchmark::State& state) {
    Measure(state, {KOBALT_EMPTY_PROGRAM}, {});
}

// Start-up: the library loaded, the main window shown, then QUIT.
void BM_ConsoleStartQuit(benchmark::State& state) {
    Measure(state, {KOBALT_CONSOLE, "--script", Script("quit.script")}, ConsoleEnv());
}

// At rest: the stack started and a phone connected.
void BM_ConsoleAtRest(benchmark::State& state) {
    Measure(state, {KOBALT_CONSOLE, "--script", Script("rest.script")}, ConsoleEnv());
}

// The phonebook of a phone with N contacts downloaded and listed (each contact has a cell
// number, every third a home and every fifth a work number: 1.53 rows a contact).
void BM_ConsolePhonebook(benchmark::State& state) {
    const std::string script =
        RuntimeFolder() + "/phonebook-" + std::to_string(state.range(0)) + ".script";
    if (std::FILE* file = std::fopen(script.c_str(), "w")) {
        std::fprintf(file, "phone generate-contacts %ld\n", static_cast<long>(state.range(0)));
        if (std::FILE* rest = std::fopen(Script("phonebook.script").c_str(), "r")) {
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, rest)) > 0;)
                std::fwrite(buffer, 1, n, file);
            std::fclose(rest);
        }
        std::fclose(file);
    }
    Measure(state, {KOBALT_CONSOLE, "--script", script}, ConsoleEnv());
}

} // namespace

BENCHMARK(BM_EmptyProgram)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConsoleStartQuit)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConsoleAtRest)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConsolePhonebook)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
