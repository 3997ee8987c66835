#include "OrvaneCore/External/Hub/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

void AtomicFile::write(const std::filesystem::path& file, std::string_view contents) {
    namespace fs = std::filesystem;
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        throw fs::filesystem_error("cannot create a temporary file", file,
                                   std::error_code(errno, std::generic_category()));
    }
    auto fail = [&](const char* what) {
        std::error_code code(errno, std::generic_category());
        close(fd);
        unlink(temporary.c_str());
        throw fs::filesystem_error(what, file, code);
    };
    size_t written = 0;
    while (written < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("cannot write");
        }
        written += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0) {
        fail("cannot flush");
    }
    fchmod(fd, 0644); // mkstemp makes the file private; the record is an ordinary file
    if (close(fd) != 0) {
        std::error_code code(errno, std::generic_category());
        unlink(temporary.c_str());
        throw fs::filesystem_error("cannot write", file, code);
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::error_code code(errno, std::generic_category());
        unlink(temporary.c_str());
        throw fs::filesystem_error("cannot replace", file, code);
    }
}

} // namespace orvane
