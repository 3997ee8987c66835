#include "OrvaneCore/Logging/Logging.h"

#include "OrvaneCore/Concurrency/LockedAccess.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace orvane {

namespace {

Logging::LogLevel messageLevel(Logging::LogType type) {
    switch (type) {
    case Logging::LogType::debug:
        return Logging::LogLevel::debug;
    case Logging::LogType::error:
    case Logging::LogType::fault:
        return Logging::LogLevel::error;
    case Logging::LogType::info:
    case Logging::LogType::defaultType:
        break;
    }
    return Logging::LogLevel::info;
}

bool emits(Logging::LogLevel current, Logging::LogLevel message) {
    return current != Logging::LogLevel::none && message >= current;
}

// One write per entry, so lines of concurrent threads do not interleave.
void writeToStandardError(const std::string& line) {
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return; // logging never fails towards its caller
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

} // namespace

std::optional<Logging::LogLevel> Logging::logLevelFromRawValue(int rawValue) {
    if (rawValue < static_cast<int>(LogLevel::debug) || rawValue > static_cast<int>(LogLevel::none)) {
        return std::nullopt;
    }
    return static_cast<LogLevel>(rawValue);
}

std::string_view Logging::logTypeName(LogType type) {
    switch (type) {
    case LogType::info:
        return "info";
    case LogType::debug:
        return "debug";
    case LogType::error:
        return "error";
    case LogType::fault:
        return "fault";
    case LogType::defaultType:
        break;
    }
    return "default";
}

Logging& Logging::shared() {
    // Never destroyed: threads and static objects may still log while the process exits.
    static Logging* instance = new Logging();
    return *instance;
}

Logging::LogLevel Logging::logLevel() const {
    return lockedCopy(mutex_, logLevel_);
}

void Logging::setLogLevel(LogLevel level) {
    lockedStore(mutex_, logLevel_, level);
}

Logging::Callback Logging::loggingCallback() const {
    std::lock_guard lock(mutex_);
    return callback_ ? *callback_ : Callback{};
}

void Logging::setLoggingCallback(Callback callback) {
    auto replacement = callback ? std::make_shared<const Callback>(std::move(callback)) : nullptr;
    {
        std::lock_guard lock(mutex_);
        callback_.swap(replacement);
    }
    // The previous callback is released here, outside the lock, since its captures may log.
}

std::optional<Logging::Sink> Logging::admit(LogType type) const {
    std::lock_guard lock(mutex_);
    if (!emits(logLevel_, messageLevel(type))) {
        return std::nullopt;
    }
    return Sink{callback_};
}

void Logging::deliver(const Sink& sink, LogType type, const std::string& text) {
    if (sink.callback) {
        (*sink.callback)(text);
        return;
    }
    writeToSystemLog(type, text);
}

void Logging::writeToSystemLog(LogType type, std::string_view text, std::string_view category) {
    std::string line;
    line.reserve(text.size() + category.size() + 16);
    if (!category.empty()) {
        line += '[';
        line += category;
        line += "] ";
    }
    line += '[';
    line += logTypeName(type);
    line += "] ";
    line += text;
    line += '\n';
    writeToStandardError(line);
}

void Logging::appendItem(std::string& text, const std::string& item, std::string_view separator,
                         bool& first) {
    if (!first) {
        text += separator;
    }
    first = false;
    text += item;
}

bool Logging::isLoggingEnabled() {
    return shared().logLevel() != LogLevel::none;
}

bool Logging::isLoggingEnabled(LogLevel level) {
    return emits(shared().logLevel(), level);
}

void Logging::updateLogLevel(LogLevel level) {
    shared().setLogLevel(level);
}

void Logging::updateCallback(Callback callback) {
    shared().setLoggingCallback(std::move(callback));
}

void Logging::logCurrentMemoryUsage(std::string_view prefix) {
    shared().log(LogType::debug, Format{},
                 std::string(prefix) + " - Memory usage: " + std::to_string(getMemoryUsage()) + " MB");
}

std::uint64_t Logging::getMemoryUsage() {
    // /proc/self/statm: total program size, then resident set size, both in pages.
    std::ifstream statm("/proc/self/statm");
    std::uint64_t sizePages = 0;
    std::uint64_t residentPages = 0;
    if (!(statm >> sizePages >> residentPages)) {
        return 0;
    }
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0) {
        return 0;
    }
    return (residentPages * static_cast<std::uint64_t>(pageSize)) >> 20;
}

std::string Logging::formatTimeWithPercentage(double time, double runs, double total) {
    double milliseconds = time * 1000;
    double perRun = runs > 0 ? milliseconds / runs : 0;
    double percentage = milliseconds / total * 100;
    // The C library prints a NaN with its sign bit set as "-nan" (0 / 0 yields one on x86); the report
    // shows every NaN as "nan".
    for (double* value : {&milliseconds, &runs, &perRun, &percentage}) {
        if (std::isnan(*value)) {
            *value = std::fabs(*value);
        }
    }
    // Four doubles in %f form need at most about 1,300 characters together.
    char buffer[1400];
    int length = std::snprintf(buffer, sizeof buffer, "%8.2f ms / %6.0f runs (%8.2f ms/run) %5.2f%%",
                               milliseconds, runs, perRun, percentage);
    return std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace orvane
