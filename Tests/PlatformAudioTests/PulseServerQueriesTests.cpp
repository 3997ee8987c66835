#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseServerQueries.h"
#include "Support/ScopedEnvironment.h"
#include "Support/Audio/TestPulseServer.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <pulse/def.h>

using audio::PulseContext;
using audio::PulseDevice;
using audio::PulseError;

namespace {

class PulseServerQueriesTest : public testsupport::PulseServerTest {};

const PulseDevice* find(const std::vector<PulseDevice>& devices, const std::string& name) {
    auto found = std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.name == name; });
    return found != devices.end() ? &*found : nullptr;
}

} // namespace

TEST_F(PulseServerQueriesTest, ListsSinksAndSourcesWithWhatDevicePickersNeed) {
    testsupport::LoadedPulseModule usb(
        "module-null-sink", "sink_name=usb_headset rate=48000 channels=2 "
                            R"("sink_properties=\"device.description='USB Headset' device.bus=usb\"")");
    auto context = PulseContext::shared();

    auto sinks = audio::listSinks(*context);
    const PulseDevice* headset = find(sinks, "usb_headset");
    ASSERT_NE(headset, nullptr);
    EXPECT_EQ(headset->kind, PulseDevice::Kind::sink);
    EXPECT_EQ(headset->description, "USB Headset");
    EXPECT_EQ(headset->sampleRate, 48000u);
    EXPECT_EQ(headset->channels, 2u);
    EXPECT_EQ(headset->property("device.bus"), "usb");
    EXPECT_EQ(headset->property("no.such.key"), "");
    EXPECT_EQ(headset->monitorSourceName, "usb_headset.monitor");
    EXPECT_EQ(headset->driver, "module-null-sink.c");
    EXPECT_EQ(headset->moduleName, "module-null-sink");
    EXPECT_NE(find(sinks, "test_sink"), nullptr);

    auto sources = audio::listSources(*context);
    const PulseDevice* microphone = find(sources, "test_source");
    ASSERT_NE(microphone, nullptr);
    EXPECT_EQ(microphone->kind, PulseDevice::Kind::source);
    EXPECT_FALSE(microphone->isMonitor);
    EXPECT_EQ(microphone->description, "Test-Source");
    EXPECT_EQ(microphone->sampleRate, 16000u);
    EXPECT_EQ(microphone->channels, 1u);
    EXPECT_EQ(microphone->moduleName, "module-pipe-source");
    const PulseDevice* monitor = find(sources, "usb_headset.monitor");
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(monitor->isMonitor);
}

TEST_F(PulseServerQueriesTest, ReadsAndSetsTheDefaultSink) {
    testsupport::LoadedPulseModule other("module-null-sink", "sink_name=other_sink");
    auto context = PulseContext::shared();
    auto before = audio::readServerInfo(*context);
    EXPECT_EQ(before.defaultSinkName, "test_sink");
    EXPECT_EQ(before.defaultSourceName, "test_source");
    EXPECT_FALSE(before.serverName.empty());

    audio::setDefaultSink(*context, "other_sink");
    EXPECT_EQ(audio::readServerInfo(*context).defaultSinkName, "other_sink");
    std::string reported;
    testsupport::pactl("get-default-sink", &reported);
    EXPECT_EQ(reported, "other_sink\n");
}

TEST_F(PulseServerQueriesTest, RefusedCallsNameTheCallAndTheServersReason) {
    auto context = PulseContext::shared();
    try {
        audio::setDefaultSink(*context, "no_such_sink");
        FAIL() << "an unknown sink became the default";
    } catch (const PulseError& error) {
        EXPECT_EQ(error.operation(), "pa_context_set_default_sink");
        EXPECT_EQ(error.code(), PA_ERR_NOENTITY);
        EXPECT_EQ(std::string(error.what()), "pa_context_set_default_sink: No such entity");
    }
    // The context survives a refusal.
    EXPECT_EQ(audio::readServerInfo(*context).defaultSinkName, "test_sink");
}

TEST_F(PulseServerQueriesTest, HoldersShareOneContextUntilTheLastLetsGo) {
    auto first = PulseContext::shared();
    auto second = PulseContext::shared();
    EXPECT_EQ(first.get(), second.get());
    std::weak_ptr<PulseContext> watcher = first;
    first.reset();
    second.reset();
    EXPECT_TRUE(watcher.expired());
}

TEST(PulseContextTest, NoServerIsAnErrorWithTheLibrarysText) {
    testsupport::ScopedEnvironment environment;
    environment.set("PULSE_SERVER", "unix:/nonexistent/velmora/native");
    try {
        PulseContext::shared();
        FAIL() << "connected to a server that does not exist";
    } catch (const PulseError& error) {
        EXPECT_EQ(error.operation(), "pa_context_connect");
        EXPECT_NE(error.code(), 0);
        EXPECT_EQ(error.what(), "pa_context_connect: " + error.libraryText());
    }
}
