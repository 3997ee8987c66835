#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Platform/ML/Files/AtomicFileWriter.h"
#include "Support/TestSupport.h"

namespace fs = std::filesystem;
using testing::HasSubstr;

namespace {

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

} // namespace

TEST(AtomicFileWriter, TheTargetChangesOnlyWhenTheWholeFileIsCommitted) {
    testsupport::TemporaryDirectory folder;
    const fs::path target = folder / "weights.bin";
    testsupport::writeFile(target, "old");

    {
        ml::AtomicFileWriter writer(target);
        writer.write("new bytes, never committed");
        EXPECT_EQ(entries(folder.path()), 2u); // the temporary file lies beside the target
    }
    EXPECT_EQ(testsupport::readFile(target), "old");
    EXPECT_EQ(entries(folder.path()), 1u);

    ml::AtomicFileWriter writer(target);
    writer.write("new ");
    writer.write(std::string(100000, 'x'));
    writer.commit();
    EXPECT_EQ(testsupport::readFile(target), "new " + std::string(100000, 'x'));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::others_read, fs::perms::others_read);
    EXPECT_EQ(entries(folder.path()), 1u);

    try {
        ml::AtomicFileWriter::writeFile(folder / "missing/folder/file", "x");
        FAIL() << "no error";
    } catch (const fs::filesystem_error& error) {
        EXPECT_THAT(error.what(), HasSubstr("missing/folder/file"));
    }
}
