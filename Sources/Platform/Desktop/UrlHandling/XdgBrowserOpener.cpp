#include "Platform/Desktop/UrlHandling/XdgBrowserOpener.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <glib.h>
#include <sys/wait.h>
#include <thread>

namespace desktop {

namespace {

constexpr const char* program = "xdg-open";

// Spawns xdg-open with `url` as its one argument (no shell ever sees it). With `pid`, the child is
// left for the caller to reap; without, GLib starts it through an intermediate process that it reaps.
bool spawn(const std::string& url, GPid* pid, std::string* reason) {
    gchar* argv[] = {const_cast<gchar*>(program), const_cast<gchar*>(url.c_str()), nullptr};
    int flags = G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL;
    if (pid != nullptr) {
        flags |= G_SPAWN_DO_NOT_REAP_CHILD;
    }
    GError* error = nullptr;
    const gboolean started =
        g_spawn_async(nullptr, argv, nullptr, static_cast<GSpawnFlags>(flags), nullptr, nullptr, pid, &error);
    if (error != nullptr) {
        if (reason != nullptr) {
            *reason = error->message;
        }
        g_error_free(error);
    }
    return started != FALSE;
}

std::string endingText(int status) {
    if (WIFEXITED(status)) {
        return std::string(program) + " exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        return std::string(program) + " was ended by signal " +
               (name != nullptr ? std::string("SIG") + name : std::to_string(WTERMSIG(status)));
    }
    return std::string(program) + " ended abnormally";
}

} // namespace

bool XdgBrowserOpener::open(const std::string& url) {
    return spawn(url, nullptr, nullptr);
}

bool XdgBrowserOpener::openWatched(const std::string& url, FailureHandler failed) {
    GPid pid = 0;
    std::string reason = std::string(program) + " could not be started";
    if (!spawn(url, &pid, &reason)) {
        if (failed) {
            failed(reason);
        }
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + watchTime_;
    // The child must be reaped however long it runs, so the thread waits for it to the end; only an
    // ending inside the watch time is reported.
    std::thread([pid, deadline, failed = std::move(failed)] {
        int status = 0;
        pid_t ended = -1;
        do {
            ended = waitpid(pid, &status, 0);
        } while (ended == -1 && errno == EINTR);
        g_spawn_close_pid(pid);
        if (ended != pid || !failed || std::chrono::steady_clock::now() > deadline) {
            return;
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            return;
        }
        failed(endingText(status));
    }).detach();
    return true;
}

} // namespace desktop
