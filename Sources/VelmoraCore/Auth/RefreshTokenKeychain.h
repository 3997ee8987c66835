#pragma once
// Where the sign-in's refresh token is kept: one secret-store item with the attributes
// "service" = "velmora-refresh-token" and "account" = "default".

#include "Platform/Desktop/Keychain/KeychainStore.h"

#include <memory>

namespace velmora {

inline constexpr const char* refreshTokenKeychainService = "velmora-refresh-token";
inline constexpr const char* refreshTokenKeychainAccount = "default";

/// The refresh token's item in the desktop's secret store.
std::shared_ptr<desktop::KeychainStore> refreshTokenKeychain();

} // namespace velmora
