#pragma once
// The user-defaults store: one JSON object, key → JSON value, kept in memory and, for the standard
// store, in $XDG_CONFIG_HOME/velmora/defaults.json (else ~/.config/velmora/defaults.json). Values keep
// their JSON type, so a reader asking for a number finds no number where a string is stored.
// Every write replaces the file atomically; a write that fails keeps the value in memory and warns.

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace velmora {

class DefaultsStore {
public:
    /// A store in memory only, for tests and tools.
    DefaultsStore();
    /// A store kept in `file`. A missing file starts empty. A file that is not a JSON object is moved
    /// aside to "<file>.broken" (one warning on standard error) and the store starts empty; a file that
    /// cannot be read or moved aside is never overwritten.
    explicit DefaultsStore(std::filesystem::path file);
    ~DefaultsStore();
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;

    /// The standard store's file, from the environment.
    static std::filesystem::path standardFile();
    static std::shared_ptr<DefaultsStore> standard();

    /// The string stored under `key`; absent for another type or no value.
    std::optional<std::string> string(const std::string& key) const;
    /// A number stored under `key` as a 32-bit float; absent for another type, no value or a number
    /// beyond the float range.
    std::optional<float> floatValue(const std::string& key) const;
    bool contains(const std::string& key) const;

    void setString(const std::string& key, const std::string& value);
    /// Stored in the float's shortest decimal form (0.02 is written as 0.02).
    void setFloat(const std::string& key, float value);
    void remove(const std::string& key);

    /// The file, or none for a store in memory.
    const std::optional<std::filesystem::path>& file() const { return file_; }

private:
    struct Values;
    void load();
    void save();

    mutable std::mutex mutex_;
    std::unique_ptr<Values> values_;
    std::optional<std::filesystem::path> file_;
    bool writable_ = true;
};

} // namespace velmora
