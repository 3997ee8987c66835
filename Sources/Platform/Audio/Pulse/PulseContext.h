#pragma once
// One connection to the sound server for the whole process: a client context driven by the client
// library's threaded main loop. Everyone who talks to the server shares it through shared(); it goes
// away with its last holder. The library calls back on the loop's own thread, so the blocking helpers
// here wait on the loop's condition instead of spinning, and must never run on that thread.
//
// Thread rules, in short: take a Lock before touching the context or a stream; wait()/await() only
// under the Lock and never on the loop thread (i.e. never inside a library callback); signal() inside
// a callback or under the Lock; never drop the last reference to the context inside a library callback.

#include <memory>
#include <mutex>
#include <string>

struct pa_context;
struct pa_operation;
struct pa_threaded_mainloop;

namespace audio {

class PulseContext {
public:
    /// The live shared context, connecting a new one when there is none or the last one lost its
    /// server. Blocks until the server answers; throws PulseError when it does not (no server, refused).
    /// Any thread but the loop's; call without holding a Lock.
    static std::shared_ptr<PulseContext> shared();

    ~PulseContext();
    PulseContext(const PulseContext&) = delete;
    PulseContext& operator=(const PulseContext&) = delete;

    /// Holds the loop's lock: the loop thread does not run while it is held. Recursive.
    class Lock {
    public:
        explicit Lock(const PulseContext& owner);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    /// The raw handles, for the helpers in this folder. Use only under a Lock.
    pa_context* context() const { return context_; }
    pa_threaded_mainloop* mainLoop() const { return loop_; }

    /// True while the connection is up. Under a Lock.
    bool isConnected() const;
    /// The library's error number of the last failure on this context. Under a Lock.
    int lastError() const;

    /// Waits until some library callback calls signal(). Under a Lock, not on the loop thread.
    void wait() const;
    /// Wakes every wait(). Inside a library callback, or on any thread under a Lock.
    void signal() const;
    /// Waits until `operation` is done or the connection drops, and releases it. A null operation
    /// (the call was refused at once) or a dropped connection throws PulseError naming `call`.
    /// Under a Lock, not on the loop thread.
    void await(pa_operation* operation, const char* call) const;

    /// Throws std::logic_error when called on the loop thread, where waiting would hang forever.
    void requireOffLoopThread(const char* call) const;

private:
    PulseContext();
    void connect();

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

} // namespace audio
