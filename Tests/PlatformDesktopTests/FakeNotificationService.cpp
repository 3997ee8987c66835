#include "FakeNotificationService.h"

#include <gio/gio.h>

namespace testsupport {

namespace {

constexpr const char* interfaceXml = R"(
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="GetServerInformation">
      <arg direction="out" type="s"/><arg direction="out" type="s"/>
      <arg direction="out" type="s"/><arg direction="out" type="s"/>
    </method>
    <method name="GetCapabilities"><arg direction="out" type="as"/></method>
    <method name="Notify">
      <arg direction="in" type="s"/><arg direction="in" type="u"/><arg direction="in" type="s"/>
      <arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="in" type="as"/>
      <arg direction="in" type="a{sv}"/><arg direction="in" type="i"/>
      <arg direction="out" type="u"/>
    </method>
  </interface>
</node>)";

// The answer to one call; a Notify is recorded first.
GVariant* answer(FakeNotificationService& service, const std::string& method, GVariant* parameters) {
    if (method == "GetServerInformation") {
        return g_variant_new("(ssss)", "fake", "velmora-tests", "1", "1.2");
    }
    if (method == "GetCapabilities") {
        const gchar* capabilities[] = {"body", "sound", nullptr};
        return g_variant_new("(^as)", capabilities);
    }
    const gchar* application = nullptr;
    const gchar* summary = nullptr;
    const gchar* body = nullptr;
    GVariant* hints = nullptr;
    g_variant_get(parameters, "(&su&s&s&s^a&s@a{sv}i)", &application, nullptr, nullptr, &summary, &body, nullptr,
                  &hints, nullptr);
    FakeNotificationService::Call call{application, summary, body, {}};
    GVariantIter iter;
    g_variant_iter_init(&iter, hints);
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_next(&iter, "{&sv}", &key, &value)) {
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
            call.hints[key] = g_variant_get_string(value, nullptr);
        }
        g_variant_unref(value);
    }
    g_variant_unref(hints);
    service.record(std::move(call));
    return g_variant_new("(u)", 1u);
}

} // namespace

FakeNotificationService::FakeNotificationService(const std::string& address)
    : service_(std::make_unique<FakeBusService>(
          address, "org.freedesktop.Notifications", "/org/freedesktop/Notifications", interfaceXml,
          [this](const std::string& method, GVariant* parameters) { return answer(*this, method, parameters); })) {}

std::vector<FakeNotificationService::Call> FakeNotificationService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void FakeNotificationService::record(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

} // namespace testsupport
