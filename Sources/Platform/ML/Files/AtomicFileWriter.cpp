#include "Platform/ML/Files/AtomicFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ml {

AtomicFileWriter::AtomicFileWriter(fs::path target) : target_(std::move(target)) {
    const fs::path folder = target_.parent_path();
    std::string name = (folder / ("." + target_.filename().string() + ".XXXXXX")).string();
    fd_ = mkstemp(name.data());
    if (fd_ < 0) {
        throw fs::filesystem_error("cannot create a temporary file for", target_,
                                   std::error_code(errno, std::generic_category()));
    }
    temporary_ = name;
    fchmod(fd_, 0644); // mkstemp makes the file private; the result is an ordinary file
}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

void AtomicFileWriter::discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

void AtomicFileWriter::fail(const char* what, int error) {
    discard();
    throw fs::filesystem_error(what, target_, std::error_code(error, std::generic_category()));
}

void AtomicFileWriter::write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        fail("cannot write", EBADF);
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("cannot write", errno);
        }
        bytes += n;
        size -= std::size_t(n);
    }
}

void AtomicFileWriter::commit() {
    if (fd_ < 0) {
        fail("cannot write", EBADF);
    }
    if (fsync(fd_) != 0) {
        fail("cannot flush", errno);
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) {
        fail("cannot write", errno);
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail("cannot replace", errno);
    }
    temporary_.clear();
}

void AtomicFileWriter::writeFile(const fs::path& target, std::string_view contents) {
    AtomicFileWriter writer(target);
    writer.write(contents);
    writer.commit();
}

} // namespace ml
