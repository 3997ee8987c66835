#include "OrvaneCoreTests/Hub/HubTestSupport.h"

namespace {

class OrvaneHubTool : public HubTest {
protected:
    int run(const std::string& arguments, std::string* output) {
        // HOME points at the test's own folder, so no token file of the machine is read.
        return testsupport::runCommand("HOME='" + home.path().string() + "' " +
                                           testsupport::toolPath("orvane-hub").string() + " " + arguments +
                                           " 2>&1",
                                       output);
    }
};

} // namespace

TEST_F(OrvaneHubTool, ListsTheRepositoryFromTheCommandLine) {
    testsupport::writeFile(repository / "config.json", "{}");
    testsupport::writeFile(repository / "weights/model.bin", "xyz");
    std::string output;
    EXPECT_EQ(run("list --endpoint " + hub.endpoint() + " --repo owner/name", &output), 0);
    EXPECT_EQ(output, "config.json\nweights/model.bin\n");
    EXPECT_EQ(
        run("list --endpoint " + hub.endpoint() + " --repo owner/name --revision refs/pr/1 --pattern '*.bin'",
            &output),
        0);
    EXPECT_EQ(output, "weights/model.bin\n");
    EXPECT_EQ(hub.requests().back().target, "/api/models/owner/name/revision/refs%2Fpr%2F1");

    EXPECT_EQ(run("list --endpoint " + hub.endpoint() + " --repo owner/missing", &output), 1);
    EXPECT_EQ(output, "orvane-hub: File not found: main\n");
    EXPECT_EQ(run("list --repo owner/name", &output), 2);

    // In CI the client announces its token; standard output still holds nothing but file names.
    EXPECT_EQ(testsupport::runCommand("CI_DISABLE_NETWORK_MONITOR=1 HOME='" + home.path().string() + "' " +
                                          testsupport::toolPath("orvane-hub").string() + " list --endpoint " +
                                          hub.endpoint() + " --repo owner/name 2>/dev/null",
                                      &output),
              0);
    EXPECT_EQ(output, "config.json\nweights/model.bin\n");
}

TEST_F(OrvaneHubTool, HeadSha256AndMetadataPrintWhatTheClientReads) {
    testsupport::writeFile(repository / "model.bin", "content");
    std::string output;
    EXPECT_EQ(run("head " + resolveUrl("model.bin"), &output), 0);
    EXPECT_EQ(output, "Status: 200\nX-Repo-Commit: " + hub.commit() +
                          "\nEtag: " + hub.etagFor("owner/name", "model.bin") +
                          "\nSize: 7\nLocation: " + resolveUrl("model.bin") + "\n");

    EXPECT_EQ(run("sha256 " + (repository / "model.bin").string(), &output), 0);
    EXPECT_EQ(output, testsupport::FakeHub::sha256Hex("content") + "\n");
    EXPECT_EQ(run("sha256 " + (repository / "nope").string(), &output), 1);
    EXPECT_EQ(output, "orvane-hub: File not found: nope\n");

    testsupport::writeFile(home / "model.bin.metadata", "abc\ndef\n1700000000.5\n");
    EXPECT_EQ(run("metadata read " + (home / "model.bin.metadata").string(), &output), 0);
    EXPECT_EQ(output, "Commit: abc\nEtag: def\nTime: 1700000000.500000\n");

    // A file that is not a record is reported, not deleted.
    testsupport::writeFile(home / "README.md", "# model card\n");
    EXPECT_EQ(run("metadata read " + (home / "README.md").string(), &output), 1);
    EXPECT_NE(output.find("not a regular \".metadata\" file"), std::string::npos) << output;
    EXPECT_EQ(testsupport::readFile(home / "README.md"), "# model card\n");
}
