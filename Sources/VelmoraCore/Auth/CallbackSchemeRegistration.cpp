#include "VelmoraCore/Auth/CallbackSchemeRegistration.h"

#include "VelmoraCore/Auth/AuthSession.h"

#include <iostream>

namespace velmora {

desktop::UrlSchemeRegistration::Outcome registerCallbackScheme(const std::filesystem::path& executable) {
    const desktop::UrlSchemeRegistration registration(AuthSession::callbackScheme, "velmora",
                                                      AuthSession::notificationTitle);
    auto outcome = registration.ensureRegistered(executable);
    if (!outcome.problem.empty()) {
        std::cerr << "warning: sign-in answers may not reach the application: " << outcome.problem
                  << std::endl;
    }
    return outcome;
}

} // namespace velmora
