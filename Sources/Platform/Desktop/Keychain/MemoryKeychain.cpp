#include "Platform/Desktop/Keychain/MemoryKeychain.h"

namespace desktop {

std::optional<std::string> MemoryKeychain::load() const {
    std::lock_guard lock(mutex_);
    ++loads_;
    return stored_;
}

void MemoryKeychain::save(const std::string& secret) {
    std::lock_guard lock(mutex_);
    ++saves_;
    stored_.reset();
    if (!refusesWrites_) {
        stored_ = secret;
    }
}

void MemoryKeychain::remove() {
    std::lock_guard lock(mutex_);
    ++removes_;
    stored_.reset();
}

void MemoryKeychain::setRefusesWrites(bool refuses) {
    std::lock_guard lock(mutex_);
    refusesWrites_ = refuses;
}

int MemoryKeychain::loadCount() const {
    std::lock_guard lock(mutex_);
    return loads_;
}

int MemoryKeychain::saveCount() const {
    std::lock_guard lock(mutex_);
    return saves_;
}

int MemoryKeychain::removeCount() const {
    std::lock_guard lock(mutex_);
    return removes_;
}

} // namespace desktop
