#pragma once
// Helpers shared by every test executable: where the checked-in test data lives, where the
// built tools are, and self-deleting temporary folders.

#include <filesystem>
#include <string>

namespace testsupport {

/// Tests/Data/<relative> in the source tree.
std::filesystem::path dataPath(const std::string& relative = "");

/// build/bin/<name>: a developer tool built with the project.
std::filesystem::path toolPath(const std::string& name);

/// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

/// Whole file contents as bytes; writes a file, creating its parent folders.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& contents);

/// Runs a shell command; returns its exit status and fills `output` with its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);

/// `text` in single quotes for the shell, as one word whatever it holds.
std::string shellQuoted(const std::string& text);

/// An environment variable's value; empty when it is not set.
std::string environmentValue(const char* name);

/// Opens (creating it) and locks `path` exclusively, waiting for other processes that hold it, so test
/// processes take turns with a shared service. The open descriptor, whose closing releases the lock;
/// -1 on failure.
int lockFileExclusively(const std::string& path);

} // namespace testsupport
