#include "Platform/Net/HttpSession.h"

#include "Platform/Net/CurlTransfer.h"
#include "Platform/Net/UrlError.h"

#include <charconv>

namespace net {

namespace {

std::optional<std::int64_t> announcedLength(const HttpRequest& request, const HttpResponse& response) {
    auto text = response.value("Content-Length");
    if (request.method == "HEAD" || !text) {
        return std::nullopt;
    }
    std::int64_t length = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), length);
    if (error != std::errc() || end != text->data() + text->size() || length < 0) {
        return std::nullopt;
    }
    return length;
}

} // namespace

const HttpSession& HttpSession::shared() {
    static const HttpSession session;
    return session;
}

HttpData HttpSession::send(const HttpRequest& request, std::stop_token stop) const {
    HttpData data;
    BodyHandler collect;
    collect.onData = [&data](std::string_view piece) { data.body.append(piece); };
    data.response = stream(request, collect, std::move(stop));
    return data;
}

HttpResponse HttpSession::stream(const HttpRequest& request, const BodyHandler& handler,
                                 std::stop_token stop) const {
    HttpRequest current = request;
    for (int hops = 0;; ++hops) {
        std::optional<HttpRequest> next;
        std::optional<HttpResponse> answer;
        std::int64_t received = 0;
        std::optional<std::int64_t> expected;

        CurlTransfer::Hooks hooks;
        hooks.onHead = [&](const HttpResponse& response) {
            if (decide_ && response.statusCode >= 300 && response.statusCode <= 399) {
                next = decide_(response, request);
                if (next) {
                    return false;
                }
            }
            answer = response;
            expected = announcedLength(current, response);
            if (handler.onResponse) {
                handler.onResponse(response);
            }
            return true;
        };
        hooks.onData = [&](std::string_view piece) {
            received += static_cast<std::int64_t>(piece.size());
            if (handler.onData) {
                handler.onData(piece);
            }
            if (handler.onProgress) {
                handler.onProgress(received, expected);
            }
        };
        // Without a decision of our own, libcurl follows redirects itself (and keeps the
        // "Authorization" header away from other hosts).
        CurlTransfer::run(current, !decide_, maxRedirects, hooks, stop);
        if (!next) {
            return *answer;
        }
        if (hops + 1 > maxRedirects) {
            throw UrlError(UrlError::Code::httpTooManyRedirects);
        }
        current = std::move(*next);
    }
}

} // namespace net
