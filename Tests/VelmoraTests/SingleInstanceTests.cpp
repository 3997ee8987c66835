#include "ShellTestSupport.h"
#include "Support/TestSupport.h"
#include "Velmora/Application/SingleInstance.h"

#include <QEventLoop>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace velmora::app;
using testsupport::TemporaryDirectory;

namespace {

struct Received {
    std::vector<QStringList> urls;
    int showRequests = 0;
};

SingleInstance::Handlers recordingInto(Received& received) {
    return {[&received](const QStringList& urls) { received.urls.push_back(urls); },
            [&received] { ++received.showRequests; }};
}

QString socketIn(const TemporaryDirectory& runtime) {
    return QString::fromStdString((runtime / "velmora.socket").string());
}

} // namespace

TEST(SingleInstance, ALaterStartHandsItsAddressesOverInOrderOrAsksForThePanelAndExits) {
    TemporaryDirectory runtime;
    SingleInstance first(socketIn(runtime));
    ASSERT_EQ(first.claim({}), SingleInstance::Role::first);
    Received received;
    first.setHandlers(recordingInto(received));

    EXPECT_EQ(shelltest::runSecondInstance(runtime.path(),
                                           {"velmora://auth?token=a", "velmora://auth?token=b", "x y"}),
              0);
    EXPECT_EQ(shelltest::runSecondInstance(runtime.path(), {}), 0) << "the launcher clicked again";
    EXPECT_EQ(shelltest::runSecondInstance(runtime.path(), {"velmora://auth?token=c"}), 0);

    ASSERT_TRUE(shelltest::processEventsUntil([&] { return received.urls.size() == 2; }));
    EXPECT_EQ(received.urls[0], QStringList({"velmora://auth?token=a", "velmora://auth?token=b", "x y"}));
    EXPECT_EQ(received.urls[1], QStringList({"velmora://auth?token=c"}));
    EXPECT_EQ(received.showRequests, 1);
}

TEST(SingleInstance, ASocketLeftByACrashedInstanceIsReplacedAndACloseLetsTheNextStartBeFirst) {
    TemporaryDirectory runtime;
    {
        // A socket file whose listener is gone, as a killed instance leaves it.
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (runtime / "velmora.socket").c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_TRUE(std::filesystem::exists(runtime / "velmora.socket"));

    SingleInstance first(socketIn(runtime));
    ASSERT_EQ(first.claim({}), SingleInstance::Role::first);
    SingleInstance later(socketIn(runtime));
    Received received;
    first.setHandlers(recordingInto(received));
    // The hand-over needs the first one's event loop, which this thread runs only afterwards: use the
    // program instead, as the desktop would.
    EXPECT_EQ(shelltest::runSecondInstance(runtime.path(), {"velmora://auth?token=z"}), 0);
    ASSERT_EQ(received.urls.size(), 1u);

    first.close();
    EXPECT_FALSE(first.isListening());
    EXPECT_EQ(later.claim({}), SingleInstance::Role::first);
    EXPECT_FALSE(first.listenAgain()) << "another instance took over meanwhile";
}
