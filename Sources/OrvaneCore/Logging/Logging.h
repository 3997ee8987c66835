#pragma once
// The one process-wide log sink of the module and the speech engine. A message is built from any items,
// kept only when the level allows it, and handed to the registered callback, or, without one, written
// to standard error under the category "Orvane" (our stand-in for the system log).

#include "OrvaneCore/Logging/Describing.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class Logging {
public:
    /// Ordered: a message is emitted when the level is not `none` and the message's level is at or above it.
    enum class LogLevel : int { debug = 1, info = 2, error = 3, none = 4 };
    /// Accepts exactly the raw values 1 to 4.
    static std::optional<LogLevel> logLevelFromRawValue(int rawValue);

    /// The type of a system-log entry; `fault` counts as an error, `defaultType` as info.
    enum class LogType { defaultType, info, debug, error, fault };
    static std::string_view logTypeName(LogType type);

    using Callback = std::function<void(const std::string&)>;

    /// How the items of one message are joined: the separator between items, the terminator after them.
    struct Format {
        std::string_view separator = " ";
        std::optional<std::string_view> terminator;
    };

    /// The instance, created once on first use.
    static Logging& shared();

    LogLevel logLevel() const;
    void setLogLevel(LogLevel level);
    /// The registered callback, or an empty function when none is registered.
    Callback loggingCallback() const;
    /// An empty function unregisters the callback.
    void setLoggingCallback(Callback callback);

    /// Items are described only after the level test passes, so a dropped message costs one lock.
    template <class... Items> void log(LogType type, const Format& format, const Items&... items) {
        auto admitted = admit(type);
        if (!admitted) {
            return;
        }
        std::string text;
        [[maybe_unused]] bool first = true;
        ((appendItem(text, describing(items), format.separator, first)), ...);
        if (format.terminator) {
            text += *format.terminator;
        }
        deliver(*admitted, type, text);
    }

    // Process-wide operations on the shared instance.
    static bool isLoggingEnabled();
    static bool isLoggingEnabled(LogLevel level);
    static void updateLogLevel(LogLevel level);
    /// Sets, replaces or (with an empty function) clears the callback.
    static void updateCallback(Callback callback);

    template <class... Items> static void debug(const Items&... items) {
        shared().log(LogType::debug, Format{}, items...);
    }
    template <class... Items> static void debug(const Format& format, const Items&... items) {
        shared().log(LogType::debug, format, items...);
    }
    template <class... Items> static void info(const Items&... items) {
        shared().log(LogType::info, Format{}, items...);
    }
    template <class... Items> static void info(const Format& format, const Items&... items) {
        shared().log(LogType::info, format, items...);
    }
    template <class... Items> static void error(const Items&... items) {
        shared().log(LogType::error, Format{}, items...);
    }
    template <class... Items> static void error(const Format& format, const Items&... items) {
        shared().log(LogType::error, format, items...);
    }

    /// Writes one entry to the stand-in for the system log (standard error) whatever the level:
    /// "[<category>] [<type>] <text>", or "[<type>] <text>" for the default logger with no category.
    static void writeToSystemLog(LogType type, std::string_view text, std::string_view category = "Orvane");

    /// Logs "<prefix> - Memory usage: <MiB> MB" at debug type.
    static void logCurrentMemoryUsage(std::string_view prefix);
    /// The process's resident size in whole mebibytes; 0 when it cannot be read.
    static std::uint64_t getMemoryUsage();
    /// One row of the timing report: `time` in seconds, `runs` a count, `total` in milliseconds.
    static std::string formatTimeWithPercentage(double time, double runs, double total);

private:
    struct Sink {
        std::shared_ptr<const Callback> callback;
    };

    Logging() = default;
    /// Copies level and callback under the lock; the sink to use when the message passes the level test.
    std::optional<Sink> admit(LogType type) const;
    static void deliver(const Sink& sink, LogType type, const std::string& text);
    static void appendItem(std::string& text, const std::string& item, std::string_view separator,
                           bool& first);

    mutable std::mutex mutex_;
    LogLevel logLevel_ = LogLevel::none;
    std::shared_ptr<const Callback> callback_;
};

} // namespace orvane
