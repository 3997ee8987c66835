#include "VelmoraCore/AudioCapture/Devices/SystemProgramLauncher.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {

std::optional<std::filesystem::path> SystemProgramLauncher::find(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) {
        return std::nullopt;
    }
    const char* searchPath = std::getenv("PATH");
    std::string folders = searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        std::filesystem::path candidate = std::filesystem::path(folders.substr(start, end - start)) / program;
        struct stat info {};
        if (end > start && stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

void SystemProgramLauncher::startDetached(const std::filesystem::path& executable,
                                          const std::vector<std::string>& arguments) {
    // Everything the child needs is prepared before fork: after it, only calls safe in a forked child
    // of a threaded program.
    const std::string path = executable.string();
    std::vector<std::string> words{path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        return;
    }
    if (child == 0) {
        setsid();
        // The grandchild runs the program; the child ends at once, so nobody has to wait for it.
        if (fork() != 0) {
            _exit(0);
        }
        int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace velmora
