#include "VelmoraCore/Settings/DefaultsStore.h"

#include "OrvaneCore/External/Hub/Files/AtomicFile.h"
#include "OrvaneCore/System/FileManager.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace velmora {

namespace fs = std::filesystem;

struct DefaultsStore::Values {
    nlohmann::json object = nlohmann::json::object();
};

namespace {

void warn(const std::string& text) {
    std::cerr << "warning: " << text << std::endl;
}

// The first free name of "<file>.broken", "<file>.broken.2", …, so an older broken file stays too.
fs::path brokenFileName(const fs::path& file) {
    fs::path candidate = file.string() + ".broken";
    for (int n = 2; fs::exists(fs::symlink_status(candidate)); ++n) {
        candidate = file.string() + ".broken." + std::to_string(n);
    }
    return candidate;
}

} // namespace

DefaultsStore::DefaultsStore() : values_(std::make_unique<Values>()) {}

DefaultsStore::DefaultsStore(fs::path file) : values_(std::make_unique<Values>()), file_(std::move(file)) {
    load();
}

DefaultsStore::~DefaultsStore() = default;

fs::path DefaultsStore::standardFile() {
    fs::path configHome;
    if (const char* configured = std::getenv("XDG_CONFIG_HOME"); configured && configured[0] == '/') {
        configHome = configured;
    } else {
        configHome = fs::path(orvane::FileManager::resolveAbsolutePath("~")) / ".config";
    }
    return configHome / "velmora" / "defaults.json";
}

std::shared_ptr<DefaultsStore> DefaultsStore::standard() {
    return std::make_shared<DefaultsStore>(standardFile());
}

void DefaultsStore::load() {
    std::ifstream input(*file_, std::ios::binary);
    if (!input) {
        if (errno != ENOENT) {
            warn("cannot read the settings file " + file_->string() + " (" + std::strerror(errno) +
                 "); settings changes will not be saved");
            writable_ = false;
        }
        return;
    }
    std::stringstream text;
    text << input.rdbuf();
    nlohmann::json parsed = nlohmann::json::parse(text.str(), nullptr, false);
    if (parsed.is_object()) {
        values_->object = std::move(parsed);
        return;
    }
    // Start afresh but keep the unreadable file for the user.
    const fs::path aside = brokenFileName(*file_);
    std::error_code error;
    fs::rename(*file_, aside, error);
    if (error) {
        warn("the settings file " + file_->string() + " is not a JSON object and cannot be moved aside (" +
             error.message() + "); starting with default settings that will not be saved");
        writable_ = false;
        return;
    }
    warn("the settings file " + file_->string() + " is not a JSON object; kept as " + aside.string() +
         ", starting with default settings");
}

void DefaultsStore::save() {
    if (!file_ || !writable_) {
        return;
    }
    try {
        fs::create_directories(file_->parent_path());
        orvane::AtomicFile::write(*file_, values_->object.dump(2) + "\n");
    } catch (const std::exception& error) {
        warn(std::string("cannot save the settings: ") + error.what());
    }
}

std::optional<std::string> DefaultsStore::string(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto found = values_->object.find(key);
    if (found == values_->object.end() || !found->is_string()) {
        return std::nullopt;
    }
    return found->get<std::string>();
}

std::optional<float> DefaultsStore::floatValue(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto found = values_->object.find(key);
    if (found == values_->object.end() || !found->is_number()) {
        return std::nullopt;
    }
    const double value = found->get<double>();
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

bool DefaultsStore::contains(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return values_->object.contains(key);
}

void DefaultsStore::setString(const std::string& key, const std::string& value) {
    std::lock_guard lock(mutex_);
    values_->object[key] = value;
    save();
}

void DefaultsStore::setFloat(const std::string& key, float value) {
    std::lock_guard lock(mutex_);
    if (!std::isfinite(value)) {
        values_->object[key] = nullptr; // JSON has no such number; it reads back as absent
    } else {
        // The double nearest the float's shortest decimal, so the file shows 0.02, not 0.0199999995…
        char text[32];
        auto end = std::to_chars(text, text + sizeof text, value).ptr;
        values_->object[key] = std::strtod(std::string(text, end).c_str(), nullptr);
    }
    save();
}

void DefaultsStore::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_->object.erase(key) > 0) {
        save();
    }
}

} // namespace velmora
