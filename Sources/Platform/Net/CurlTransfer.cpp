#include "Platform/Net/CurlTransfer.h"

#include "Platform/Net/ConnectionCache.h"
#include "Platform/Net/UrlError.h"

#include <algorithm>
#include <chrono>
#include <curl/curl.h>
#include <exception>
#include <memory>

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

UrlError::Code codeFor(CURLcode code) {
    switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
        return UrlError::Code::cancelled;
    case CURLE_OPERATION_TIMEDOUT:
        return UrlError::Code::timedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return UrlError::Code::cannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return UrlError::Code::cannotConnectToHost;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_WEIRD_SERVER_REPLY:
        return UrlError::Code::networkConnectionLost;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return UrlError::Code::secureConnectionFailed;
    case CURLE_TOO_MANY_REDIRECTS:
        return UrlError::Code::httpTooManyRedirects;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return UrlError::Code::unsupportedURL;
    default:
        return UrlError::Code::unknown;
    }
}

std::string trim(std::string_view text) {
    const char* space = " \t\r\n";
    size_t begin = text.find_first_not_of(space);
    if (begin == std::string_view::npos) {
        return "";
    }
    size_t end = text.find_last_not_of(space);
    return std::string(text.substr(begin, end - begin + 1));
}

struct State {
    const HttpRequest* request = nullptr;
    const CurlTransfer::Hooks* hooks = nullptr;
    CURL* easy = nullptr;
    std::stop_token stop;
    HttpHeaders headers;
    bool headDelivered = false;
    bool followsRedirects = false;
    bool keepBody = true;
    std::exception_ptr failure;
    Clock::time_point lastActivity = Clock::now();

    void deliverHead() {
        headDelivered = true;
        HttpResponse response{0, request->url, headers};
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        response.statusCode = static_cast<int>(status);
        char* effective = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr) {
            if (auto url = Url::parse(effective)) {
                response.url = *url;
            }
        }
        keepBody = !hooks->onHead || hooks->onHead(response);
    }
};

size_t onHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<State*>(user);
    size_t length = size * count;
    state->lastActivity = Clock::now();
    std::string_view line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        state->headers.clear(); // a new answer (after a followed redirect or an interim 1xx) begins
        return length;
    }
    if (trim(line).empty()) {
        // The head of an answer is complete. The final answer's head goes to the caller now, not with
        // the first body byte: a connection lost before any body arrives is then a broken transfer of
        // an answer that began, like one lost later, rather than an answer that never came.
        long status = 0;
        curl_easy_getinfo(state->easy, CURLINFO_RESPONSE_CODE, &status);
        const bool interim = status >= 100 && status <= 199;
        const bool followed = state->followsRedirects && status >= 300 && status <= 399 &&
                              state->headers.value("Location").has_value();
        if (!interim && !followed && !state->headDelivered) {
            try {
                state->deliverHead();
            } catch (...) {
                // Exceptions must not cross libcurl's C frames: keep it and stop the transfer.
                state->failure = std::current_exception();
                return 0;
            }
        }
        return length;
    }
    size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        state->headers.add(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
    }
    return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<State*>(user);
    size_t length = size * count;
    state->lastActivity = Clock::now();
    if (state->stop.stop_requested()) {
        return 0;
    }
    try {
        if (!state->headDelivered) {
            state->deliverHead();
        }
        if (state->keepBody && state->hooks->onData) {
            state->hooks->onData(std::string_view(data, length));
        }
    } catch (...) {
        // Exceptions must not cross libcurl's C frames: keep it and stop the transfer.
        state->failure = std::current_exception();
        return 0;
    }
    return length;
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

void CurlTransfer::run(const HttpRequest& request, bool followRedirects, int maxRedirects, const Hooks& hooks,
                       std::stop_token stop) {
    if (request.url.scheme() != "http" && request.url.scheme() != "https") {
        throw UrlError(UrlError::Code::unsupportedURL, request.url.absoluteString());
    }
    if (stop.stop_requested()) {
        throw UrlError(UrlError::Code::cancelled);
    }
    ConnectionCache& cache = ConnectionCache::shared();
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        throw UrlError(UrlError::Code::unknown, "libcurl could not create a request");
    }
    State state;
    state.request = &request;
    state.hooks = &hooks;
    state.easy = easy.get();
    state.stop = stop;
    state.followsRedirects = followRedirects;

    std::unique_ptr<curl_slist, ListDeleter> headerList;
    for (const auto& [name, value] : request.headers.fields()) {
        // "Name;" is libcurl's way to send a header with an empty value.
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        headerList.reset(curl_slist_append(headerList.release(), line.c_str()));
    }
    const std::string address = request.url.absoluteString();
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, address.c_str());
    curl_easy_setopt(e, CURLOPT_SHARE, cache.share());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(maxRedirects));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max<long long>(1, request.timeout.count())));
    if (request.method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else if (request.method != "GET") {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeaderLine);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &state);

    ConnectionCache::Lease lease = cache.borrow();
    CURLM* multi = lease.get();
    curl_multi_add_handle(multi, e);
    bool timedOut = false;
    bool finished = false;
    CURLcode result = CURLE_OK;
    {
        std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
        int running = 1;
        while (true) {
            curl_multi_perform(multi, &running);
            finished = running == 0;
            if (finished || state.failure || stop.stop_requested()) {
                break;
            }
            auto idle = Clock::now() - state.lastActivity;
            if (idle >= request.timeout) {
                timedOut = true;
                break;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(request.timeout - idle).count();
            curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::clamp<long long>(left, 1, 1000)),
                            nullptr);
        }
        int pending = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &pending)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == e) {
                result = message->data.result;
            }
        }
    }
    curl_multi_remove_handle(multi, e);

    if (state.failure) {
        std::rethrow_exception(state.failure);
    }
    // A stop that comes after the last byte does not undo a finished exchange.
    if (stop.stop_requested() && !(finished && result == CURLE_OK)) {
        throw UrlError(UrlError::Code::cancelled);
    }
    if (timedOut) {
        throw UrlError(UrlError::Code::timedOut);
    }
    if (result != CURLE_OK) {
        throw UrlError(codeFor(result), curl_easy_strerror(result));
    }
    if (!state.headDelivered) {
        state.deliverHead();
    }
}

} // namespace net
