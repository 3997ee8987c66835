#pragma once
// Keeps a test's hub traffic its own: a home of its own (so the hub's default mirror starts empty), no
// token or mirror settings from the environment, and the hub's endpoint on a local fake.

#include "Support/ScopedEnvironment.h"

#include <filesystem>
#include <string>

inline void isolateHub(testsupport::ScopedEnvironment& environment, const std::filesystem::path& home,
                       const std::string& endpoint) {
    environment.set("HOME", home.string());
    for (const char* name : {"HF_TOKEN", "HUGGING_FACE_HUB_TOKEN", "HF_TOKEN_PATH", "HF_HOME",
                             "CI_DISABLE_NETWORK_MONITOR", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME"}) {
        environment.unset(name);
    }
    environment.set("HF_ENDPOINT", endpoint);
}
