#include "Support/Desktop/FakeScreenSaverService.h"

#include <algorithm>
#include <gio/gio.h>

namespace testsupport {

namespace {

constexpr const char* interfaceXml = R"(
<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="Inhibit">
      <arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="out" type="u"/>
    </method>
    <method name="UnInhibit"><arg direction="in" type="u"/></method>
  </interface>
</node>)";

} // namespace

FakeScreenSaverService::FakeScreenSaverService(const std::string& address)
    : service_(std::make_unique<FakeBusService>(
          address, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", interfaceXml,
          [this](const std::string& method, GVariant* parameters) { return answer(method, parameters); })) {}

std::vector<FakeScreenSaverService::Call> FakeScreenSaverService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<uint32_t> FakeScreenSaverService::heldCookies() const {
    std::lock_guard lock(mutex_);
    return held_;
}

GVariant* FakeScreenSaverService::answer(const std::string& method, GVariant* parameters) {
    std::lock_guard lock(mutex_);
    if (method == "Inhibit") {
        const gchar* application = nullptr;
        const gchar* reason = nullptr;
        g_variant_get(parameters, "(&s&s)", &application, &reason);
        const uint32_t cookie = nextCookie_++;
        calls_.push_back({"Inhibit", application, reason, cookie});
        held_.push_back(cookie);
        return g_variant_new("(u)", cookie);
    }
    guint32 cookie = 0;
    g_variant_get(parameters, "(u)", &cookie);
    calls_.push_back({"UnInhibit", "", "", cookie});
    held_.erase(std::remove(held_.begin(), held_.end(), cookie), held_.end());
    return nullptr;
}

} // namespace testsupport
