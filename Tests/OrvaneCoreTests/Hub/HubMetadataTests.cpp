#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>

using orvane::HubApi;
using orvane::HubEnvironmentError;

namespace {

class HubMetadata : public ::testing::Test {
protected:
    // Reads a record written as `text`; returns the result and what was logged.
    std::optional<HubApi::LocalDownloadFileMetadata> readText(const std::string& text,
                                                              std::string* log = nullptr) {
        testsupport::writeFile(file, text);
        testing::internal::CaptureStderr();
        auto record = api.readDownloadMetadata(file);
        std::string logged = testing::internal::GetCapturedStderr();
        if (log != nullptr) {
            *log = logged;
        }
        return record;
    }

    testsupport::TemporaryDirectory folder;
    std::filesystem::path file = folder / "sub/model.bin.metadata";
    HubApi api{folder.path(), std::string("")};
};

double now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

} // namespace

TEST_F(HubMetadata, AWrittenRecordReadsBack) {
    double before = now();
    api.writeDownloadMetadata("c0ffee", "etag-1", file);
    auto record = api.readDownloadMetadata(file);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commitHash, "c0ffee");
    EXPECT_EQ(record->etag, "etag-1");
    EXPECT_EQ(record->filename, "model.bin");
    EXPECT_GE(record->timestamp, before - 1);
    EXPECT_LE(record->timestamp, now() + 1);

    std::string text = testsupport::readFile(file);
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    std::string time = text.substr(text.find("etag-1\n") + 7);
    EXPECT_EQ(time.find('e'), std::string::npos) << time; // plain notation, never "1.7e+09"
    EXPECT_NE(time.find('.'), std::string::npos) << time;
    // Only the record is left in the folder: the write went through a temporary file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
}

TEST_F(HubMetadata, ABareFileNameIsWrittenInTheCurrentFolder) {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    EXPECT_NO_THROW(api.writeDownloadMetadata("c", "e", "model.bin.metadata"));
    auto record = api.readDownloadMetadata("model.bin.metadata");
    std::filesystem::current_path(previous);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->etag, "e");
    EXPECT_TRUE(std::filesystem::exists(folder / "model.bin.metadata"));
}

