#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"
#include "VelmoraCore/ErrorText.h"

#include <gtest/gtest.h>

using velmora::CAError;
using velmora::TransportType;
using velmora::transportTypeDescription;

TEST(CAErrorTest, StatusDescriptionShowsFourPrintableBytesOnly) {
    EXPECT_EQ(CAError::status("AudioDeviceStart", 0x21646576).description(),
              "AudioDeviceStart failed \u2014 OSStatus 560227702 ('!dev')");
    EXPECT_EQ(CAError::status("AudioDeviceStart", -50).description(),
              "AudioDeviceStart failed \u2014 OSStatus -50");
    // 127 (DEL) and 31 lie just outside printable ASCII; 32 and 126 just inside.
    EXPECT_EQ(CAError::status("op", 0x2164657f).description(), "op failed \u2014 OSStatus 560227711");
    EXPECT_EQ(CAError::status("op", 0x1f646576).description(), "op failed \u2014 OSStatus 526673270");
    EXPECT_EQ(CAError::status("op", 0x207e2020).description(),
              "op failed \u2014 OSStatus 545136672 (' ~  ')");
    EXPECT_EQ(CAError::status("op", 0).description(), "op failed \u2014 OSStatus 0");
}

TEST(CAErrorTest, MessageIsItsTextAndBothShowThroughTheAppsErrorTexts) {
    const CAError message = CAError::message("CFString プロパティが null");
    EXPECT_EQ(message.description(), "CFString プロパティが null");
    EXPECT_EQ(message.kind(), CAError::Kind::message);
    EXPECT_EQ(velmora::errorDescription(message), "CFString プロパティが null");

    const CAError status = CAError::status("pa_context_connect", 6);
    EXPECT_EQ(velmora::errorDescription(status), status.description());
    EXPECT_EQ(std::string(status.what()), status.description());
    EXPECT_EQ(velmora::errorTextualForm(status), status.description());
    EXPECT_EQ(velmora::errorTextualForm(message), "CFString プロパティが null");
    EXPECT_EQ(status.operation(), "pa_context_connect");
    EXPECT_EQ(status.statusCode(), 6);

    EXPECT_NO_THROW(velmora::caCheck("op", 0));
    try {
        velmora::caCheck("AudioObjectGetPropertyData(Devices)", -1);
        FAIL();
    } catch (const CAError& error) {
        EXPECT_EQ(error.description(), "AudioObjectGetPropertyData(Devices) failed \u2014 OSStatus -1");
    }
}

TEST(TransportTypeTest, UnknownCodesAreNumberedAndCodesNeedFourCharacters) {
    EXPECT_EQ(transportTypeDescription(0), "その他(0)");
    EXPECT_EQ(transportTypeDescription(0xffffffffu), "その他(4294967295)");
    EXPECT_EQ(velmora::fourCharCode(std::string_view("usb ")), 0x75736220u);
    EXPECT_EQ(velmora::fourCharCode(std::string_view("usb")), std::nullopt);
}
