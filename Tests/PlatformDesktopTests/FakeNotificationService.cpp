#include "FakeNotificationService.h"

#include <gio/gio.h>

namespace testsupport {

namespace {

constexpr const char* introspection = R"(
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

void handleCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* service = static_cast<FakeNotificationService*>(data);
    const std::string name = method;
    if (name == "GetServerInformation") {
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(ssss)", "fake", "velmora-tests", "1", "1.2"));
    } else if (name == "GetCapabilities") {
        const gchar* capabilities[] = {"body", "sound", nullptr};
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
    } else {
        const gchar* application = nullptr;
        const gchar* summary = nullptr;
        const gchar* body = nullptr;
        GVariant* hints = nullptr;
        g_variant_get(parameters, "(&su&s&s&s^a&s@a{sv}i)", &application, nullptr, nullptr, &summary, &body,
                      nullptr, &hints, nullptr);
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
        service->record(std::move(call));
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 1u));
    }
}

} // namespace

FakeNotificationService::FakeNotificationService(const std::string& address) {
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    // Everything of this connection is dispatched on the service's own context and thread.
    g_main_context_push_thread_default(context_);
    GError* error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection_ != nullptr) {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
        static const GDBusInterfaceVTable vtable = {handleCall, nullptr, nullptr, {}};
        registration_ =
            g_dbus_connection_register_object(connection_, "/org/freedesktop/Notifications",
                                              node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // DO_NOT_QUEUE (4): either the name is ours now (reply 1) or the test has nothing to talk to.
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        if (reply != nullptr) {
            guint32 result = 0;
            g_variant_get(reply, "(u)", &result);
            owns_ = result == 1;
            g_variant_unref(reply);
        }
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    g_main_context_pop_thread_default(context_);
    thread_ = std::thread([this] {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    });
}

FakeNotificationService::~FakeNotificationService() {
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

std::vector<FakeNotificationService::Call> FakeNotificationService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void FakeNotificationService::record(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

} // namespace testsupport