TEST_F(HubMetadata, DamagedRecordsAreLoggedRemovedAndReadAsNothing) {
    struct Case {
        const char* text;
        const char* reason;
    };
    for (const Case& c : {Case{"", "Metadata file is missing required fields"},
                          Case{"abc\ndef", "Metadata file is missing required fields"},
                          Case{"abc\ndef\n", "Invalid timestamp format"},
                          Case{"abc\r\ndef\r\n1700000000.0\r\n", "Invalid timestamp format"},
                          Case{"abc\ndef\n12 o'clock\n", "Invalid timestamp format"}}) {
        std::string log;
        EXPECT_FALSE(readText(c.text, &log)) << c.text;
        EXPECT_FALSE(std::filesystem::exists(file)) << c.text;
        EXPECT_NE(log.find("Invalid metadata file file://" + file.string() +
                           ": Invalid metadata: " + c.reason + ". Removing it from disk and continuing."),
                  std::string::npos)
            << log;
    }
    std::string log;
    EXPECT_FALSE(readText("\xff\xfe\n\n\n", &log));
    EXPECT_NE(log.find("Error reading metadata file file://" + file.string()), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(HubMetadata, ADamagedRecordThatCannotBeRemovedIsAnError) {
    // A folder full of files where the record should be: unreadable, and not removed with its content.
    testsupport::writeFile(file / "keep", "data");
    testing::internal::CaptureStderr();
    try {
        api.readDownloadMetadata(file);
        FAIL() << "no error";
    } catch (const HubEnvironmentError& error) {
        EXPECT_EQ(error.kind(), HubEnvironmentError::Kind::invalidMetadataError);
        EXPECT_EQ(std::string(error.what())
                      .rfind("Invalid metadata: Could not remove corrupted metadata file: ", 0),
                  0u)
            << error.what();
    }
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Error reading metadata file file://" + file.string() + ": "), std::string::npos)
        << log;
    EXPECT_TRUE(std::filesystem::exists(file / "keep"));
}

TEST_F(HubMetadata, OnlyADamagedRecordFileIsEverRemoved) {
    // Paths given by mistake are reported and left alone: a model file, an empty folder, a link to a
    // file, and a folder that merely carries the record's name.
    auto expectKept = [&](const std::filesystem::path& path) {
        testing::internal::CaptureStderr();
        try {
            api.readDownloadMetadata(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const HubEnvironmentError& error) {
            EXPECT_EQ(error.kind(), HubEnvironmentError::Kind::invalidMetadataError);
            EXPECT_NE(std::string(error.what()).find("is not a regular \".metadata\" file"), std::string::npos)
                << error.what();
        }
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("leaving it"), std::string::npos) << log;
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(path))) << path;
    };
    testsupport::writeFile(folder / "README.md", "# A model\n");
    expectKept(folder / "README.md");
    EXPECT_EQ(testsupport::readFile(folder / "README.md"), "# A model\n");

    std::filesystem::create_directories(folder / "empty.metadata");
    expectKept(folder / "empty.metadata");

    testsupport::writeFile(folder / "weights.bin", "binary");
    std::filesystem::create_symlink(folder / "weights.bin", folder / "link.metadata");
    expectKept(folder / "link.metadata");
    EXPECT_TRUE(std::filesystem::exists(folder / "weights.bin"));

    // The record itself, damaged, still goes.
    EXPECT_FALSE(readText("damaged"));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(HubMetadata, ReadingTrimsValuesIgnoresExtraLinesAndAcceptsAnyNumber) {
    auto record = readText("  abc \n\tdef\n 1.7e9 \nextra\nlines\n");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commitHash, "abc");
    EXPECT_EQ(record->etag, "def");
    EXPECT_EQ(record->timestamp, 1.7e9);
    EXPECT_EQ(readText("a\u2028b\u2029-0x1p4\n")->timestamp, -16.0); // U+2028/U+2029 separate lines too
    EXPECT_TRUE(std::isinf(readText("a\nb\ninf")->timestamp));
    EXPECT_FALSE(api.readDownloadMetadata(folder / "none.metadata"));
}

TEST_F(HubMetadata, AFailedWriteNamesThePathAndKeepsTheOldRecord) {
    api.writeDownloadMetadata("old", "old", file);
    testsupport::writeFile(folder / "blocker", "a file where a folder should be");
    try {
        api.writeDownloadMetadata("c", "e", folder / "blocker/x.metadata");
        FAIL() << "no error";
    } catch (const HubEnvironmentError& error) {
        EXPECT_EQ(error.kind(), HubEnvironmentError::Kind::fileWriteError);
        EXPECT_EQ(std::string(error.what())
                      .rfind("Failed to write file: Failed to write metadata to " +
                                 (folder / "blocker/x.metadata").string() + ": ",
                             0),
                  0u)
            << error.what();
    }
    EXPECT_EQ(api.readDownloadMetadata(file)->commitHash, "old");
}

TEST(HubHashing, Sha256OfFilesLargeAndSmall) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "empty", "");
    EXPECT_EQ(HubApi::computeFileHash(folder / "empty"),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    testsupport::writeFile(folder / "abc", "abc");
    EXPECT_EQ(HubApi::computeFileHash(folder / "abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::string large(3 * 1'048'576 + 17, '\0');
    for (size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 7 % 251);
    }
    testsupport::writeFile(folder / "large", large);
    testsupport::writeFile(folder / "copy", large);
    EXPECT_EQ(HubApi::computeFileHash(folder / "large"), HubApi::computeFileHash(folder / "copy"));
    EXPECT_NE(HubApi::computeFileHash(folder / "large"), HubApi::computeFileHash(folder / "abc"));
    try {
        HubApi::computeFileHash(folder / "sub/missing.bin");
        FAIL() << "no error";
    } catch (const orvane::Hub::HubClientError& error) {
        EXPECT_STREQ(error.what(), "File not found: missing.bin");
    }
}
