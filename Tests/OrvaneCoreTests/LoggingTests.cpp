#include "OrvaneCore/Logging/Logging.h"
#include "Support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>
#include <vector>

using orvane::Logging;
using Level = Logging::LogLevel;
using Type = Logging::LogType;

namespace {

// Every test starts from the process's initial state and leaves it that way.
class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        Logging::updateLogLevel(Level::none);
        Logging::updateCallback(nullptr);
    }

    std::vector<std::string> messages;
    void collect() {
        Logging::updateCallback([this](const std::string& text) { messages.push_back(text); });
    }
};

// Captures what is written to file descriptor 2 while `body` runs.
template <class Body> std::string captureStandardError(Body body) {
    testsupport::TemporaryDirectory folder;
    auto path = folder / "stderr.txt";
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    body();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    return testsupport::readFile(path);
}

struct CountedItem {
    int* describedCount;
    std::string description() const {
        ++*describedCount;
        return "item";
    }
};

} // namespace

TEST_F(LoggingTest, LevelNoneSilencesEverythingIncludingErrors) {
    collect();
    EXPECT_FALSE(Logging::isLoggingEnabled());
    Logging::error("bad");
    Logging::shared().log(Type::fault, {}, "worse");
    auto written = captureStandardError([] {
        Logging::updateCallback(nullptr);
        Logging::error("bad");
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(written, "");
}

TEST_F(LoggingTest, MessagesBelowTheLevelAreDroppedAndFaultCountsAsError) {
    collect();
    Logging::updateLogLevel(Level::error);
    Logging::debug("d");
    Logging::info("i");
    Logging::shared().log(Type::defaultType, {}, "default");
    Logging::error("e");
    Logging::shared().log(Type::fault, {}, "f");
    EXPECT_EQ(messages, (std::vector<std::string>{"e", "f"}));

    messages.clear();
    Logging::updateLogLevel(Level::info);
    Logging::debug("d");
    Logging::shared().log(Type::defaultType, {}, "default");
    Logging::info("i");
    EXPECT_EQ(messages, (std::vector<std::string>{"default", "i"}));
}

TEST_F(LoggingTest, TextIsTheItemsJoinedBySeparatorPlusOptionalTerminator) {
    collect();
    Logging::updateLogLevel(Level::debug);
    Logging::debug("Found chunk from", 1.5, "to", 3, true, 1e6);
    Logging::debug();
    Logging::info(Logging::Format{", ", "\n"}, "a", "b");
    Logging::info(Logging::Format{"", std::nullopt}, 'x', 2.0f, -7LL, std::string("y"));
    Logging::error(Logging::Format{" ", ""}, "no newline");
    const char* missing = nullptr;
    Logging::info("name:", missing);
    EXPECT_EQ(messages, (std::vector<std::string>{"Found chunk from 1.5 to 3 true 1000000.0", "", "a, b\n", "x2.0-7y",
                                                  "no newline", "name: nil"}));
}

TEST_F(LoggingTest, DroppedMessagesAreNeverRendered) {
    collect();
    int described = 0;
    Logging::updateLogLevel(Level::info);
    Logging::debug(CountedItem{&described});
    EXPECT_EQ(described, 0);
    Logging::info(CountedItem{&described});
    EXPECT_EQ(described, 1);
    EXPECT_EQ(messages, std::vector<std::string>{"item"});
}

TEST_F(LoggingTest, EnabledForLevelTable) {
    struct Row {
        Level current;
        bool infoEnabled;
    };
    for (auto row : {Row{Level::debug, true}, Row{Level::info, true}, Row{Level::error, false},
                     Row{Level::none, false}}) {
        Logging::updateLogLevel(row.current);
        EXPECT_EQ(Logging::isLoggingEnabled(Level::info), row.infoEnabled) << static_cast<int>(row.current);
        EXPECT_EQ(Logging::isLoggingEnabled(), row.current != Level::none);
    }
}

TEST_F(LoggingTest, RawValuesOneToFourOnly) {
    EXPECT_FALSE(Logging::logLevelFromRawValue(0));
    EXPECT_FALSE(Logging::logLevelFromRawValue(5));
    EXPECT_FALSE(Logging::logLevelFromRawValue(-1));
    EXPECT_EQ(Logging::logLevelFromRawValue(1), Level::debug);
    EXPECT_EQ(Logging::logLevelFromRawValue(4), Level::none);
}

TEST_F(LoggingTest, CallbackReplacesStandardErrorUntilCleared) {
    Logging::updateLogLevel(Level::debug);
    collect();
    auto whileRegistered = captureStandardError([] { Logging::info("to callback"); });
    EXPECT_EQ(whileRegistered, "");
    EXPECT_EQ(messages, std::vector<std::string>{"to callback"});

    Logging::updateCallback(nullptr);
    EXPECT_FALSE(Logging::shared().loggingCallback());
    auto afterClearing = captureStandardError([] {
        Logging::info("to", "the", "sink");
        Logging::shared().log(Type::fault, Logging::Format{"-", "!"}, "a", "b");
        Logging::debug("multi\nline");
    });
    EXPECT_EQ(afterClearing,
              "[Orvane] [info] to the sink\n[Orvane] [fault] a-b!\n[Orvane] [debug] multi\nline\n");
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(LoggingTest, DefaultLoggerWithoutCategoryIgnoresLevelAndCallback) {
    collect();
    auto written = captureStandardError(
        [] { Logging::writeToSystemLog(Type::error, "Invalid metadata file x: y. Removing it", ""); });
    EXPECT_EQ(written, "[error] Invalid metadata file x: y. Removing it\n");
    EXPECT_TRUE(messages.empty());
}

TEST_F(LoggingTest, CallbackMayLogAndChangeTheLevelWithoutDeadlock) {
    Logging::updateLogLevel(Level::debug);
    Logging::updateCallback([this](const std::string& text) {
        messages.push_back(text);
        if (text == "first") {
            Logging::updateLogLevel(Level::error);
            Logging::debug("dropped");
            Logging::error("nested");
        }
    });
    Logging::debug("first");
    Logging::debug("after");
    EXPECT_EQ(messages, (std::vector<std::string>{"first", "nested"}));
}

TEST_F(LoggingTest, MemoryLineAndUsage) {
    collect();
    Logging::updateLogLevel(Level::debug);
    Logging::logCurrentMemoryUsage("After load");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(std::regex_match(messages[0], std::regex("After load - Memory usage: [0-9]+ MB")))
        << messages[0];
    EXPECT_GT(Logging::getMemoryUsage(), 0u);

    Logging::updateLogLevel(Level::info);
    Logging::logCurrentMemoryUsage("dropped at info");
    EXPECT_EQ(messages.size(), 1u);
}

TEST(LoggingFormat, TimingRowWidthsAndZeroRuns) {
    EXPECT_EQ(Logging::formatTimeWithPercentage(0.5, 10, 2000),
              "  500.00 ms /     10 runs (   50.00 ms/run) 25.00%");
    EXPECT_EQ(Logging::formatTimeWithPercentage(0.001, 0, 1000),
              "    1.00 ms /      0 runs (    0.00 ms/run)  0.10%");
    EXPECT_EQ(Logging::formatTimeWithPercentage(12345.678, 3, 1000),
              "12345678.00 ms /      3 runs (4115226.00 ms/run) 1234567.80%");
    // 0 / 0 at run time yields a NaN with the sign bit set; it still prints as "nan".
    volatile double zero = 0;
    EXPECT_EQ(Logging::formatTimeWithPercentage(0, 0, zero * 1000),
              "    0.00 ms /      0 runs (    0.00 ms/run)   nan%");
}
