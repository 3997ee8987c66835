#include "Support/TestSupport.h"
#include "Velmora/Application/SingleInstance.h"
#include "Velmora/Lifecycle/AppDelegate.h"
#include "Velmora/Lifecycle/AppLifecycle.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace velmora::app;
using testsupport::TemporaryDirectory;

TEST(AppLifecycle, RestartEndsTheProcessEvenWhenTheNewOneCannotStartAndClosesTheSocketFirst) {
    TemporaryDirectory runtime;
    const QString socket = QString::fromStdString((runtime / "velmora.socket").string());
    SingleInstance instance(socket);
    ASSERT_EQ(instance.claim({}), SingleInstance::Role::first);

    // The machine's own start and end: a program that is not there, and the event loop's end.
    auto control = AppLifecycle::ProcessControl::system();
    std::optional<std::string> startFailure;
    bool listeningAtStart = true;
    auto start = control.startDetached;
    control.startDetached = [&](const std::filesystem::path& program, const QStringList& arguments) {
        listeningAtStart = instance.isListening();
        startFailure = start(program, arguments);
        return startFailure;
    };
    AppLifecycle lifecycle(&instance, runtime / "missing/velmora", {"--no-install-check"}, control);
    lifecycle.restart();
    EXPECT_EQ(QCoreApplication::exec(), 0) << "returns only because restart() ended the event loop";

    ASSERT_TRUE(startFailure.has_value());
    EXPECT_NE(startFailure->find("No such file"), std::string::npos) << *startFailure;
    EXPECT_FALSE(listeningAtStart) << "the new process would hand itself to this one";
    EXPECT_EQ(SingleInstance(socket).claim({}), SingleInstance::Role::first);
}

TEST(AppDelegate, HandsEachAddressInOrderAndDropsThemWhileNoActionIsSet) {
    AppDelegate delegate;
    delegate.openURLs({"velmora://auth?token=early"});
    std::vector<std::string> received;
    delegate.onURLReceived = [&](const std::string& url) { received.push_back(url); };
    delegate.openURLs({"velmora://auth?token=1", "velmora://callback?token=2"});
    EXPECT_EQ(received, (std::vector<std::string>{"velmora://auth?token=1", "velmora://callback?token=2"}));
    delegate.applicationDidFinishLaunching(); // without a check: nothing
}
