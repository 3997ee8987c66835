#pragma once
// Sends HTTP requests over the shared connection cache. Every call blocks the calling thread until
// the answer is in (or the body has been handed over), may be called from any thread at once, and
// stops promptly when its std::stop_token is triggered (UrlError::Code::cancelled).
// Proxy settings come from the usual environment variables (http_proxy, https_proxy, no_proxy...).

#include "Platform/Net/HttpRequest.h"
#include "Platform/Net/HttpResponse.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace net {

struct HttpData {
    HttpResponse response;
    std::string body;
};

class HttpSession {
public:
    /// Asked for every 3xx answer: the request to send next, or nothing to hand that answer back to the
    /// caller as the result. `original` is the request the caller sent.
    using RedirectDecision =
        std::function<std::optional<HttpRequest>(const HttpResponse& redirect, const HttpRequest& original)>;

    /// Receives one streamed answer. Any of them may throw to stop the transfer; the exception leaves
    /// stream() unchanged.
    struct BodyHandler {
        /// Once, with the final answer's head, before its first byte.
        std::function<void(const HttpResponse&)> onResponse;
        /// Each piece of the body, in order.
        std::function<void(std::string_view)> onData;
        /// After each piece: bytes of this answer's body so far, and its announced length if any.
        std::function<void(std::int64_t received, std::optional<std::int64_t> expected)> onProgress;
    };

    /// Redirects are followed (at most maxRedirects hops), like the platform's default session.
    HttpSession() = default;
    /// Redirects are followed only where `decide` says so.
    explicit HttpSession(RedirectDecision decide) : decide_(std::move(decide)) {}

    /// The process-wide session that follows every redirect.
    static const HttpSession& shared();

    /// Sends the request and collects the whole body (none for HEAD). Any status is an answer.
    HttpData send(const HttpRequest& request, std::stop_token stop = {}) const;

    /// Sends the request and hands the body over piece by piece instead of keeping it.
    HttpResponse stream(const HttpRequest& request, const BodyHandler& handler,
                        std::stop_token stop = {}) const;

    static constexpr int maxRedirects = 16;

private:
    RedirectDecision decide_;
};

} // namespace net
