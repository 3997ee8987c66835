#pragma once
// An address handed to the application, split into its parts without any normalisation: the scheme
// keeps its case (a sign-in answer must use exactly "velmora"), the host and path are percent-decoded,
// and the query is read as "&"-separated items "name=value" (an item without "=" has no value; "+" stays
// a plus).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

class CallbackUrl {
public:
    struct QueryItem {
        std::string name;
        std::optional<std::string> value;
    };

    /// Nothing for text that is not an address: empty, blanks, control or non-ASCII bytes, a broken
    /// percent escape.
    static std::optional<CallbackUrl> parse(std::string_view text);

    /// Nothing for a reference without a scheme.
    const std::optional<std::string>& scheme() const { return scheme_; }
    /// Nothing when the address has no "//" authority.
    const std::optional<std::string>& host() const { return host_; }
    const std::string& path() const { return path_; }
    /// Nothing when the address has no "?".
    const std::optional<std::vector<QueryItem>>& queryItems() const { return queryItems_; }

    /// The value of the first item named exactly `name`; nothing when there is no such item or it has
    /// no value.
    std::optional<std::string> firstQueryValue(std::string_view name) const;

private:
    std::optional<std::string> scheme_;
    std::optional<std::string> host_;
    std::string path_;
    std::optional<std::vector<QueryItem>> queryItems_;
};

} // namespace velmora
