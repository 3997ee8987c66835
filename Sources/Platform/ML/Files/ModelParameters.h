#pragma once
// A model's hyper-parameters ("parameters" in model.json): a flat table of integers, numbers, texts,
// integer lists and lists of integer lists. Readers throw std::invalid_argument naming the key when a value
// is missing or of another kind, so a kind's constructor can read without checking first.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ml {

class ModelParameters {
public:
    ModelParameters();
    ModelParameters(const ModelParameters& other);
    ModelParameters& operator=(const ModelParameters& other);
    ModelParameters(ModelParameters&&) noexcept;
    ModelParameters& operator=(ModelParameters&&) noexcept;
    ~ModelParameters();

    /// Parses a JSON object; throws std::invalid_argument when the text is not one.
    static ModelParameters fromJson(const std::string& jsonObject);
    /// The table as a JSON object.
    std::string toJson() const;

    bool contains(const std::string& key) const;

    /// An integer (a number with a fractional part is not one).
    int64_t integer(const std::string& key) const;
    int64_t integer(const std::string& key, int64_t defaultValue) const;
    double number(const std::string& key) const;
    double number(const std::string& key, double defaultValue) const;
    std::string string(const std::string& key) const;
    bool boolean(const std::string& key, bool defaultValue) const;
    std::vector<int64_t> integers(const std::string& key) const;
    /// A list of integer lists, such as [[layer, head], ...].
    std::vector<std::vector<int64_t>> integerRows(const std::string& key) const;

    void set(const std::string& key, int64_t value);
    void set(const std::string& key, int value) { set(key, static_cast<int64_t>(value)); }
    void set(const std::string& key, double value);
    void set(const std::string& key, const std::string& value);
    void set(const std::string& key, const char* value) { set(key, std::string(value)); }
    void setBoolean(const std::string& key, bool value);
    void set(const std::string& key, const std::vector<int64_t>& values);
    void set(const std::string& key, const std::vector<std::vector<int64_t>>& rows);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace ml
