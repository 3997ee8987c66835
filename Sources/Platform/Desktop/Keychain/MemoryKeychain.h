#pragma once
// A keychain that lives in memory, for tests and for runs that must not touch the user's secret store.
// It can be told to refuse writes, as a desktop without a secret store does.

#include "Platform/Desktop/Keychain/KeychainStore.h"

#include <mutex>

namespace desktop {

class MemoryKeychain final : public KeychainStore {
public:
    MemoryKeychain() = default;
    explicit MemoryKeychain(std::optional<std::string> stored) : stored_(std::move(stored)) {}

    std::optional<std::string> load() const override;
    void save(const std::string& secret) override;
    void remove() override;

    /// While set, save() drops the new secret after deleting the old one.
    void setRefusesWrites(bool refuses);
    /// How many times each operation ran.
    int loadCount() const;
    int saveCount() const;
    int removeCount() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> stored_;
    bool refusesWrites_ = false;
    mutable int loads_ = 0;
    int saves_ = 0;
    int removes_ = 0;
};

} // namespace desktop
