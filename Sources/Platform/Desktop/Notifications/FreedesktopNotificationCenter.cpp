#include "Platform/Desktop/Notifications/FreedesktopNotificationCenter.h"

#include <gio/gio.h>

namespace desktop {

namespace {

// The session bus connection GIO shares within the process; nothing when there is no bus.
GDBusConnection* sessionBus() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return bus;
}

} // namespace

FreedesktopNotificationCenter::FreedesktopNotificationCenter(std::string applicationName,
                                                             std::chrono::milliseconds callTimeout)
    : applicationName_(std::move(applicationName)), callTimeout_(callTimeout), worker_([this] { work(); }) {}

FreedesktopNotificationCenter::~FreedesktopNotificationCenter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void FreedesktopNotificationCenter::requestAuthorization(std::function<void(bool granted)> completion) {
    enqueue([this, completion = std::move(completion)] { completion(serviceAnswers()); });
}

void FreedesktopNotificationCenter::add(Notification notification) {
    enqueue([this, notification = std::move(notification)] { notify(notification); });
}

void FreedesktopNotificationCenter::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return calls_.empty() && !busy_; });
}

void FreedesktopNotificationCenter::enqueue(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    changed_.notify_all();
}

void FreedesktopNotificationCenter::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !calls_.empty(); });
        if (calls_.empty()) {
            return; // stopping, and everything queued has been made
        }
        std::function<void()> call = std::move(calls_.front());
        calls_.pop_front();
        busy_ = true;
        lock.unlock();
        call();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

bool FreedesktopNotificationCenter::serviceAnswers() const {
    GDBusConnection* bus = sessionBus();
    if (bus == nullptr) {
        return false;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, serviceName, objectPath, serviceName, "GetServerInformation", nullptr, G_VARIANT_TYPE("(ssss)"),
        G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(callTimeout_.count()), nullptr, &error);
    const bool answered = reply != nullptr;
    if (reply != nullptr) {
        g_variant_unref(reply);
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    g_object_unref(bus);
    return answered;
}

void FreedesktopNotificationCenter::notify(const Notification& notification) const {
    GDBusConnection* bus = sessionBus();
    if (bus == nullptr) {
        return;
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    if (notification.playsDefaultSound) {
        g_variant_builder_add(&hints, "{sv}", "sound-name", g_variant_new_string(defaultSoundName));
    }
    GVariant* parameters =
        g_variant_new("(susssasa{sv}i)", applicationName_.c_str(), 0u, "", notification.title.c_str(),
                      notification.body.c_str(), nullptr, &hints, -1);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, serviceName, objectPath, serviceName, "Notify",
                                                  parameters, G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
                                                  static_cast<gint>(callTimeout_.count()), nullptr, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    g_object_unref(bus);
}

} // namespace desktop
