#include "Platform/Desktop/Keychain/SecretServiceKeychain.h"

#include <cstring>
#include <libsecret/secret.h>

namespace desktop {

namespace {

// The generic schema secret-tool uses too; names are not compared, so items stored under another
// schema name with the same attributes are found as well.
const SecretSchema* schema() {
    static const SecretSchema instance = [] {
        SecretSchema s;
        std::memset(&s, 0, sizeof s);
        s.name = "org.freedesktop.Secret.Generic";
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &instance;
}

// Failures are not reported (see KeychainStore), only released.
void discard(GError* error) {
    if (error != nullptr) {
        g_error_free(error);
    }
}

// g_utf8_validate refuses NUL bytes, which are valid UTF-8: validate the pieces between them.
bool isUtf8(const char* data, std::size_t size) {
    std::size_t start = 0;
    while (start < size) {
        const void* nul = std::memchr(data + start, '\0', size - start);
        const std::size_t end = nul != nullptr ? static_cast<const char*>(nul) - data : size;
        if (end > start && !g_utf8_validate(data + start, static_cast<gssize>(end - start), nullptr)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

} // namespace

SecretServiceKeychain::SecretServiceKeychain(std::string service, std::string account)
    : service_(std::move(service)), account_(std::move(account)) {}

std::optional<std::string> SecretServiceKeychain::load() const {
    GError* error = nullptr;
    SecretValue* value = secret_password_lookup_binary_sync(
        schema(), nullptr, &error, "service", service_.c_str(), "account", account_.c_str(), nullptr);
    discard(error);
    if (value == nullptr) {
        return std::nullopt;
    }
    gsize size = 0;
    const gchar* data = secret_value_get(value, &size);
    std::optional<std::string> secret;
    if (data != nullptr && isUtf8(data, size)) {
        secret = std::string(data, size);
    }
    secret_value_unref(value);
    return secret;
}

void SecretServiceKeychain::save(const std::string& secret) {
    // Delete, then add: never an update of an item that may carry other attributes.
    remove();
    SecretValue* value = secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "text/plain");
    GError* error = nullptr;
    secret_password_store_binary_sync(schema(), SECRET_COLLECTION_DEFAULT, service_.c_str(), value, nullptr,
                                      &error, "service", service_.c_str(), "account", account_.c_str(),
                                      nullptr);
    discard(error);
    secret_value_unref(value);
}

void SecretServiceKeychain::remove() {
    GError* error = nullptr;
    secret_password_clear_sync(schema(), nullptr, &error, "service", service_.c_str(), "account",
                               account_.c_str(), nullptr);
    discard(error);
}

} // namespace desktop
