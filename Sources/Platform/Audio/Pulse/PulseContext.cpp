#include "Platform/Audio/Pulse/PulseContext.h"

#include "Platform/Audio/Pulse/PulseError.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/thread-mainloop.h>
#include <stdexcept>

namespace audio {

namespace {

std::mutex sharedLock;
std::weak_ptr<PulseContext> sharedContext;

void onContextState(pa_context*, void* userdata) {
    static_cast<PulseContext*>(userdata)->signal();
}

} // namespace

std::shared_ptr<PulseContext> PulseContext::shared() {
    std::lock_guard guard(sharedLock);
    if (auto existing = sharedContext.lock()) {
        Lock lock(*existing);
        if (existing->isConnected()) {
            return existing;
        }
    }
    // The previous context (if any) stays with its holders, whose calls now fail with its error.
    std::shared_ptr<PulseContext> fresh(new PulseContext());
    fresh->connect();
    sharedContext = fresh;
    return fresh;
}

PulseContext::PulseContext() {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        throw PulseError("pa_threaded_mainloop_new", PA_ERR_INTERNAL);
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Velmora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "velmora");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Velmora", properties);
    pa_proplist_free(properties);
    if (context_ == nullptr) {
        pa_threaded_mainloop_free(loop_);
        throw PulseError("pa_context_new", PA_ERR_INTERNAL);
    }
    pa_context_set_state_callback(context_, onContextState, this);
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_context_unref(context_);
        pa_threaded_mainloop_free(loop_);
        throw PulseError("pa_threaded_mainloop_start", PA_ERR_INTERNAL);
    }
}

void PulseContext::connect() {
    Lock lock(*this);
    // Never start a server of our own: no server is an answer the callers need to see.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        throw PulseError("pa_context_connect", lastError());
    }
    for (;;) {
        pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) {
            return;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            throw PulseError("pa_context_connect", lastError());
        }
        wait();
    }
}

PulseContext::~PulseContext() {
    {
        Lock lock(*this);
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

PulseContext::Lock::Lock(const PulseContext& owner) : loop_(owner.loop_) {
    pa_threaded_mainloop_lock(loop_);
}

PulseContext::Lock::~Lock() {
    pa_threaded_mainloop_unlock(loop_);
}

bool PulseContext::isConnected() const {
    return pa_context_get_state(context_) == PA_CONTEXT_READY;
}

int PulseContext::lastError() const {
    int error = pa_context_errno(context_);
    // A context that died without recording why still must not report success.
    return error != PA_OK ? error : PA_ERR_CONNECTIONTERMINATED;
}

void PulseContext::wait() const {
    requireOffLoopThread("PulseContext::wait");
    pa_threaded_mainloop_wait(loop_);
}

void PulseContext::signal() const {
    pa_threaded_mainloop_signal(loop_, 0);
}

void PulseContext::await(pa_operation* operation, const char* call) const {
    if (operation == nullptr) {
        throw PulseError(call, lastError());
    }
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING && isConnected()) {
        wait();
    }
    bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    if (!done) {
        throw PulseError(call, lastError());
    }
}

void PulseContext::requireOffLoopThread(const char* call) const {
    if (pa_threaded_mainloop_in_thread(loop_)) {
        throw std::logic_error(std::string(call) + " would block the sound server's own thread");
    }
}

} // namespace audio
