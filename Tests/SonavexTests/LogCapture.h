#pragma once
// Collects the engine's log messages for the life of a test at a chosen level, then restores the
// process-wide level and callback.

#include "OrvaneCore/Logging/Logging.h"

#include <mutex>
#include <string>
#include <vector>

class LogCapture {
public:
    explicit LogCapture(orvane::Logging::LogLevel level = orvane::Logging::LogLevel::debug)
        : previousLevel_(orvane::Logging::shared().logLevel()),
          previousCallback_(orvane::Logging::shared().loggingCallback()) {
        orvane::Logging::updateLogLevel(level);
        orvane::Logging::updateCallback([this](const std::string& message) {
            std::lock_guard lock(mutex_);
            lines_.push_back(message);
        });
    }
    ~LogCapture() {
        orvane::Logging::updateCallback(previousCallback_);
        orvane::Logging::updateLogLevel(previousLevel_);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    /// The lines that begin with `prefix`, in order.
    std::vector<std::string> linesStartingWith(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const auto& line : lines()) {
            if (line.rfind(prefix, 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }

private:
    orvane::Logging::LogLevel previousLevel_;
    orvane::Logging::Callback previousCallback_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
