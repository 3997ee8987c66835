#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "VelmoraCore/AppError.h"
#include "VelmoraCore/ErrorText.h"
#include "VelmoraCore/JsonText.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace velmora;

TEST(ErrorText, AnApplicationErrorShowsItsMessageAndItsCaseWithTheQuotedMessage) {
    const AppError error("failed", "保存に失敗しました: \"a\\b\"\n\tend");
    EXPECT_EQ(errorDescription(error), "保存に失敗しました: \"a\\b\"\n\tend");
    EXPECT_STREQ(error.what(), "保存に失敗しました: \"a\\b\"\n\tend");
    EXPECT_EQ(errorTextualForm(error), "failed(\"保存に失敗しました: \\\"a\\\\b\\\"\\n\\tend\")");
    EXPECT_EQ(errorName(error), "failed");
}

TEST(ErrorText, AnEngineErrorShowsItsMessageAndItsCaseWithTheQuotedMessage) {
    const auto error = sonavex::WhisperError::modelsUnavailable(
        "No models found matching \"tiny\" in vevadidaz/sonavex-coreml");
    EXPECT_EQ(errorDescription(error), "No models found matching \"tiny\" in vevadidaz/sonavex-coreml");
    EXPECT_EQ(errorTextualForm(error),
              "modelsUnavailable(\"No models found matching \\\"tiny\\\" in vevadidaz/sonavex-coreml\")");
    EXPECT_EQ(errorTextualForm(std::make_exception_ptr(sonavex::WhisperError::loadAudioFailed("x"))),
              "loadAudioFailed(\"x\")");
    EXPECT_EQ(errorName(error), "modelsUnavailable");
}

TEST(ErrorText, OtherErrorsShowWhatTheySay) {
    const std::filesystem::filesystem_error fileError("cannot create", std::filesystem::path("/x"),
                                                      std::make_error_code(std::errc::file_exists));
    EXPECT_EQ(errorDescription(fileError), fileError.what());
    EXPECT_EQ(errorTextualForm(fileError), fileError.what());
    EXPECT_EQ(errorName(fileError), "fileSystemError");
    EXPECT_EQ(errorName(std::runtime_error("x")), "error");
    EXPECT_EQ(errorDescription(std::make_exception_ptr(AppError("c", "m"))), "m");
    EXPECT_EQ(errorTextualForm(std::make_exception_ptr(42)), "unknown error");
}

TEST(ErrorText, QuotedLiteralsEscapeControlCharactersButKeepOtherText) {
    EXPECT_EQ(quotedLiteral(std::string("a\0b", 3)), "\"a\\0b\"");
    EXPECT_EQ(quotedLiteral("\x01\x7f\r'"), "\"\\u{1}\\u{7f}\\r'\"");
    EXPECT_EQ(quotedLiteral("相手"), "\"相手\"");
}

TEST(JsonText, NumbersAreShortestForTheirWidthWithoutATrailingZero) {
    EXPECT_EQ(json::number(0.02f), "0.02");
    EXPECT_EQ(json::number(0.1), "0.1");
    EXPECT_EQ(json::number(3.0), "3");
    EXPECT_EQ(json::number(-0.5), "-0.5");
    EXPECT_EQ(json::number(1e-5), "1e-05");
    EXPECT_EQ(json::number(1e16), "1e+16");
    EXPECT_EQ(json::number(36000.25), "36000.25");
    EXPECT_EQ(json::number(static_cast<double>(0.02f)), "0.019999999552965164");
}

TEST(JsonText, StringsEscapeWhatJsonNeedsAndTheSlashOnlyWhenAsked) {
    EXPECT_EQ(json::string("a/b \"q\" \\ \n\t\b\f\r\x01 自分"),
              "\"a/b \\\"q\\\" \\\\ \\n\\t\\b\\f\\r\\u0001 自分\"");
    EXPECT_EQ(json::string("http://x", json::Slash::escaped), "\"http:\\/\\/x\"");
}
