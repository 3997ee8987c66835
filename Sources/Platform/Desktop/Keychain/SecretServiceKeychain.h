#pragma once
// The keychain on the desktop's Secret Service (gnome-keyring, KWallet) through libsecret: one item in
// the default collection, found by the attributes "service" and "account" and labelled with the service
// name. Items with those two attributes match whoever stored them (secret-tool included).

#include "Platform/Desktop/Keychain/KeychainStore.h"

#include <string>

namespace desktop {

class SecretServiceKeychain final : public KeychainStore {
public:
    SecretServiceKeychain(std::string service, std::string account);

    std::optional<std::string> load() const override;
    void save(const std::string& secret) override;
    void remove() override;

    const std::string& service() const { return service_; }
    const std::string& account() const { return account_; }

private:
    std::string service_;
    std::string account_;
};

} // namespace desktop
