// Loading KOBALT.dll, end to end: the probe starts up in a directory of its own with a chosen
// library beside it (or none) and reports boxes, debug lines and slots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

constexpr int kSlotCount = 131;
constexpr const char* kWithheld = "KOBALT_HFAP_GetAudioStatus"; // see sdk_exports_all_but_one.cpp

struct ProbeReport {
    std::string output; // everything the probe wrote, for failure messages
    int exitCode = -1;
    std::vector<std::pair<std::string, std::string>> boxes; // text, caption
    std::vector<std::string> debug;
    std::vector<std::pair<std::string, bool>> slots; // in slot order
    std::vector<std::pair<std::string, int>> calls;
    bool module = false;
    int resolved = -1;

    std::vector<std::string> MissLines() const {
        std::vector<std::string> lines;
        for (const std::string& line : debug) {
            if (line.ends_with(" Miss")) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    long ReadyLineCount() const {
        return std::count(debug.begin(), debug.end(), "[KOBALT][API]Ready");
    }
    // 1-based position of the slot, 0 when the probe did not list it.
    int SlotNumber(const std::string& name) const {
        for (std::size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].first == name) {
                return static_cast<int>(i) + 1;
            }
        }
        return 0;
    }
    // Index of the line in `debug`, or -1.
    long IndexOf(const std::string& line) const {
        auto it = std::find(debug.begin(), debug.end(), line);
        return it == debug.end() ? -1 : static_cast<long>(it - debug.begin());
    }
};

ProbeReport Parse(std::string output, int exitCode) {
    ProbeReport report;
    report.exitCode = exitCode;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "box") {
            const auto tab = rest.find('\t');
            report.boxes.emplace_back(rest.substr(0, tab),
                                      tab == std::string::npos ? "" : rest.substr(tab + 1));
        } else if (key == "debug") {
            report.debug.push_back(rest);
        } else if (key == "slot" || key == "call") {
            const auto blank = rest.rfind(' ');
            const std::string name = rest.substr(0, blank);
            const int value = std::stoi(rest.substr(blank + 1));
            if (key == "slot") {
                report.slots.emplace_back(name, value != 0);
            } else {
                report.calls.emplace_back(name, value);
            }
        } else if (key == "module") {
            report.module = rest == "1";
        } else if (key == "resolved") {
            report.resolved = std::stoi(rest);
        }
    }
    report.output = std::move(output);
    return report;
}

// A fresh directory, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "kobalt-sdk-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) {
            fs::remove_all(m_path, ignored);
        }
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// Runs `command` through the shell and returns its output and exit code.
std::pair<std::string, int> Run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {output, -1};
    }
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, got);
    }
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Copies the probe, and `library` as KOBALT.dll unless it is empty, into a fresh directory and
// runs the probe there.
std::optional<ProbeReport> RunProbe(const std::string& library, bool callSlots) {
    TempDir dir;
    if (dir.Path().empty()) {
        ADD_FAILURE() << "no temporary directory";
        return std::nullopt;
    }
    const fs::path probe = dir.Path() / "sdk_probe";
    fs::copy_file(KOBALT_SDK_PROBE, probe);
    fs::permissions(probe, fs::perms::owner_all);
    if (!library.empty()) {
        fs::copy_file(library, dir.Path() / "KOBALT.dll");
    }
    // Without LD_LIBRARY_PATH only the probe's own folder can supply KOBALT.dll. A probe that
    // hangs (a message box nobody answered) is killed and exits with 124.
    auto [output, exitCode] = Run("env -u LD_LIBRARY_PATH timeout 60 '" + probe.string() + "'" +
                                  (callSlots ? " --call" : ""));
    return Parse(std::move(output), exitCode);
}

std::string Dump(const ProbeReport& report) {
    return "probe output:\n" + report.output;
}

