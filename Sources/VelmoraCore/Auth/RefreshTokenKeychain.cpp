#include "VelmoraCore/Auth/RefreshTokenKeychain.h"

#include "Platform/Desktop/Keychain/SecretServiceKeychain.h"

namespace velmora {

std::shared_ptr<desktop::KeychainStore> refreshTokenKeychain() {
    return std::make_shared<desktop::SecretServiceKeychain>(refreshTokenKeychainService,
                                                            refreshTokenKeychainAccount);
}

} // namespace velmora
