#include "OrvaneCoreTests/Hub/HubTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class HubSnapshotToolTest : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        testsupport::writeFile(repository / "config.json", R"({"model_type": "whisper"})");
        testsupport::writeFile(repository / "tokenizer.json", R"({"model": {}})");
        std::string weights(200'000, '\0');
        for (std::size_t i = 0; i < weights.size(); ++i) {
            weights[i] = static_cast<char>(i * 13 % 256);
        }
        testsupport::writeFile(repository / "weights" / "model.bin", weights);
    }

    /// Exit status; fills the tool's standard output and standard error.
    int run(const std::string& mode, std::string* out, std::string* err = nullptr,
            const std::string& extra = "") const {
        const fs::path errFile = base / "stderr.txt";
        const std::string command = testsupport::toolPath("orvane-hub").string() + " snapshot --endpoint " +
                                    hub.endpoint() + " --repo owner/name --base '" +
                                    (base / "mirror").string() + "' " + mode + extra + " 2>'" +
                                    errFile.string() + "'";
        const int status = testsupport::runCommand(command, out);
        if (err) {
            *err = testsupport::readFile(errFile);
        }
        return status;
    }

    fs::path folder() const { return base / "mirror" / "models" / "owner" / "name"; }

    testsupport::TemporaryDirectory base;
};

} // namespace

TEST_F(HubSnapshotToolTest, OnlineThenOfflineThenAnEditedLargeFileFromTheCommandLine) {
    std::string out;
    std::string err;
    ASSERT_EQ(run("--online", &out, &err), 0) << err;
    EXPECT_EQ(out, folder().string() + "\n");
    EXPECT_NE(err.find("progress 100%"), std::string::npos) << err;
    EXPECT_EQ(testsupport::readFile(folder() / "weights" / "model.bin"),
              testsupport::readFile(repository / "weights" / "model.bin"));

    hub.clearRequests();
    ASSERT_EQ(run("--offline", &out, &err), 0) << err;
    EXPECT_EQ(out, folder().string() + "\n");
    EXPECT_TRUE(hub.requests().empty());

    std::string edited = testsupport::readFile(folder() / "weights" / "model.bin");
    edited[100] ^= 0x55;
    testsupport::writeFile(folder() / "weights" / "model.bin", edited);
    EXPECT_NE(run("--offline", &out, &err), 0);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("File integrity check failed: Hash mismatch for model.bin"), std::string::npos) << err;
}

TEST_F(HubSnapshotToolTest, PatternsLimitTheFilesAndBadUsageIsReported) {
    std::string out;
    std::string err;
    ASSERT_EQ(run("--online", &out, &err, " --pattern '*.json'"), 0) << err;
    EXPECT_TRUE(fs::exists(folder() / "config.json"));
    EXPECT_FALSE(fs::exists(folder() / "weights" / "model.bin"));
    EXPECT_EQ(run("--online --offline", &out, &err), 2);
    EXPECT_NE(err.find("at most one of --online and --offline"), std::string::npos) << err;
}

TEST_F(HubSnapshotToolTest, TokenizeToolLoadsARepositoryThroughTheMirror) {
    for (const char* file : {"config.json", "tokenizer.json", "tokenizer_config.json"}) {
        fs::copy_file(testsupport::dataPath(std::string("tokenizers/whisper-en/") + file), repository / file,
                      fs::copy_options::overwrite_existing);
    }
    // The tool leaves the offline decision to the network state; this makes it go to the hub.
    environment.set("CI_DISABLE_NETWORK_MONITOR", "1");
    std::string out;
    const std::string command = testsupport::toolPath("orvane-tokenize").string() +
                                " --repo owner/name --endpoint " + hub.endpoint() + " --base '" +
                                (base / "mirror").string() + "' --encode 'Hello, world!'";
    ASSERT_EQ(testsupport::runCommand(command, &out), 0);
    EXPECT_EQ(out.substr(out.find('\n') + 1), "50257 50362 15496 11 995 0 50256\n");
    EXPECT_TRUE(fs::exists(folder() / "tokenizer.json"));
    EXPECT_FALSE(fs::exists(folder() / "weights" / "model.bin"));
}
