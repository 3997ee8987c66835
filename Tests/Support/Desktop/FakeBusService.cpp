#include "Support/Desktop/FakeBusService.h"

#include <gio/gio.h>

namespace testsupport {

namespace {

void handleCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    g_dbus_method_invocation_return_value(invocation,
                                          static_cast<FakeBusService*>(data)->answer(method, parameters));
}

} // namespace

FakeBusService::FakeBusService(const std::string& address, const std::string& name, const std::string& objectPath,
                               const char* interfaceXml, Handler handler)
    : handler_(std::move(handler)) {
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
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(interfaceXml, nullptr);
        static const GDBusInterfaceVTable vtable = {handleCall, nullptr, nullptr, {}};
        registration_ = g_dbus_connection_register_object(connection_, objectPath.c_str(), node->interfaces[0],
                                                          &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // DO_NOT_QUEUE (4): either the name is ours now (reply 1) or the test has nothing to talk to.
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", name.c_str(), 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
            nullptr);
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

FakeBusService::~FakeBusService() {
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

} // namespace testsupport