TEST(SdkBindingLoad, AbsentLibraryShowsOneBoxAndLeavesEverySlotNull) {
    const auto report = RunProbe("", false);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->exitCode, 0) << Dump(*report);

    const std::vector<std::pair<std::string, std::string>> expectedBoxes{
        {"Load KOBALT.dll Fail", "ERROR"}};
    EXPECT_EQ(report->boxes, expectedBoxes) << Dump(*report);
    EXPECT_TRUE(report->MissLines().empty()) << Dump(*report);
    EXPECT_EQ(report->ReadyLineCount(), 0) << Dump(*report);
    EXPECT_FALSE(report->module);
    EXPECT_EQ(report->slots.size(), static_cast<std::size_t>(kSlotCount));
    EXPECT_EQ(report->resolved, 0) << Dump(*report);
}

TEST(SdkBindingLoad, LibraryWithoutEntryPointsLogsEveryNameThenReady) {
    const auto report = RunProbe(KOBALT_SDK_EXPORTS_NONE, false);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->exitCode, 0) << Dump(*report);

    EXPECT_TRUE(report->boxes.empty()) << Dump(*report);
    EXPECT_TRUE(report->module) << "Load returns true once the library is loaded";
    EXPECT_EQ(report->resolved, 0) << Dump(*report);

    // One line per name, in slot order, from the first slot to the last.
    ASSERT_EQ(report->slots.size(), static_cast<std::size_t>(kSlotCount));
    const std::vector<std::string> miss = report->MissLines();
    ASSERT_EQ(miss.size(), static_cast<std::size_t>(kSlotCount)) << Dump(*report);
    for (std::size_t i = 0; i < miss.size(); ++i) {
        EXPECT_EQ(miss[i], report->slots[i].first + " Miss");
    }
    EXPECT_EQ(miss.front(), "KOBALT_LoadProfileDrvs Miss");
    EXPECT_EQ(miss.back(), "KOBALT_RegistryWnd Miss");

    // Ready comes once, after the last look-up.
    EXPECT_EQ(report->ReadyLineCount(), 1) << Dump(*report);
    EXPECT_GT(report->IndexOf("[KOBALT][API]Ready"), report->IndexOf(miss.back()));
}

TEST(SdkBindingLoad, OneMissingExportLogsOnlyThatNameAndFillsTheRest) {
    const auto report = RunProbe(KOBALT_SDK_EXPORTS_ALL_BUT_ONE, true);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->exitCode, 0) << Dump(*report);

    EXPECT_TRUE(report->boxes.empty()) << Dump(*report);
    EXPECT_EQ(report->MissLines(), std::vector<std::string>{std::string(kWithheld) + " Miss"})
        << Dump(*report);
    EXPECT_EQ(report->ReadyLineCount(), 1) << Dump(*report);
    EXPECT_TRUE(report->module);
    EXPECT_EQ(report->resolved, kSlotCount - 1);
    for (const auto& [name, resolved] : report->slots) {
        EXPECT_EQ(resolved, name != kWithheld) << name;
    }

    // Each resolved slot holds the export of its own name, which answers with its slot number;
    // the withheld one answers with its failure value, neither 0 nor 1.
    ASSERT_FALSE(report->calls.empty()) << Dump(*report);
    for (const auto& [name, result] : report->calls) {
        if (name == kWithheld) {
            EXPECT_NE(result, 0);
            EXPECT_NE(result, 1);
        } else {
            EXPECT_EQ(result, report->SlotNumber(name)) << name;
        }
    }
}

TEST(SdkBindingLoad, SimulatedLibraryResolvesEverySlot) {
    ASSERT_TRUE(fs::exists(KOBALT_SIM_LIBRARY)) << KOBALT_SIM_LIBRARY << " was not built";
    const auto report = RunProbe(KOBALT_SIM_LIBRARY, false);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->exitCode, 0) << Dump(*report);

    EXPECT_TRUE(report->boxes.empty()) << Dump(*report);
    EXPECT_TRUE(report->MissLines().empty()) << Dump(*report);
    EXPECT_EQ(report->ReadyLineCount(), 1) << Dump(*report);
    EXPECT_EQ(report->resolved, kSlotCount) << Dump(*report);
}

} // namespace
