#include "Support/Network/FakeHub.h"

#include "Support/Network/LoopbackServer.h"
#include "Support/TestSupport.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace fs = std::filesystem;

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string decode(const std::string& segment) {
    std::string out;
    for (size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] == '%' && i + 2 < segment.size() && std::isxdigit(static_cast<unsigned char>(segment[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(segment[i + 2]))) {
            out += static_cast<char>(std::stoi(segment.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += segment[i];
        }
    }
    return out;
}

// Path segments of a raw target, each decoded on its own so an escaped "/" stays inside its segment.
std::vector<std::string> segmentsOf(const std::string& target) {
    std::string path = target.substr(0, target.find('?'));
    std::vector<std::string> segments;
    size_t start = 1;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        segments.push_back(decode(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start)));
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    return segments;
}

std::string jsonEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// "bytes=N-" or "bytes=N-M"; nothing for anything else.
std::optional<std::pair<size_t, std::optional<size_t>>> parseRange(const std::string& value) {
    if (value.rfind("bytes=", 0) != 0) {
        return std::nullopt;
    }
    std::string byteRange = value.substr(6);
    size_t dash = byteRange.find('-');
    if (dash == std::string::npos || dash == 0) {
        return std::nullopt;
    }
    try {
        size_t first = std::stoull(byteRange.substr(0, dash));
        std::optional<size_t> last;
        if (dash + 1 < byteRange.size()) {
            last = std::stoull(byteRange.substr(dash + 1));
        }
        return std::make_pair(first, last);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string> FakeHub::Request::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (sameName(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

struct FakeHub::Impl {
    LoopbackServer http;

    mutable std::mutex lock;
    std::map<std::string, fs::path> repositories; // "kind/owner/name" -> folder
    std::string commit = "0123456789abcdef0123456789abcdef01234567";
    size_t largeFileThreshold = 64 * 1024;
    std::vector<Fault> faults;
    std::vector<Request> requests;

    std::optional<Fault> takeFault(const httplib::Request& request) {
        std::lock_guard guard(lock);
        for (auto& fault : faults) {
            if (fault.times == 0) {
                continue;
            }
            if (!fault.method.empty() && fault.method != request.method) {
                continue;
            }
            if (request.target.find(fault.pathContains) == std::string::npos) {
                continue;
            }
            if (fault.times > 0) {
                --fault.times;
            }
            return fault;
        }
        return std::nullopt;
    }

    std::optional<fs::path> repository(const std::string& kind, const std::string& owner, const std::string& name) {
        std::lock_guard guard(lock);
        auto found = repositories.find(kind + "/" + owner + "/" + name);
        return found == repositories.end() ? std::nullopt : std::optional<fs::path>(found->second);
    }

    void handle(const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard guard(lock);
            Request recorded{request.method, request.target, {}};
            for (const auto& [key, value] : request.headers) {
                recorded.headers.emplace_back(key, value);
            }
            requests.push_back(std::move(recorded));
        }
        // Every answer ends its connection, so that stopping the hub never waits for idle clients.
        response.set_header("Connection", "close");
        std::optional<Fault> fault = takeFault(request);
        if (fault && fault->delay.count() > 0) {
            std::this_thread::sleep_for(fault->delay);
        }
        if (fault && fault->redirectTo) {
            response.status = fault->status.value_or(302);
            response.set_header("Location", *fault->redirectTo);
        } else if (fault && fault->body) {
            response.status = fault->status.value_or(200);
            response.set_content(*fault->body, "application/json");
        } else if (fault && fault->status) {
            response.status = *fault->status;
        } else {
            route(request, response, fault);
        }
        if (fault) {
            for (const auto& name : fault->omitHeaders) {
                std::erase_if(response.headers, [&](const auto& field) { return sameName(field.first, name); });
            }
            for (const auto& [name, value] : fault->headers) {
                std::erase_if(response.headers, [&](const auto& field) { return sameName(field.first, name); });
                response.set_header(name, value);
            }
        }
    }

    void route(const httplib::Request& request, httplib::Response& response, const std::optional<Fault>& fault) {
        std::vector<std::string> s = segmentsOf(request.target);
        // api/<kind>/<owner>/<name>/revision/<revision>
        if (s.size() == 6 && s[0] == "api" && s[4] == "revision") {
            if (auto folder = repository(s[1], s[2], s[3])) {
                serveListing(*folder, response);
                return;
            }
        }
        // [datasets|spaces/]<owner>/<name>/resolve/<revision>/<path...>
        std::string kind = "models";
        size_t at = 0;
        if (!s.empty() && (s[0] == "datasets" || s[0] == "spaces")) {
            kind = s[0];
            at = 1;
        }
        if (s.size() >= at + 5 && s[at + 2] == "resolve") {
            if (auto folder = repository(kind, s[at], s[at + 1])) {
                std::string path;
                for (size_t i = at + 4; i < s.size(); ++i) {
                    path += (path.empty() ? "" : "/") + s[i];
                }
                fs::path file = *folder / path;
                if (!path.empty() && fs::is_regular_file(file)) {
                    serveFile(request, response, file, fault);
                    return;
                }
            }
        }
        response.status = 404;
        response.set_header("X-Error-Code", "EntryNotFound");
    }

    void serveListing(const fs::path& folder, httplib::Response& response) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                names.push_back(fs::relative(entry.path(), folder).generic_string());
            }
        }
        std::sort(names.begin(), names.end());
        std::string json = "{\"sha\":\"" + commitNow() + "\",\"siblings\":[";
        for (size_t i = 0; i < names.size(); ++i) {
            json += (i == 0 ? "" : ",") + std::string("{\"rfilename\":\"") + jsonEscape(names[i]) + "\"}";
        }
        json += "]}";
        response.status = 200;
        response.set_content(json, "application/json");
    }

    std::string commitNow() const {
        std::lock_guard guard(lock);
        return commit;
    }

    std::string etagOf(const std::string& content) const {
        size_t threshold = 0;
        {
            std::lock_guard guard(lock);
            threshold = largeFileThreshold;
        }
        std::string digest = sha256Hex(content);
        return content.size() >= threshold ? digest : digest.substr(0, 40);
    }

    void serveFile(const httplib::Request& request, httplib::Response& response, const fs::path& file,
                   const std::optional<Fault>& fault) {
        auto content = std::make_shared<std::string>(readFile(file));
        size_t size = content->size();
        std::string etag = etagOf(*content);
        bool large = etag.size() == 64;
        response.set_header("X-Repo-Commit", commitNow());
        if (large) {
            response.set_header("X-Linked-Etag", "\"" + etag + "\"");
            response.set_header("X-Linked-Size", std::to_string(size));
            response.set_header("ETag", "\"" + sha256Hex(etag).substr(0, 40) + "\"");
        } else {
            response.set_header("ETag", "\"" + etag + "\"");
        }
        response.set_header("Accept-Ranges", "bytes");

        size_t first = 0;
        size_t last = size == 0 ? 0 : size - 1;
        response.status = 200;
        auto range = request.has_header("Range") ? parseRange(request.get_header_value("Range")) : std::nullopt;
        if (range && !(fault && fault->ignoreRange)) {
            if (range->first >= size) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(size));
                return;
            }
            first = range->first;
            last = std::min(range->second.value_or(size - 1), size - 1);
            response.status = 206;
            response.set_header("Content-Range",
                                "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size));
        }
        size_t length = size == 0 ? 0 : last - first + 1;
        size_t cut = fault && fault->cutAfterBytes ? *fault->cutAfterBytes : length;
        size_t piece = fault ? std::max<size_t>(1, fault->pieceSize) : length;
        auto pause = fault ? fault->pauseBetweenPieces : std::chrono::milliseconds(0);
        response.set_content_provider(
            length, "application/octet-stream",
            [content, first, cut, piece, pause](size_t offset, size_t available, httplib::DataSink& sink) {
                if (offset >= cut) {
                    return false; // drops the connection mid-body
                }
                if (offset > 0 && pause.count() > 0) {
                    std::this_thread::sleep_for(pause);
                }
                size_t n = std::min({available, piece, cut - offset});
                return sink.write(content->data() + first + offset, n);
            });
    }
};

