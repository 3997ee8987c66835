#pragma once
// A model hub on 127.0.0.1 for tests: serves folders as hub repositories (listing JSON with
// "siblings", resolve paths with the hub's HEAD headers, Range requests) and can be told to misbehave
// (any status, missing or odd headers, redirects, a connection cut mid-body, a server that ignores
// Range, slow answers). It records every request it receives.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class FakeHub {
public:
    /// Something the hub does instead of, or on top of, its normal answer.
    struct Fault {
        /// Applies to requests whose raw target (path and query, still escaped) contains this text;
        /// empty: to every request.
        std::string pathContains;
        /// Applies only to this method ("GET" or "HEAD"); empty: to both.
        std::string method;
        /// Answer with this status and no repository content (with `redirectTo`: the redirect status).
        std::optional<int> status;
        /// Answer with this body (and status 200 unless `status` says otherwise).
        std::optional<std::string> body;
        /// Answer with `status` (302 by default) and this "Location".
        std::optional<std::string> redirectTo;
        /// Header fields set on the answer, replacing generated ones of the same name.
        std::map<std::string, std::string> headers;
        /// Generated header fields left out (e.g. "X-Repo-Commit", "ETag").
        std::vector<std::string> omitHeaders;
        /// Send only this many body bytes, then drop the connection.
        std::optional<std::size_t> cutAfterBytes;
        /// Answer a ranged request with the whole file and status 200.
        bool ignoreRange = false;
        /// Wait this long before answering.
        std::chrono::milliseconds delay{0};
        /// Send the body in pieces of `pieceSize` bytes with this pause between them.
        std::chrono::milliseconds pauseBetweenPieces{0};
        std::size_t pieceSize = 64 * 1024;
        /// How many requests it applies to before it is spent; negative: all of them.
        int times = -1;

        // Chainable setters, so a test reads FakeHub::Fault::on("/start").redirect("/elsewhere").
        static Fault on(std::string pathPart) {
            Fault fault;
            fault.pathContains = std::move(pathPart);
            return fault;
        }
        Fault& only(std::string m) { return method = std::move(m), *this; }
        Fault& answer(int code) { return status = code, *this; }
        Fault& withBody(std::string text) { return body = std::move(text), *this; }
        Fault& redirect(std::string location, int code = 302) {
            redirectTo = std::move(location);
            status = code;
            return *this;
        }
        Fault& header(const std::string& name, std::string value) { return headers[name] = std::move(value), *this; }
        Fault& omit(std::string name) { return omitHeaders.push_back(std::move(name)), *this; }
        Fault& cutAfter(std::size_t bytes) { return cutAfterBytes = bytes, *this; }
        Fault& ignoringRange() { return ignoreRange = true, *this; }
        Fault& delayed(std::chrono::milliseconds wait) { return delay = wait, *this; }
        Fault& paced(std::size_t bytes, std::chrono::milliseconds pause) {
            pieceSize = bytes;
            pauseBetweenPieces = pause;
            return *this;
        }
        Fault& limit(int count) { return times = count, *this; }
    };

    struct Request {
        std::string method;
        /// The request target exactly as sent (escapes kept).
        std::string target;
        std::vector<std::pair<std::string, std::string>> headers;
        /// A header's value, name compared without regard to case.
        std::optional<std::string> header(const std::string& name) const;
    };

    /// Listens on 127.0.0.1 at a port the system picks.
    FakeHub();
    ~FakeHub();
    FakeHub(const FakeHub&) = delete;
    FakeHub& operator=(const FakeHub&) = delete;

    /// "http://127.0.0.1:<port>"
    std::string endpoint() const;
    int port() const;

    /// Serves `folder` as repository `repoId` ("owner/name") of `kind` ("models", "datasets", "spaces").
    void addRepository(const std::string& repoId, const std::filesystem::path& folder,
                       const std::string& kind = "models");

    /// The commit every answer names in "X-Repo-Commit" (40 lower-case hex digits by default).
    void setCommit(const std::string& commit);
    std::string commit() const;

    /// Files of at least this many bytes are served like the hub's large files: a SHA-256 etag in
    /// "X-Linked-Etag" and their size in "X-Linked-Size". Smaller files get a 40-hex "ETag".
    void setLargeFileThreshold(std::size_t bytes);

    /// The etag the hub announces for a file's current content (bare, without quotes).
    std::string etagFor(const std::string& repoId, const std::string& path, const std::string& kind = "models") const;

    void addFault(Fault fault);
    void clearFaults();

    std::vector<Request> requests() const;
    void clearRequests();

    static std::string sha256Hex(const std::string& bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace testsupport
