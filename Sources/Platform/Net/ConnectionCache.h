#pragma once
// The process's one connection cache. Name lookups and TLS sessions sit in a shared libcurl share
// object; open connections sit in a pool of multi handles that requests borrow one at a time, so
// connections are reused across requests and threads without libcurl ever touching one connection
// from two threads. Internal to the HTTP layer.

#include <array>
#include <curl/curl.h>
#include <mutex>
#include <vector>

namespace net {

class ConnectionCache {
public:
    static ConnectionCache& shared();

    /// A multi handle (with its open connections) lent to one request; given back on destruction.
    class Lease {
    public:
        Lease(ConnectionCache& cache, CURLM* multi) : cache_(&cache), multi_(multi) {}
        Lease(Lease&& other) noexcept : cache_(other.cache_), multi_(other.multi_) { other.multi_ = nullptr; }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        CURLM* get() const { return multi_; }

    private:
        ConnectionCache* cache_;
        CURLM* multi_;
    };

    Lease borrow();
    CURLSH* share() const { return share_; }

    ConnectionCache(const ConnectionCache&) = delete;
    ConnectionCache& operator=(const ConnectionCache&) = delete;

private:
    ConnectionCache();
    ~ConnectionCache();
    void giveBack(CURLM* multi);

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void unlock(CURL*, curl_lock_data data, void* self);

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks_;
    std::mutex poolLock_;
    std::vector<CURLM*> idle_;
};

} // namespace net
