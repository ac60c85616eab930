// Gives the test program a message-queue folder of its own, so that the power monitors its main
// windows start never meet those of a console or another test program running at the same time.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct PrivateQueueFolder {
    PrivateQueueFolder() {
        char pattern[] = "/tmp/kobalt-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            m_folder = pattern;
            setenv("XDG_RUNTIME_DIR", pattern, 1);
        }
    }
    ~PrivateQueueFolder() {
        std::error_code ignored;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ignored);
    }
    PrivateQueueFolder(const PrivateQueueFolder&) = delete;
    PrivateQueueFolder& operator=(const PrivateQueueFolder&) = delete;

    std::string m_folder;
};

// Before the program's own statics, so the library finds the same folder as the queues.
PrivateQueueFolder s_folder __attribute__((init_priority(150)));

} // namespace
