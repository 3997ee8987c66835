// orvane-hub: the model-hub client from the command line.
//   list --endpoint URL --repo OWNER/NAME [--revision R] [--pattern GLOB]...
//   snapshot --endpoint URL --repo OWNER/NAME --base DIR [--revision R] [--pattern GLOB]... [--online | --offline]
//   head URL
//   sha256 FILE
//   metadata read FILE
// `list` and `head` always ask the network. Errors go to standard error with a non-zero exit status.

#include "OrvaneCore/Errors/DecodingError.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "Platform/Net/UrlError.h"
#include "Shared/StandardOptions.h"

#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* usage =
    "usage: orvane-hub list --endpoint URL --repo OWNER/NAME [--revision R] [--pattern GLOB]...\n"
    "       orvane-hub snapshot --endpoint URL --repo OWNER/NAME --base DIR [--revision R] [--pattern GLOB]...\n"
    "                           [--online | --offline]\n"
    "       orvane-hub head URL\n"
    "       orvane-hub sha256 FILE\n"
    "       orvane-hub metadata read FILE\n"
    "The token comes from HF_TOKEN, HUGGING_FACE_HUB_TOKEN or the usual token files.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The client announces its token on standard output when CI_DISABLE_NETWORK_MONITOR is "1"; here
// standard output carries only the command's result, so that line goes to standard error instead.
template <class... Arguments> orvane::HubApi makeClient(Arguments&&... arguments) {
    struct ToStandardError {
        std::streambuf* saved = std::cout.rdbuf(std::cerr.rdbuf());
        ~ToStandardError() { std::cout.rdbuf(saved); }
    } redirect;
    return orvane::HubApi(std::forward<Arguments>(arguments)...);
}

struct RepoOptions {
    std::optional<std::string> endpoint;
    std::optional<std::string> repo;
    std::optional<std::string> base;
    std::string revision = "main";
    std::vector<std::string> patterns;
    std::optional<bool> offline;
};

RepoOptions repoOptions(const std::vector<std::string>& args) {
    RepoOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--online" || args[i] == "--offline") {
            if (options.offline) {
                throw UsageError("give at most one of --online and --offline");
            }
            options.offline = args[i] == "--offline";
            continue;
        }
        if (i + 1 >= args.size()) {
            throw UsageError("missing value after " + args[i]);
        }
        const std::string& value = args[++i];
        if (args[i - 1] == "--endpoint") {
            options.endpoint = value;
        } else if (args[i - 1] == "--repo") {
            options.repo = value;
        } else if (args[i - 1] == "--base") {
            options.base = value;
        } else if (args[i - 1] == "--revision") {
            options.revision = value;
        } else if (args[i - 1] == "--pattern") {
            options.patterns.push_back(value);
        } else {
            throw UsageError("unknown option " + args[i - 1]);
        }
    }
    return options;
}

int list(const std::vector<std::string>& args) {
    RepoOptions options = repoOptions(args);
    if (!options.endpoint || !options.repo || options.base || options.offline) {
        throw UsageError("list needs --endpoint and --repo (and takes no --base, --online or --offline)");
    }
    orvane::HubApi hub = makeClient(std::nullopt, std::nullopt, options.endpoint);
    for (const auto& name : hub.getFilenames(orvane::HubApi::Repo{*options.repo}, options.revision, options.patterns)) {
        std::cout << name << "\n";
    }
    return 0;
}

// Progress goes to standard error, one line per whole percent; the folder to standard output.
int snapshot(const std::vector<std::string>& args) {
    RepoOptions options = repoOptions(args);
    if (!options.endpoint || !options.repo || !options.base) {
        throw UsageError("snapshot needs --endpoint, --repo and --base");
    }
    orvane::HubApi hub =
        makeClient(std::filesystem::path(*options.base), std::nullopt, options.endpoint, false, options.offline);
    long shown = -1;
    auto folder = hub.snapshot(orvane::HubApi::Repo{*options.repo}, options.revision, options.patterns,
                               [&shown](const orvane::Progress& progress) {
                                   const long percent = std::lround(std::floor(progress.fractionCompleted() * 100));
                                   if (percent == shown) {
                                       return;
                                   }
                                   shown = percent;
                                   std::cerr << "progress " << percent << "%";
                                   if (auto rate = progress.throughput()) {
                                       std::cerr << " (" << std::lround(*rate / 1024) << " KiB/s)";
                                   }
                                   std::cerr << "\n";
                               });
    std::cout << folder.string() << "\n";
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
    orvane::HubApi hub = makeClient();
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
    auto record = makeClient().readDownloadMetadata(args[1]);
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
    if (auto status = tools::answerStandardOption("orvane-hub", {argv + 1, argv + argc}, usage)) {
        return *status;
    }
    if (argc < 2) {
        std::cerr << usage;
        return 2;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "list") {
            return list(args);
        }
        if (command == "snapshot") {
            return snapshot(args);
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
