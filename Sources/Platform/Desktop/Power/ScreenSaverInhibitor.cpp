#include "Platform/Desktop/Power/ScreenSaverInhibitor.h"

#include <gio/gio.h>

namespace desktop {

namespace {

// A connection of our own to the session bus (not the process's shared one, which would keep the
// inhibition alive after release and ends the process when the bus goes); null when there is no bus.
GDBusConnection* openSessionConnection() {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address == nullptr) {
        g_clear_error(&error);
        return nullptr;
    }
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
    g_clear_error(&error);
    return connection;
}

void closeConnection(GDBusConnection* connection) {
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(std::chrono::milliseconds callTimeout) : callTimeout_(callTimeout) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    release();
}

bool ScreenSaverInhibitor::inhibit(const std::string& applicationName, const std::string& reason) {
    release();
    GDBusConnection* connection = openSessionConnection();
    if (connection == nullptr) {
        return false;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        connection, serviceName, objectPath, serviceName, "Inhibit",
        g_variant_new("(ss)", applicationName.c_str(), reason.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(callTimeout_.count()), nullptr, &error);
    g_clear_error(&error);
    if (reply == nullptr) {
        closeConnection(connection);
        return false;
    }
    guint32 cookie = 0;
    g_variant_get(reply, "(u)", &cookie);
    g_variant_unref(reply);
    connection_ = connection;
    cookie_ = cookie;
    return true;
}

void ScreenSaverInhibitor::release() {
    if (connection_ == nullptr) {
        return;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection_, serviceName, objectPath, serviceName, "UnInhibit",
                                                  g_variant_new("(u)", cookie_), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE,
                                                  static_cast<gint>(callTimeout_.count()), nullptr, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    // Closing drops the inhibition on the service's side even when the call above failed.
    closeConnection(connection_);
    connection_ = nullptr;
    cookie_ = 0;
}

} // namespace desktop
