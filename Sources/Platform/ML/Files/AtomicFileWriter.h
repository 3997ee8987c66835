#pragma once
// Writes a file so that it appears whole or not at all: the bytes go to a temporary file beside the
// target, every write and the final flush and close are checked (a full disk shows up there, not as a
// short file), and only then does a rename put the file in place. A writer dropped without commit()
// removes its temporary file and leaves the target as it was.

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace ml {

class AtomicFileWriter {
public:
    /// Creates the temporary file in the target's folder (which must exist). Failures of this and every
    /// other member throw std::filesystem::filesystem_error naming the target and the system's reason.
    explicit AtomicFileWriter(std::filesystem::path target);
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void write(const void* data, std::size_t size);
    void write(std::string_view text) { write(text.data(), text.size()); }

    /// Flushes the bytes to the disk, closes the file and renames it over the target.
    void commit();

    /// The whole file in one call.
    static void writeFile(const std::filesystem::path& target, std::string_view contents);

private:
    [[noreturn]] void fail(const char* what, int error);
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
};

} // namespace ml
