#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "Platform/Net/UrlError.h"

#include <charconv>
#include <unordered_set>

namespace orvane {

namespace {

constexpr std::chrono::seconds requestTimeout{60};

net::HttpRequest authorizedRequest(const net::Url& url, const char* method,
                                   const std::optional<std::string>& token) {
    net::HttpRequest request(url, method);
    request.timeout = requestTimeout;
    if (auto value = HubApi::authorizationHeader(token)) {
        request.headers.set("Authorization", *value);
    }
    return request;
}

void throwForStatus(int status, const net::Url& url) {
    if (status == 401 || status == 403) {
        throw Hub::HubClientError::authorizationRequired();
    }
    if (status == 404) {
        throw Hub::HubClientError::fileNotFound(url.lastPathComponent());
    }
    throw Hub::HubClientError::httpStatusCode(status);
}

} // namespace

net::HttpData HubApi::httpGet(const net::Url& url, std::stop_token stop) const {
    net::HttpRequest request = authorizedRequest(url, "GET", hfToken);
    net::HttpData data;
    try {
        data = net::HttpSession::shared().send(request, stop);
    } catch (const net::UrlError& error) {
        if (error.code() == net::UrlError::Code::cancelled && stop.stop_requested()) {
            throw CancellationError();
        }
        throw Hub::HubClientError::downloadError(error);
    }
    int status = data.response.statusCode;
    if (status >= 200 && status <= 299) {
        return data;
    }
    throwForStatus(status, url);
    return data;
}

net::HttpResponse HubApi::httpHead(const net::Url& url, std::stop_token stop) const {
    net::HttpRequest request = authorizedRequest(url, "HEAD", hfToken);
    request.headers.set("Accept-Encoding", "identity");
    net::HttpResponse response;
    try {
        response = redirectSession().get().send(request, stop).response;
    } catch (const net::UrlError& error) {
        if (error.code() == net::UrlError::Code::cancelled && stop.stop_requested()) {
            throw CancellationError();
        }
        throw;
    }
    if (response.statusCode >= 200 && response.statusCode <= 399) {
        return response;
    }
    throwForStatus(response.statusCode, url);
    return response;
}

std::vector<std::string> HubApi::getFilenames(const Repo& repo, const std::string& revision,
                                              const std::vector<std::string>& globs,
                                              std::stop_token stop) const {
    net::HttpData data = httpGet(listingUrl(repo, revision), stop);
    SiblingsResponse listing = SiblingsResponse::decode(data.body);
    std::vector<std::string> names;
    names.reserve(listing.siblings.size());
    for (auto& sibling : listing.siblings) {
        names.push_back(std::move(sibling.rfilename));
    }
    return filenamesMatching(std::move(names), globs);
}

std::vector<std::string> HubApi::filenamesMatching(std::vector<std::string> names,
                                                   const std::vector<std::string>& globs) {
    if (globs.empty()) {
        return names;
    }
    // Each matching name once; listing order is as good as any and keeps results reproducible.
    std::unordered_set<std::string> matched;
    for (const auto& glob : globs) {
        for (auto& name : matching(names, glob)) {
            matched.insert(std::move(name));
        }
    }
    std::vector<std::string> result;
    for (const auto& name : names) {
        if (matched.erase(name) > 0) {
            result.push_back(name);
        }
    }
    return result;
}

std::optional<std::string> HubApi::normalizeEtag(const std::optional<std::string>& etag) {
    if (!etag) {
        return std::nullopt;
    }
    std::string_view text = *etag;
    if (text.starts_with("W/")) {
        text.remove_prefix(2);
    }
    while (!text.empty() && text.front() == '"') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == '"') {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::optional<std::int64_t> HubApi::parseSize(const std::optional<std::string>& text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    std::string_view digits = *text;
    bool negative = false;
    if (digits.front() == '+' || digits.front() == '-') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    // Parse with the sign attached so that the most negative value still fits.
    std::string signedText = (negative ? "-" : "") + std::string(digits);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(signedText.data(), signedText.data() + signedText.size(), value);
    if (error != std::errc() || end != signedText.data() + signedText.size()) {
        return std::nullopt;
    }
    return value;
}

HubApi::FileMetadata HubApi::getFileMetadata(const net::Url& url, std::stop_token stop) const {
    return fileMetadata(httpHead(url, stop), url);
}

HubApi::FileMetadata HubApi::fileMetadata(const net::HttpResponse& response, const net::Url& url) {
    FileMetadata metadata;
    std::optional<std::string> location = response.statusCode == 302
                                              ? response.value("Location")
                                              : std::optional(response.url.absoluteString());
    metadata.location = location ? *location : url.absoluteString();
    metadata.commitHash = response.value("X-Repo-Commit");
    auto etag = response.value("X-Linked-Etag");
    metadata.etag = normalizeEtag(etag ? etag : response.value("Etag"));
    auto size = response.value("X-Linked-Size");
    metadata.size = parseSize(size ? size : response.value("Content-Length"));
    return metadata;
}

} // namespace orvane
