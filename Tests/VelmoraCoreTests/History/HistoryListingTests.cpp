#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/History/HistoryListing.h"
#include "VelmoraCore/Recording/SessionFolderName.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono;
using velmora::HistoryListing;
using velmora::HistorySession;

namespace {

class HistoryListingTest : public ::testing::Test {
protected:
    void SetUp() override { environment.set("TZ", "Asia/Tokyo"); }

    /// A session folder with its transcript.
    fs::path recording(const std::string& name, const std::string& transcript = "自分: はい\n") {
        testsupport::writeFile(saveFolder / name / "transcript.txt", transcript);
        return saveFolder / name;
    }
    static void setModified(const fs::path& path, sys_seconds when) {
        fs::last_write_time(path, file_clock::from_sys(when));
    }
    std::vector<std::string> listedIds() const {
        std::vector<std::string> ids;
        for (const auto& session : HistoryListing::loadSessions(saveFolder)) {
            ids.push_back(session.id);
        }
        return ids;
    }
    /// The names in the order the folder lists them.
    std::vector<std::string> listingOrder(const std::vector<std::string>& names) const {
        std::vector<std::string> order;
        for (const auto& entry : fs::directory_iterator(saveFolder)) {
            const std::string name = entry.path().filename().string();
            if (std::find(names.begin(), names.end(), name) != names.end()) {
                order.push_back(name);
            }
        }
        return order;
    }
    HistorySession session(const std::string& id) const {
        for (const auto& session : HistoryListing::loadSessions(saveFolder)) {
            if (session.id == id) {
                return session;
            }
        }
        ADD_FAILURE() << id << " is not listed";
        return {};
    }

    testsupport::ScopedEnvironment environment;
    testsupport::TemporaryDirectory home;
    fs::path saveFolder = home.path() / "ベルモラ";
};

} // namespace

TEST(SessionFolderDate, TheWholeNameInTheFixedFormNamingALocalTimeThatExists) {
    testsupport::ScopedEnvironment environment;
    environment.set("TZ", "Asia/Tokyo");
    const auto start = sys_days(year(2025) / March / 4) + 5min + 7s; // 09:05:07 in Tokyo
    EXPECT_EQ(velmora::sessionFolderDate("2025-03-04_090507"), start);
    EXPECT_EQ(velmora::sessionFolderDate(velmora::sessionFolderName(start)), start);
    EXPECT_EQ(velmora::sessionFolderDate("2024-02-29_000000"), sys_days(year(2024) / February / 28) + 15h);
    for (const char* other :
         {"2025-03-04_09050", "2025-03-04_0905070", "x2025-03-04_090507", "2025-03-04 090507",
          "2025/03/04_090507", "2025-3-04_0905077", "2025-03-04_09:5:7", "+025-03-04_090507",
          "2025-02-30_090507", "2025-13-01_000000", "2025-03-04_240000", "2025-03-04_006000",
          "2023-02-29_000000", "２０２５-03-04_090507", "", "9999-12-31_235959", "0000-01-01_000000",
          "2262-04-12_120000", "1677-09-21_000000"}) {
        EXPECT_EQ(velmora::sessionFolderDate(other), std::nullopt) << other;
    }
    // In Berlin the clocks skip from 02:00 to 03:00 on 31 March 2024: no recording can start at 02:30.
    environment.set("TZ", "Europe/Berlin");
    EXPECT_EQ(velmora::sessionFolderDate("2024-03-31_023000"), std::nullopt);
    EXPECT_EQ(velmora::sessionFolderDate("2024-03-31_033000"), sys_days(year(2024) / March / 31) + 1h + 30min);
}

TEST_F(HistoryListingTest, OnlyFoldersThatAreNotHiddenAndHoldATranscriptNewestFirst) {
    recording("2024-01-02_100000");
    recording("2024-01-03_090000");
    recording(".2024-01-04_000000");
    testsupport::writeFile(saveFolder / "2024-01-05_000000", "a file with a date for a name");
    fs::create_directories(saveFolder / "2024-01-06_000000"); // still being processed
    testsupport::writeFile(saveFolder / "2024-01-07_000000/transcript.json", "[]");
    fs::create_directories(saveFolder / "2024-01-08_000000/transcript.txt"); // listed: it exists
    fs::create_symlink(saveFolder / "2024-01-03_090000", saveFolder / "2024-01-09_000000");

    EXPECT_EQ(listedIds(), (std::vector<std::string>{"2024-01-08_000000", "2024-01-03_090000", "2024-01-02_100000"}));
    const HistorySession listed = session("2024-01-03_090000");
    EXPECT_EQ(listed.folder, saveFolder / "2024-01-03_090000");
    EXPECT_EQ(listed.date, sys_days(year(2024) / January / 3));
    EXPECT_FALSE(listed.transcriptText);
    EXPECT_EQ(HistoryListing::dateText(listed.date), "2024/01/03 09:00");
}

