// Gives the test program a runtime folder of its own (a fresh, short one under /tmp), so that its
// message queues and control sockets never meet those of a console or another test program
// running at the same time, and never fall back to the user's home folder. Processes the program
// starts inherit it.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct PrivateRuntimeFolder {
    PrivateRuntimeFolder() {
        char pattern[] = "/tmp/kobalt-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            m_folder = pattern;
            setenv("XDG_RUNTIME_DIR", pattern, 1);
        }
    }
    ~PrivateRuntimeFolder() {
        std::error_code ignored;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ignored);
    }
    PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
    PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

    std::string m_folder;
};

// Before the program's own statics, so the library finds the same folder as the queues.
PrivateRuntimeFolder s_folder __attribute__((init_priority(150)));

} // namespace
