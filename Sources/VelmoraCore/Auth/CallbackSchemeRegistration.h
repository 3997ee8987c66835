#pragma once
// Run at every start of the application: makes the program the desktop's handler of "velmora:"
// addresses (the entry "velmora.desktop"), so the service's sign-in answer opened by the browser comes
// back to it. A problem is logged as one warning and otherwise ignored: the rest of the application
// works, and a desktop that already knows the handler still delivers the answer.

#include "Platform/Desktop/UrlHandling/UrlSchemeRegistration.h"

#include <filesystem>

namespace velmora {

desktop::UrlSchemeRegistration::Outcome registerCallbackScheme(
    const std::filesystem::path& executable = desktop::UrlSchemeRegistration::currentExecutable());

} // namespace velmora