TEST_F(HistoryListingTest, UndatedNamesGoByModificationTimeAndEqualDatesKeepTheListingsOrder) {
    recording("2024-01-02_100000");
    recording("2024-01-04_100000");
    setModified(recording("会議メモ"), sys_days(year(2024) / January / 3));
    setModified(recording("b"), sys_days(year(2024) / January / 2) + 1h); // = 2024-01-02_100000 in Tokyo
    setModified(recording("a"), sys_days(year(2024) / January / 2) + 1h);

    const auto ids = listedIds();
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids[0], "2024-01-04_100000");
    EXPECT_EQ(ids[1], "会議メモ");
    EXPECT_EQ(std::vector<std::string>(ids.begin() + 2, ids.end()),
              listingOrder({"2024-01-02_100000", "a", "b"}));
    EXPECT_EQ(HistoryListing::dateText(session("会議メモ").date), "2024/01/03 09:00");
    // Repeating the listing changes nothing.
    EXPECT_EQ(listedIds(), ids);

    // A name past the clock's reach is undated too, not a wrapped-around date.
    setModified(recording("9999-12-31_235959"), sys_days(year(2024) / January / 5));
    EXPECT_EQ(HistoryListing::dateText(session("9999-12-31_235959").date), "2024/01/05 09:00");
}

TEST_F(HistoryListingTest, NoSaveFolderOrOneThatCannotBeListedGivesNoSessions) {
    EXPECT_TRUE(HistoryListing::loadSessions(saveFolder).empty());
    testsupport::writeFile(saveFolder, "not a folder");
    EXPECT_TRUE(HistoryListing::loadSessions(saveFolder).empty());
    EXPECT_TRUE(HistoryListing::loadSessions(saveFolder / "2024-01-02_100000").empty());
    EXPECT_EQ(HistoryListing::dateText(HistoryListing::distantPast).substr(0, 10), "0001/01/01");
}

TEST_F(HistoryListingTest, PreviewsAndDetailsOfEveryKindOfTranscript) {
    struct Case {
        std::string name;
        std::string transcript;
        std::string preview;
        std::string detail;
        bool canCopy;
    };
    const std::vector<Case> cases = {
        {"2024-01-01_000001", "自分: こんにちは\n相手: どうも\n", "自分: こんにちは", "自分: こんにちは\n相手: どうも\n", true},
        {"2024-01-01_000002", "\n\n相手: 二行目から\n自分: はい", "相手: 二行目から", "\n\n相手: 二行目から\n自分: はい", true},
        {"2024-01-01_000003", "", "（内容なし）", "（文字起こし結果が空です）", false},
        {"2024-01-01_000004", "\n\n\n", "（内容なし）", "\n\n\n", true},
        {"2024-01-01_000005", "自分: \xff\xfe壊れた\n", "", "（文字起こしファイルを読み込めませんでした）", true},
    };
    for (const auto& c : cases) {
        recording(c.name, c.transcript);
    }
    fs::create_directories(saveFolder / "2024-01-01_000006/transcript.txt");
    fs::create_directories(saveFolder / "2024-01-01_000007");
    ASSERT_EQ(mkfifo((saveFolder / "2024-01-01_000007/transcript.txt").c_str(), 0600), 0);
    for (const char* name : {"2024-01-01_000006", "2024-01-01_000007"}) {
        const HistorySession listed = session(name);
        EXPECT_EQ(HistoryListing::previewText(listed), "") << name;
        const HistorySession selected = HistoryListing::select(listed);
        EXPECT_EQ(HistoryListing::detailText(selected), "（文字起こしファイルを読み込めませんでした）") << name;
        EXPECT_TRUE(HistoryListing::canCopy(selected)) << name;
    }

    for (const auto& c : cases) {
        const HistorySession listed = session(c.name);
        EXPECT_EQ(HistoryListing::previewText(listed), c.preview) << c.name;
        EXPECT_FALSE(HistoryListing::canCopy(listed)) << "nothing is read before a row is chosen";
        const HistorySession selected = HistoryListing::select(listed);
        EXPECT_EQ(HistoryListing::detailText(selected), c.detail) << c.name;
        EXPECT_EQ(HistoryListing::canCopy(selected), c.canCopy) << c.name;
    }
    // The detail keeps what it read: the file changing later does not change it.
    const HistorySession selected = HistoryListing::select(session("2024-01-01_000001"));
    fs::remove(saveFolder / "2024-01-01_000001/transcript.txt");
    EXPECT_EQ(HistoryListing::detailText(selected), "自分: こんにちは\n相手: どうも\n");
}
