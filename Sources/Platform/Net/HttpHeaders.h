#pragma once
// HTTP header fields whose names compare without regard to case, kept in arrival order.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

class HttpHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    /// Replaces every field of that name (any case) by one field.
    void set(std::string_view name, std::string_view value);
    /// Adds a field; a repeated name is joined to the earlier value with ", " when read.
    void add(std::string_view name, std::string_view value);
    void remove(std::string_view name);

    /// The value of a field, however its name is capitalised; repeated fields joined with ", ".
    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return value(name).has_value(); }

    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    void clear() { fields_.clear(); }

private:
    std::vector<Field> fields_;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace net
