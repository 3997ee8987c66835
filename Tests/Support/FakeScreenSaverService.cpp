#include "Support/FakeScreenSaverService.h"

#include <algorithm>
#include <gio/gio.h>

namespace testsupport {

namespace {

constexpr const char* introspection = R"(
<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="Inhibit">
      <arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="out" type="u"/>
    </method>
    <method name="UnInhibit"><arg direction="in" type="u"/></method>
  </interface>
</node>)";

void handleCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* service = static_cast<FakeScreenSaverService*>(data);
    if (std::string(method) == "Inhibit") {
        const gchar* application = nullptr;
        const gchar* reason = nullptr;
        g_variant_get(parameters, "(&s&s)", &application, &reason);
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(u)", service->inhibit(application, reason)));
    } else {
        guint32 cookie = 0;
        g_variant_get(parameters, "(u)", &cookie);
        service->unInhibit(cookie);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

} // namespace

FakeScreenSaverService::FakeScreenSaverService(const std::string& address) {
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    // Everything of this connection is dispatched on the service's own context and thread.
    g_main_context_push_thread_default(context_);
    connection_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (connection_ != nullptr) {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
        static const GDBusInterfaceVTable vtable = {handleCall, nullptr, nullptr, {}};
        registration_ = g_dbus_connection_register_object(connection_, "/org/freedesktop/ScreenSaver",
                                                          node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // DO_NOT_QUEUE (4): either the name is ours now (reply 1) or the test has nothing to talk to.
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", "org.freedesktop.ScreenSaver", 4u), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        if (reply != nullptr) {
            guint32 result = 0;
            g_variant_get(reply, "(u)", &result);
            owns_ = result == 1;
            g_variant_unref(reply);
        }
    }
    g_main_context_pop_thread_default(context_);
    thread_ = std::thread([this] {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    });
}

FakeScreenSaverService::~FakeScreenSaverService() {
    g_main_loop_quit(loop_);
    thread_.join();
    if (connection_ != nullptr) {
        if (registration_ != 0) {
            g_dbus_connection_unregister_object(connection_, registration_);
        }
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
}

std::vector<FakeScreenSaverService::Call> FakeScreenSaverService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<uint32_t> FakeScreenSaverService::heldCookies() const {
    std::lock_guard lock(mutex_);
    return held_;
}

uint32_t FakeScreenSaverService::inhibit(const std::string& applicationName, const std::string& reason) {
    std::lock_guard lock(mutex_);
    const uint32_t cookie = nextCookie_++;
    calls_.push_back({"Inhibit", applicationName, reason, cookie});
    held_.push_back(cookie);
    return cookie;
}

void FakeScreenSaverService::unInhibit(uint32_t cookie) {
    std::lock_guard lock(mutex_);
    calls_.push_back({"UnInhibit", "", "", cookie});
    held_.erase(std::remove(held_.begin(), held_.end(), cookie), held_.end());
}

} // namespace testsupport