FakeHub::FakeHub() : impl_(std::make_unique<Impl>()) {
    Impl& impl = *impl_;
    impl.http.server.Get(".*", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.handle(request, response);
    });
    // Range requests are answered by the handler itself, so that "ignore Range" is possible.
    impl.http.server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        const_cast<httplib::Request&>(request).ranges.clear();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    impl.http.start("the fake hub");
}

FakeHub::~FakeHub() {
    impl_->http.stop();
}

std::string FakeHub::endpoint() const { return "http://127.0.0.1:" + std::to_string(impl_->http.port()); }
int FakeHub::port() const { return impl_->http.port(); }

void FakeHub::addRepository(const std::string& repoId, const fs::path& folder, const std::string& kind) {
    std::lock_guard guard(impl_->lock);
    impl_->repositories[kind + "/" + repoId] = folder;
}

void FakeHub::setCommit(const std::string& commit) {
    std::lock_guard guard(impl_->lock);
    impl_->commit = commit;
}

std::string FakeHub::commit() const { return impl_->commitNow(); }

void FakeHub::setLargeFileThreshold(size_t bytes) {
    std::lock_guard guard(impl_->lock);
    impl_->largeFileThreshold = bytes;
}

std::string FakeHub::etagFor(const std::string& repoId, const std::string& path, const std::string& kind) const {
    fs::path folder;
    {
        std::lock_guard guard(impl_->lock);
        folder = impl_->repositories.at(kind + "/" + repoId);
    }
    return impl_->etagOf(readFile(folder / path));
}

void FakeHub::addFault(Fault fault) {
    std::lock_guard guard(impl_->lock);
    impl_->faults.push_back(std::move(fault));
}

void FakeHub::clearFaults() {
    std::lock_guard guard(impl_->lock);
    impl_->faults.clear();
}

std::vector<FakeHub::Request> FakeHub::requests() const {
    std::lock_guard guard(impl_->lock);
    return impl_->requests;
}

void FakeHub::clearRequests() {
    std::lock_guard guard(impl_->lock);
    impl_->requests.clear();
}

std::string FakeHub::sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0x0F];
    }
    return out;
}

} // namespace testsupport
