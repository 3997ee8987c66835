#include "Platform/Net/ConnectionCache.h"

#include <stdexcept>

namespace net {

namespace {
// Idle multi handles kept beyond this are closed: enough for the few parallel transfers we make.
constexpr size_t maxIdleHandles = 8;
} // namespace

ConnectionCache& ConnectionCache::shared() {
    static ConnectionCache* cache = new ConnectionCache(); // never destroyed: requests may run at exit
    return *cache;
}

ConnectionCache::ConnectionCache() {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        throw std::runtime_error("libcurl could not be initialised");
    }
    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &ConnectionCache::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &ConnectionCache::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
}

ConnectionCache::~ConnectionCache() {
    for (CURLM* multi : idle_) {
        curl_multi_cleanup(multi);
    }
    curl_share_cleanup(share_);
}

void ConnectionCache::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<ConnectionCache*>(self)->shareLocks_[static_cast<size_t>(data)].lock();
}

void ConnectionCache::unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<ConnectionCache*>(self)->shareLocks_[static_cast<size_t>(data)].unlock();
}

ConnectionCache::Lease ConnectionCache::borrow() {
    {
        std::lock_guard guard(poolLock_);
        if (!idle_.empty()) {
            CURLM* multi = idle_.back();
            idle_.pop_back();
            return Lease(*this, multi);
        }
    }
    CURLM* multi = curl_multi_init();
    if (multi == nullptr) {
        throw std::runtime_error("libcurl could not create a transfer handle");
    }
    return Lease(*this, multi);
}

void ConnectionCache::giveBack(CURLM* multi) {
    {
        std::lock_guard guard(poolLock_);
        if (idle_.size() < maxIdleHandles) {
            idle_.push_back(multi);
            return;
        }
    }
    curl_multi_cleanup(multi);
}

ConnectionCache::Lease::~Lease() {
    if (multi_ != nullptr) {
        cache_->giveBack(multi_);
    }
}

} // namespace net
