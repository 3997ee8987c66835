#include "Platform/Desktop/UrlHandling/XdgBrowserOpener.h"

#include <glib.h>

namespace desktop {

bool XdgBrowserOpener::open(const std::string& url) {
    // The address is one argument of its own: no shell ever sees it.
    gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(url.c_str()), nullptr};
    GError* error = nullptr;
    // Without a pid asked for, GLib starts the child through an intermediate process that it reaps, so
    // nothing is left to wait for.
    const gboolean started = g_spawn_async(
        nullptr, argv, nullptr, static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL),
        nullptr, nullptr, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return started != FALSE;
}

} // namespace desktop
