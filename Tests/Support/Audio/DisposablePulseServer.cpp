#include "Support/Audio/DisposablePulseServer.h"

#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

// This process's environment with `overrides` (NAME=VALUE) in place of what it has of those names.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> environment = overrides;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        const bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                          [&](const std::string& given) { return given.rfind(name, 0) == 0; });
        if (!replaced) {
            environment.push_back(text);
        }
    }
    return environment;
}

// Starts a program with no standard input and its output into `output`; its process id, or -1. Spawned
// rather than forked: the test process has threads of its own (the client library's loop).
pid_t spawn(std::vector<std::string> words, std::vector<std::string> environment,
            const std::string& output = "/dev/null") {
    std::vector<char*> argv, envp;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, words.front().c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

void killAndWait(pid_t pid) {
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

PulseDevices aCallWithAHeadset() {
    return {{"module-null-sink sink_name=speakers", "module-sine sink=speakers frequency=440",
             "module-null-sink sink_name=headset_feed", "module-sine sink=headset_feed frequency=1000",
             "module-remap-source source_name=headset_mic master=headset_feed.monitor channels=1"},
            "speakers",
            "headset_mic",
            {"headset_mic", "speakers.monitor"}};
}

DisposablePulseServer::DisposablePulseServer(PulseDevices devices)
    : devices_(std::move(devices)), folder_(std::make_unique<TemporaryDirectory>()) {
    std::filesystem::create_directories(*folder_ / "run");
    std::filesystem::create_directories(*folder_ / "home");
    std::filesystem::permissions(*folder_ / "run", std::filesystem::perms::owner_all);
    address_ = "unix:" + (*folder_ / "run" / "pulse" / "native").string();
}

DisposablePulseServer::~DisposablePulseServer() {
    kill();
}

bool DisposablePulseServer::installed() {
    return runCommand("command -v pulseaudio && command -v pactl && command -v parec", nullptr) == 0;
}

std::string DisposablePulseServer::commandEnvironment() const {
    return "PULSE_SERVER=" + shellQuoted(address_) + " ";
}

int DisposablePulseServer::pactl(const std::string& arguments, std::string* output) const {
    return runCommand(commandEnvironment() + "pactl " + arguments + " 2>/dev/null", output);
}

int DisposablePulseServer::loadModule(const std::string& line) const {
    std::string output;
    return pactl("load-module " + line, &output) == 0 ? std::atoi(output.c_str()) : -1;
}

bool DisposablePulseServer::start() {
    kill();
    const std::string run = (*folder_ / "run").string();
    std::vector<std::string> words = {"pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no",
                                      "--exit-idle-time=-1", "--disallow-exit",
                                      "--log-target=file:" + (*folder_ / "pulseaudio.log").string(),
                                      "--load=module-native-protocol-unix auth-anonymous=1"};
    for (const auto& module : devices_.modules) {
        words.push_back("--load=" + module);
    }
    const auto environment = environmentWith(
        {"HOME=" + (*folder_ / "home").string(), "XDG_RUNTIME_DIR=" + run, "PULSE_RUNTIME_PATH=" + run + "/pulse"});
    pid_ = spawn(words, environment);
    if (pid_ < 0) {
        return false;
    }
    // The wait only keeps a server that never answers from hanging the test; it measures nothing.
    for (int tries = 0; tries < 400; ++tries) {
        if (pactl("info >/dev/null") == 0) {
            const bool sink = devices_.defaultSink.empty() || pactl("set-default-sink " + devices_.defaultSink) == 0;
            const bool source =
                devices_.defaultSource.empty() || pactl("set-default-source " + devices_.defaultSource) == 0;
            return sink && source && keepBusy(devices_.busySources);
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::cerr << "the test's sound server did not start:\n" << readFile(*folder_ / "pulseaudio.log");
    return false;
}

bool DisposablePulseServer::keepBusy(const std::string& source) {
    return keepBusy(std::vector<std::string>{source});
}

bool DisposablePulseServer::keepBusy(const std::vector<std::string>& sources) {
    // What each records goes to a file (8 kB a second), whose first bytes tell that the source delivers.
    std::vector<std::filesystem::path> outputs;
    for (const auto& source : sources) {
        outputs.push_back(*folder_ / ("busy-" + std::to_string(busy_.size()) + ".raw"));
        const pid_t pid = spawn({"parec", "--latency-msec=20", "--format=u8", "--rate=8000", "--channels=1",
                                 "--device=" + source},
                                environmentWith({"PULSE_SERVER=" + address_}), outputs.back().string());
        if (pid < 0) {
            return false;
        }
        busy_.push_back(pid);
    }
    // The wait only keeps a source that never delivers from hanging the test; it measures nothing.
    for (int tries = 0; tries < 400; ++tries) {
        const bool delivering = std::all_of(outputs.begin(), outputs.end(), [](const std::filesystem::path& output) {
            std::error_code error;
            return std::filesystem::file_size(output, error) > 0 && !error;
        });
        if (delivering) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

void DisposablePulseServer::kill() {
    if (pid_ > 0) {
        killAndWait(pid_);
        pid_ = -1;
    }
    for (pid_t pid : busy_) {
        killAndWait(pid);
    }
    busy_.clear();
}

void DisposablePulseServerTest::SetUp() {
    if (!DisposablePulseServer::installed()) {
        if (runningUnderCI()) {
            FAIL() << "pulseaudio, pactl and parec are needed for the sound-server tests";
        }
        GTEST_SKIP() << "pulseaudio, pactl or parec is not installed";
    }
}

void DisposablePulseServerTest::startServer(PulseDevices devices) {
    server = std::make_unique<DisposablePulseServer>(std::move(devices));
    ASSERT_TRUE(server->start());
    // The client library in this process must talk to this server only.
    setenv("PULSE_SERVER", server->address().c_str(), 1);
}

} // namespace testsupport
