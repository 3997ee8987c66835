#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status;
    std::string output;
};

ToolRun velmoractl(const std::string& arguments, const std::string& home = "/nonexistent") {
    ToolRun run{};
    run.status = testsupport::runCommand("env -u XDG_CONFIG_HOME HOME='" + home + "' '" +
                                             testsupport::toolPath("velmoractl").string() + "' " + arguments +
                                             " 2>/dev/null",
                                         &run.output);
    return run;
}

class VelmoractlDevicesTest : public testsupport::PulseServerTest {};

} // namespace

TEST(VelmoractlCodes, StatusesInDecimalOrHexAndTransportCodesAsNumbersOrCharacters) {
    EXPECT_EQ(velmoractl("ca-error AudioDeviceStart 0x21646576").output,
              "{\"description\":\"AudioDeviceStart failed \u2014 OSStatus 560227702 ('!dev')\"}\n");
    EXPECT_EQ(velmoractl("ca-error op -50").output, "{\"description\":\"op failed \u2014 OSStatus -50\"}\n");
    // A hexadecimal status is the 32 bits themselves.
    EXPECT_EQ(velmoractl("ca-error op 0xFFFFFFFF").output,
              "{\"description\":\"op failed \u2014 OSStatus -1\"}\n");
    for (const char* bad : {"0x", "12abc", "2147483648", "-2147483649", "0x100000000", "0x-1", "''"}) {
        EXPECT_EQ(velmoractl(std::string("ca-error op ") + bad).status, 2) << bad;
    }
    EXPECT_EQ(velmoractl("ca-error op").status, 2);

    EXPECT_EQ(velmoractl("transport bltn").output, "{\"transportType\":1651274862,\"label\":\"内蔵\"}\n");
    EXPECT_EQ(velmoractl("transport 1651274862").output,
              "{\"transportType\":1651274862,\"label\":\"内蔵\"}\n");
    EXPECT_EQ(velmoractl("transport 'usb '").output, "{\"transportType\":1970496032,\"label\":\"USB\"}\n");
    EXPECT_EQ(velmoractl("transport 0").output, "{\"transportType\":0,\"label\":\"その他(0)\"}\n");
    EXPECT_EQ(velmoractl("transport blue2").status, 2);
    EXPECT_EQ(velmoractl("transport 4294967296").status, 2);
}

TEST(VelmoractlCodes, DiskSpaceOfAPathThatCannotBeAskedIsAnErrorLine) {
    const auto run = velmoractl("disk-space /nonexistent/velmora");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output.rfind("{\"error\":\"fileSystemError\",\"message\":", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("/nonexistent/velmora"), std::string::npos) << run.output;
    EXPECT_EQ(velmoractl("disk-space /").status, 0);
    EXPECT_EQ(velmoractl("disk-space").status, 2);
}

TEST_F(VelmoractlDevicesTest, DevicesListOptionsThenDefaults) {
    auto run = velmoractl("devices");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.output,
        "{\"scope\":\"input\",\"id\":\"test_source\",\"name\":\"Test-Source\",\"transportType\":0,"
        "\"label\":\"その他(0)\"}\n"
        "{\"scope\":\"output\",\"id\":\"test_sink\",\"name\":\"Test-Sink\",\"transportType\":1986622068,"
        "\"label\":\"仮想\"}\n"
        "{\"scope\":\"defaults\",\"input\":\"test_source\",\"output\":\"test_sink\",\"builtInInput\":null}"
        "\n");
    EXPECT_EQ(velmoractl("device-info --preferred nothing").output,
              "{\"inputName\":\"Test-Source\",\"outputName\":\"Test-Sink\",\"outputIsBuiltInSpeaker\":false,"
              "\"inputSampleRateIsLow\":true,\"inputSampleRate\":16000,\"inputWasRedirectedFromBluetooth\":"
              "false}\n");
}

TEST_F(VelmoractlDevicesTest, PermissionRequestWritesItsLogInTheDocumentsFolder) {
    testsupport::TemporaryDirectory home;
    std::filesystem::create_directories(home / "Documents");
    auto run = velmoractl("permissions --request-microphone", home.path().string());
    EXPECT_EQ(run.output, "{\"microphone\":\"granted\",\"screenRecording\":\"granted\"}\n");
    const std::string log = testsupport::readFile(home / "Documents" / "velmora-permission-debug.log");
    EXPECT_NE(log.find("] requestMicrophoneAccess() 完了。granted=true、再確認status=granted\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
}
