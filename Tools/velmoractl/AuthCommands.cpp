// velmoractl auth: the sign-in session on the desktop's secret store and notification service, with a
// browser that opens nothing (the sign-in's answers are given on the command line).
//   callback: starts a sign-in (unless --no-pending), hands each URL to the session in order, and prints
//             {"result": "signedIn"|"failed"|"pending" (null without a sign-in), "error", "isSignedIn"}.
//   fetch:    one line per access-token request, {"token", "isSignedIn"} or {"error", "isSignedIn"}.
//   jwt-exp:  the token's expiry in seconds since 1970, or none.
//   sign-out: {"isSignedIn": false}.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "Platform/Desktop/Notifications/FreedesktopNotificationCenter.h"
#include "ToolOutput.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/ErrorText.h"
#include "VelmoraCore/PlainMainLoop.h"

#include <charconv>
#include <iostream>

namespace {

using velmoractl::UsageError;

class NoBrowser final : public desktop::BrowserOpener {
public:
    bool open(const std::string&) override { return true; }
};

struct Session {
    explicit Session(std::optional<net::Url> baseURL = std::nullopt) {
        velmora::AuthSession::Dependencies dependencies;
        dependencies.mainThread = mainThread;
        dependencies.browser = std::make_shared<NoBrowser>();
        dependencies.notifications = notifications;
        if (baseURL) {
            dependencies.baseURL = *baseURL;
        }
        auth = velmora::AuthSession::create(std::move(dependencies));
    }

    // Runs what the session handed to the main thread and to the notification service, until both rest.
    void settle() {
        mainThread->runUntilIdle();
        notifications->waitUntilIdle();
        mainThread->runUntilIdle();
        notifications->waitUntilIdle();
    }

    std::shared_ptr<velmora::PlainMainLoop> mainThread =
        std::make_shared<velmora::PlainMainLoop>(velmora::PlainMainLoop::Clock::manual);
    std::shared_ptr<desktop::FreedesktopNotificationCenter> notifications =
        std::make_shared<desktop::FreedesktopNotificationCenter>(velmora::AuthSession::notificationTitle);
    std::shared_ptr<velmora::AuthSession> auth;
};

int callback(const velmoractl::Arguments& arguments) {
    bool pending = true;
    std::vector<std::string> urls;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--no-pending") {
            pending = false;
        } else {
            urls.push_back(arguments[i]);
        }
    }
    if (urls.empty()) {
        throw UsageError("auth callback needs at least one URL");
    }
    // The browser opens nothing, so the start page's address never leaves the program: a build without
    // a service's address gets a stand-in, and the answers are handled all the same.
    Session session(velmora::AuthSession::baseURL().value_or(*net::Url::parse("https://sign-in.invalid/")));
    bool finished = false;
    std::exception_ptr failure;
    if (pending) {
        session.auth->signIn([&](std::exception_ptr error) {
            finished = true;
            failure = error;
        });
    }
    for (const std::string& url : urls) {
        session.auth->handleCallbackURL(url);
        session.settle();
    }
    velmoractl::JsonObject line;
    if (!pending) {
        line.null("result").null("error");
    } else if (!finished) {
        line.string("result", "pending").null("error");
    } else if (failure) {
        line.string("result", "failed").string("error", velmora::errorDescription(failure));
    } else {
        line.string("result", "signedIn").null("error");
    }
    velmoractl::printLine(line.boolean("isSignedIn", session.auth->isSignedIn().value()));
    return velmoractl::exitSuccess;
}

int fetch(const velmoractl::Arguments& arguments) {
    const velmoractl::CommandLine commandLine(velmoractl::Arguments(arguments.begin() + 1, arguments.end()),
                                              {"--base", "--times"});
    if (!commandLine.positional().empty()) {
        throw UsageError("auth fetch takes no other arguments");
    }
    const std::string base = commandLine.requiredOption("--base");
    const auto baseURL = net::Url::parse(base);
    if (!baseURL || baseURL->scheme().empty()) {
        throw UsageError("--base needs an absolute URL, not \"" + base + "\"");
    }
    int times = 1;
    if (const auto text = commandLine.option("--times")) {
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), times);
        if (error != std::errc() || end != text->data() + text->size() || times < 1) {
            throw UsageError("--times needs a whole number of at least 1, not \"" + *text + "\"");
        }
    }
    Session session(*baseURL);
    bool anyFailed = false;
    for (int i = 0; i < times; ++i) {
        velmoractl::JsonObject line;
        try {
            line.string("token", session.auth->fetchAccessToken());
        } catch (const std::exception& error) {
            anyFailed = true;
            line.string("error", velmora::errorDescription(error));
        }
        session.settle();
        velmoractl::printLine(line.boolean("isSignedIn", session.auth->isSignedIn().value()));
    }
    return anyFailed ? velmoractl::exitFailure : velmoractl::exitSuccess;
}

int jwtExp(const velmoractl::Arguments& arguments) {
    if (arguments.size() != 2) {
        throw UsageError("auth jwt-exp needs one TOKEN");
    }
    const auto expiry = velmora::jwtExpiry(arguments[1]);
    std::cout << (expiry ? velmoractl::numberText(expiry->time_since_epoch().count()) : std::string("none"))
              << std::endl;
    return velmoractl::exitSuccess;
}

int run(const velmoractl::Arguments& arguments) {
    if (arguments.empty()) {
        throw UsageError("missing command");
    }
    const std::string& command = arguments[0];
    if (command == "callback") {
        return callback(arguments);
    }
    if (command == "fetch") {
        return fetch(arguments);
    }
    if (command == "jwt-exp") {
        return jwtExp(arguments);
    }
    if (command == "sign-out") {
        if (arguments.size() != 1) {
            throw UsageError("auth sign-out takes no arguments");
        }
        Session session;
        session.auth->signOut();
        velmoractl::printLine(
            velmoractl::JsonObject().boolean("isSignedIn", session.auth->isSignedIn().value()));
        return velmoractl::exitSuccess;
    }
    throw UsageError("unknown command auth " + command);
}

const bool registered = velmoractl::registerCommandGroup({"auth",
                                                          "auth callback [--no-pending] URL...\n"
                                                          "auth fetch --base URL [--times N]\n"
                                                          "auth jwt-exp TOKEN\n"
                                                          "auth sign-out",
                                                          run});

} // namespace
