#include "Platform/Desktop/Updates/UpdateFeedReader.h"

#include "Platform/Desktop/Updates/UpdateFeedError.h"
#include "Platform/Desktop/Updates/UpdateUrlPolicy.h"
#include "Platform/Net/HttpSession.h"

#include <stdexcept>

namespace desktop {

UpdateFeedReader::UpdateFeedReader(std::string feedUrl) : feedUrl_(std::move(feedUrl)) {
    if (!isAllowedUpdateUrl(feedUrl_)) {
        throw std::invalid_argument("the update feed must be an https address (or http to this machine): " +
                                    feedUrl_);
    }
}

UpdateFeed UpdateFeedReader::read(std::stop_token stop) const {
    net::HttpRequest request(*net::Url::parse(feedUrl_));
    std::string body;
    net::HttpSession::BodyHandler handler;
    // Checked before the body arrives, so an error page is never read as a feed.
    handler.onResponse = [](const net::HttpResponse& response) {
        if (response.statusCode != 200) {
            throw UpdateFeedError(UpdateFeedError::Code::badStatus, "フィードを取得できません（HTTP " +
                                                                        std::to_string(response.statusCode) +
                                                                        "）");
        }
    };
    handler.onData = [&body](std::string_view piece) {
        if (body.size() + piece.size() > maxFeedBytes) {
            throw UpdateFeedError(UpdateFeedError::Code::tooLarge, "フィードが大きすぎます");
        }
        body.append(piece);
    };
    net::HttpSession::shared().stream(request, handler, stop);
    return UpdateFeed::parse(body);
}

} // namespace desktop
