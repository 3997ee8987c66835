#include "SonavexTests/Facade/FacadeFixture.h"
#include "SonavexTests/ToolRunner.h"

using namespace facadetest;
using testsupport::shellQuoted;

// The variant's folder comes into the mirror under the download base; the hub's token announcement and
// the progress stay off standard output.
TEST_F(FacadeTest, ModelsDownloadPrintsTheFolder) {
    environment.set("CI_DISABLE_NETWORK_MONITOR", "1");
    copyModels(temporary / "served" / "openai_whisper-tiny");
    hub.addRepository("someone/models", temporary / "served");
    const fs::path base = temporary / "base";
    auto outcome = runSonavex("models download tiny --repo someone/models --endpoint " + hub.endpoint() +
                              " --download-base " + shellQuoted(base.string()));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output,
              R"({"folder":")" + (base / "models/someone/models/openai_whisper-tiny").string() + "\"}\n");
    EXPECT_TRUE(fs::exists(base / "models/someone/models/openai_whisper-tiny/TextDecoder.mlmodelc/model.json"));

    outcome = runSonavex("models download nothing --repo someone/models --endpoint " + hub.endpoint() +
                         " --download-base " + shellQuoted(base.string()));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output, R"x({"error":"modelsUnavailable","message":"No models found matching )x"
                              R"x(\"*nothing/*\" in someone/models (models)"})x"
                              "\n");
    // A known variant the repository lacks and whose checkpoint the hub does not have either.
    outcome = runSonavex("models download small --repo someone/models --endpoint " + hub.endpoint() +
                         " --download-base " + shellQuoted(base.string()));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              R"x({"error":"modelsUnavailable","message":"No models found matching )x"
              R"x(\"*small/*\" in someone/models (models). The public checkpoint openai/whisper-small )x"
              R"x(could not be fetched: File not found: main"})x"
              "\n");
    EXPECT_EQ(runSonavex("models download tiny").status, 2);
}

// The support answer comes from the repository's file, or from the built-in table when it has none.
TEST_F(FacadeTest, ModelsSupportFromTheRepository) {
    testsupport::writeFile(temporary / "served" / "config.json",
                           R"({"name": "r", "version": "1", "device_support": [{"identifiers": ["Box"],
                               "models": {"default": "b", "supported": ["b"]}}]})");
    hub.addRepository("someone/models", temporary / "served");
    auto outcome = runSonavex("models support Box7 --repo someone/models --endpoint " + hub.endpoint());
    EXPECT_EQ(outcome.output.rfind(R"({"default":"b","supported":["b"],"disabled":[)", 0), 0u) << outcome.output;
    outcome = runSonavex("models support Box7 --repo someone/absent --endpoint " + hub.endpoint());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, runSonavex("models support Box7").output);
    EXPECT_EQ(runSonavex("models support Box7 --endpoint " + hub.endpoint()).status, 2);
}
