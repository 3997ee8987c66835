#pragma once
// Why an update check could not tell whether there is an update: the feed could not be had or does not
// say it clearly. what() is the sentence the failure notice shows.

#include <stdexcept>
#include <string>

namespace desktop {

class UpdateFeedError : public std::runtime_error {
public:
    enum class Code {
        /// The server answered with a status other than 200.
        badStatus,
        /// The body is not a well-formed XML document.
        notXml,
        /// The document is not an <updates> list, or lists no <item>.
        noItems,
        /// An item's version is missing or not dot-separated numbers.
        badVersion,
        /// An item's address is missing or one the updater may not open.
        refusedUrl,
        /// The body is larger than any feed we publish.
        tooLarge,
    };

    UpdateFeedError(Code code, std::string description)
        : std::runtime_error(std::move(description)), code_(code) {}

    Code code() const { return code_; }

private:
    Code code_;
};

} // namespace desktop
