#pragma once
// A remote address: parsed into its parts, with the few operations the hub client needs
// (append a path, append one escaped segment, read the last segment, write it out in full).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace net {

class Url {
public:
    /// Reads an absolute address ("http://host:port/path?query") or a reference without a scheme
    /// ("/path?query", "//host/path"). Nothing for text that is not a URL: empty text, white space or
    /// control characters, bytes outside ASCII, a broken percent escape, a bad port.
    static std::optional<Url> parse(std::string_view text);

    const std::string& scheme() const { return scheme_; }
    const std::string& user() const { return user_; }
    /// Host as written (an IPv6 literal keeps its brackets); empty when the address has none.
    const std::string& host() const { return host_; }
    bool hasHost() const { return hasAuthority_; }
    std::optional<int> port() const { return port_; }
    /// Percent-encoded path as it appears in the address.
    const std::string& path() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }

    /// The last path segment, percent-decoded ("" for an empty path or "/").
    std::string lastPathComponent() const;

    /// Appends one segment; every "/" (and any other character not allowed in a path) inside it is
    /// percent-encoded, so it stays one segment.
    Url appendingPathComponent(std::string_view segment) const;
    /// Appends a "/"-separated relative path; each of its segments is encoded as above.
    Url appendingPath(std::string_view relativePath) const;

    /// Same address with another path (already encoded) and query.
    Url withPathAndQuery(std::string path, std::optional<std::string> query) const;

    std::string absoluteString() const;

    bool operator==(const Url& other) const { return absoluteString() == other.absoluteString(); }

private:
    std::string scheme_;
    std::string user_;
    std::string host_;
    bool hasAuthority_ = false;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

/// Percent-encodes every byte that may not stand in a path segment ("/" included).
std::string percentEncodePathSegment(std::string_view segment);
/// Decodes %XX escapes; malformed escapes are kept as written.
std::string percentDecode(std::string_view text);
/// The file's address written out in full: "file://" and its absolute path, each segment
/// percent-encoded (a space becomes %20), so that the text is a valid address.
std::string fileUrlString(const std::filesystem::path& path);

} // namespace net
