#pragma once
// A clean environment for hub client tests: HOME is a fresh temporary folder, no token or endpoint
// variables are set, and a fake hub serves one repository "owner/name" from a folder.

#include "OrvaneCore/External/Hub/Download/Downloader.h"
#include "Support/Network/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

class HubTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("HOME", home.path().string());
        for (const char* name : {"HF_TOKEN", "HUGGING_FACE_HUB_TOKEN", "HF_TOKEN_PATH", "HF_HOME", "HF_ENDPOINT",
                                 "CI_DISABLE_NETWORK_MONITOR"}) {
            environment.unset(name);
        }
        hub.addRepository("owner/name", repository.path());
        // Transfers that break are retried after a pause; a short one keeps these tests fast.
        orvane::Downloader::setDefaultRetryDelay(std::chrono::milliseconds(10));
    }

    void TearDown() override { orvane::Downloader::setDefaultRetryDelay(std::chrono::milliseconds(1000)); }

    std::string resolveUrl(const std::string& file, const std::string& revision = "main") const {
        return hub.endpoint() + "/owner/name/resolve/" + revision + "/" + file;
    }

    /// Runs `call`, which must throw E; hands the error to `check`.
    template <class E> static void expectError(const std::function<void()>& call, const std::function<void(const E&)>& check) {
        try {
            call();
            ADD_FAILURE() << "no error was thrown";
        } catch (const E& error) {
            check(error);
        }
    }

    testsupport::TemporaryDirectory home;
    testsupport::TemporaryDirectory repository;
    testsupport::ScopedEnvironment environment;
    testsupport::FakeHub hub;
};
