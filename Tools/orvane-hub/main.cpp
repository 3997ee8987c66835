// orvane-hub: the model-hub client from the command line.
//   list --endpoint URL --repo OWNER/NAME [--revision R] [--pattern GLOB]...
//   head URL
//   sha256 FILE
//   metadata read FILE
// `list` and `head` always ask the network. Errors go to standard error with a non-zero exit status.

#include "OrvaneCore/DecodingError.h"
#include "OrvaneCore/External/Hub/HubApi.h"
#include "Platform/Net/UrlError.h"

#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* usage =
    "usage: orvane-hub list --endpoint URL --repo OWNER/NAME [--revision R] [--pattern GLOB]...\n"
    "       orvane-hub head URL\n"
    "       orvane-hub sha256 FILE\n"
    "       orvane-hub metadata read FILE\n"
    "The token comes from HF_TOKEN, HUGGING_FACE_HUB_TOKEN or the usual token files.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int list(const std::vector<std::string>& args) {
    std::optional<std::string> endpoint;
    std::optional<std::string> repo;
    std::string revision = "main";
    std::vector<std::string> patterns;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i + 1 >= args.size()) {
            throw UsageError("missing value after " + args[i]);
        }
        const std::string& value = args[++i];
        if (args[i - 1] == "--endpoint") {
            endpoint = value;
        } else if (args[i - 1] == "--repo") {
            repo = value;
        } else if (args[i - 1] == "--revision") {
            revision = value;
        } else if (args[i - 1] == "--pattern") {
            patterns.push_back(value);
        } else {
            throw UsageError("unknown option " + args[i - 1]);
        }
    }
    if (!endpoint || !repo) {
        throw UsageError("list needs --endpoint and --repo");
    }
    orvane::HubApi hub(std::nullopt, std::nullopt, endpoint);
    for (const auto& name : hub.getFilenames(orvane::HubApi::Repo{*repo}, revision, patterns)) {
        std::cout << name << "\n";
    }
    return 0;
}

int head(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        throw UsageError("head needs one URL");
    }
    auto url = net::Url::parse(args[0]);
    if (!url) {
        throw UsageError("not a URL: " + args[0]);
    }
    orvane::HubApi hub;
    net::HttpResponse response = hub.httpHead(*url);
    orvane::HubApi::FileMetadata metadata = orvane::HubApi::fileMetadata(response, *url);
    auto line = [](const char* name, const std::optional<std::string>& value) {
        std::cout << name << ": " << value.value_or("(none)") << "\n";
    };
    std::cout << "Status: " << response.statusCode << "\n";
    line("X-Repo-Commit", metadata.commitHash);
    line("Etag", metadata.etag);
    line("Size", metadata.size ? std::optional(std::to_string(*metadata.size)) : std::nullopt);
    line("Location", metadata.location);
    return 0;
}

int sha256(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        throw UsageError("sha256 needs one FILE");
    }
    std::cout << orvane::HubApi::computeFileHash(args[0]) << "\n";
    return 0;
}

int metadata(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "read") {
        throw UsageError("usage: metadata read FILE");
    }
    auto record = orvane::HubApi().readDownloadMetadata(args[1]);
    if (!record) {
        std::cerr << "orvane-hub: no usable download metadata at " << args[1] << "\n";
        return 1;
    }
    std::cout << "Commit: " << record->commitHash << "\n"
              << "Etag: " << record->etag << "\n"
              << "Time: " << std::to_string(record->timestamp) << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        (argc < 2 ? std::cerr : std::cout) << usage;
        return argc < 2 ? 2 : 0;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "list") {
            return list(args);
        }
        if (command == "head") {
            return head(args);
        }
        if (command == "sha256") {
            return sha256(args);
        }
        if (command == "metadata") {
            return metadata(args);
        }
        throw UsageError("unknown command " + command);
    } catch (const UsageError& error) {
        std::cerr << "orvane-hub: " << error.what() << "\n" << usage;
        return 2;
    } catch (const orvane::DecodingError& error) {
        std::cerr << "orvane-hub: " << error.what() << " " << error.debugDescription() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "orvane-hub: " << error.what() << "\n";
    }
    return 1;
}
