#include "VelmoraCore/History/HistoryListing.h"

#include "OrvaneCore/Text/Encoding.h"
#include "VelmoraCore/Recording/SessionFolderName.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;
using namespace std::chrono;

const HistoryDate HistoryListing::distantPast = HistoryDate(sys_days(year(1) / January / 1));

namespace {

HistoryDate sessionDate(const fs::path& folder, const std::string& name) {
    if (const auto named = sessionFolderDate(name)) {
        return time_point_cast<microseconds>(*named);
    }
    std::error_code error;
    const auto modified = fs::last_write_time(folder, error);
    if (error) {
        return HistoryListing::distantPast;
    }
    return time_point_cast<microseconds>(file_clock::to_sys(modified));
}

/// Closes the descriptor when the read is done.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

} // namespace

std::vector<HistorySession> HistoryListing::loadSessions(const fs::path& saveDirectory) {
    std::vector<HistorySession> sessions;
    std::error_code error;
    for (auto it = fs::directory_iterator(saveDirectory, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const fs::path& folder = it->path();
        std::string name = folder.filename().string();
        if (name.starts_with('.')) {
            continue;
        }
        // The entry itself: a link to a folder is not a folder, and an entry whose kind cannot be read
        // is left out.
        std::error_code kindError;
        if (it->symlink_status(kindError).type() != fs::file_type::directory || kindError) {
            continue;
        }
        std::error_code existsError;
        if (!fs::exists(fs::status(folder / transcriptFileName, existsError)) || existsError) {
            continue;
        }
        const HistoryDate date = sessionDate(folder, name);
        sessions.push_back(HistorySession{std::move(name), folder, date, std::nullopt});
    }
    if (error) {
        // A listing that fails part way is a listing that failed.
        return {};
    }
    std::stable_sort(sessions.begin(), sessions.end(),
                     [](const HistorySession& a, const HistorySession& b) { return a.date > b.date; });
    return sessions;
}

std::optional<std::string> HistoryListing::readTranscript(const fs::path& folder) {
    const fs::path path = folder / transcriptFileName;
    // Non-blocking, so a named pipe in its place cannot hold the caller; only a regular file is read.
    FileDescriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat info {};
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(file.fd, buffer, sizeof buffer);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    if (!orvane::text::isValidUtf8(text)) {
        return std::nullopt;
    }
    return text;
}

std::string HistoryListing::previewText(const HistorySession& session) {
    const auto text = readTranscript(session.folder);
    if (!text) {
        return "";
    }
    std::size_t start = 0;
    while (start < text->size()) {
        const std::size_t end = std::min(text->find('\n', start), text->size());
        if (end > start) {
            return text->substr(start, end - start);
        }
        start = end + 1;
    }
    return emptyPreviewText;
}

HistorySession HistoryListing::select(const HistorySession& session) {
    HistorySession selected = session;
    selected.transcriptText = readTranscript(session.folder).value_or(unreadableTranscriptText);
    return selected;
}

std::string HistoryListing::detailText(const HistorySession& session) {
    return canCopy(session) ? *session.transcriptText : emptyTranscriptText;
}

bool HistoryListing::canCopy(const HistorySession& session) {
    return session.transcriptText && !session.transcriptText->empty();
}

std::string HistoryListing::dateText(HistoryDate date) {
    const std::time_t time = static_cast<std::time_t>(floor<seconds>(date).time_since_epoch().count());
    std::tm local{};
    tzset();
    localtime_r(&time, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}

} // namespace velmora
