#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Settings/DefaultsStore.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

// A home folder of its own, so the save folder and the standard store land in a temporary place.
struct TemporaryHome {
    TemporaryHome() {
        environment.set("HOME", home.path().string());
        environment.unset("XDG_CONFIG_HOME");
    }
    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
};

} // namespace

TEST(DefaultsStore, ValuesReadOnlyAsTheirOwnType) {
    DefaultsStore store;
    store.setString("name", "x");
    store.setFloat("level", 0.25f);
    EXPECT_EQ(store.string("name"), "x");
    EXPECT_EQ(store.floatValue("level"), 0.25f);
    EXPECT_EQ(store.floatValue("name"), std::nullopt);
    EXPECT_EQ(store.string("level"), std::nullopt);
    EXPECT_EQ(store.string("absent"), std::nullopt);
    store.remove("name");
    EXPECT_FALSE(store.contains("name"));
    EXPECT_EQ(store.file(), std::nullopt);
}

TEST(DefaultsStore, KeepsValuesInItsFileAcrossInstancesWithFloatsInShortestForm) {
    testsupport::TemporaryDirectory folder;
    const fs::path file = folder / "velmora/defaults.json";
    {
        DefaultsStore store(file);
        EXPECT_FALSE(fs::exists(file)); // reading alone writes nothing
        store.setFloat("vadThreshold", 0.02f);
        store.setString("modelName", "tiny/ü");
    }
    EXPECT_NE(testsupport::readFile(file).find("\"vadThreshold\": 0.02\n"), std::string::npos)
        << testsupport::readFile(file);
    DefaultsStore reopened(file);
    EXPECT_EQ(reopened.floatValue("vadThreshold"), 0.02f);
    EXPECT_EQ(reopened.string("modelName"), "tiny/ü");
    // No temporary files are left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
}

TEST(DefaultsStore, NumbersOfAnyJsonFormReadAsFloatsButOtherTypesDoNot) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "defaults.json",
                           R"({"int": 3, "double": 0.1, "huge": 1e300, "bool": true, "text": "0.5",
                               "list": [1], "null": null})");
    DefaultsStore store(folder / "defaults.json");
    EXPECT_EQ(store.floatValue("int"), 3.0f);
    EXPECT_EQ(store.floatValue("double"), 0.1f);
    for (const char* key : {"huge", "bool", "text", "list", "null"}) {
        EXPECT_EQ(store.floatValue(key), std::nullopt) << key;
    }
    // Values nobody reads survive a write.
    store.setString("other", "y");
    DefaultsStore reopened(folder / "defaults.json");
    EXPECT_TRUE(reopened.contains("list"));
    EXPECT_EQ(reopened.string("other"), "y");
}

TEST(DefaultsStore, ABrokenFileIsKeptAsideAndTheStoreStartsEmpty) {
    testsupport::TemporaryDirectory folder;
    const fs::path file = folder / "defaults.json";
    for (const std::string broken : {"{\"modelName\": ", "[1, 2]"}) {
        testsupport::writeFile(file, broken);
        DefaultsStore store(file);
        EXPECT_FALSE(store.contains("modelName"));
        EXPECT_FALSE(fs::exists(file));
        store.setString("modelName", "new");
        EXPECT_EQ(DefaultsStore(file).string("modelName"), "new");
    }
    // The second broken file does not replace the first.
    EXPECT_EQ(testsupport::readFile(folder / "defaults.json.broken"), "{\"modelName\": ");
    EXPECT_EQ(testsupport::readFile(folder / "defaults.json.broken.2"), "[1, 2]");
}

TEST(DefaultsStore, AStoreThatCannotWriteKeepsValuesInMemory) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "blocker", "a file where the folder should be");
    DefaultsStore store(folder / "blocker/defaults.json");
    store.setString("modelName", "kept");
    EXPECT_EQ(store.string("modelName"), "kept");
    EXPECT_EQ(testsupport::readFile(folder / "blocker"), "a file where the folder should be");
}

TEST(DefaultsStore, TheStandardFileFollowsXdgConfigHome) {
    TemporaryHome home;
    EXPECT_EQ(DefaultsStore::standardFile(), home.home.path() / ".config/velmora/defaults.json");
    home.environment.set("XDG_CONFIG_HOME", (home.home / "cfg").string());
    EXPECT_EQ(DefaultsStore::standardFile(), home.home.path() / "cfg/velmora/defaults.json");
    home.environment.set("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(DefaultsStore::standardFile(), home.home.path() / ".config/velmora/defaults.json");
}

TEST(AppSettings, AFreshStoreGivesTheDefaultsAndGainsNoPreferredInput) {
    TemporaryHome home;
    auto store = std::make_shared<DefaultsStore>();
    AppSettings settings(store);
    EXPECT_EQ(settings.modelName().value(), "large-v3-v20240930_turbo_632MB");
    EXPECT_EQ(settings.vadThreshold().value(), 0.02f);
    EXPECT_EQ(settings.preferredInputDeviceUID().value(), std::nullopt);
    EXPECT_FALSE(store->contains("preferredInputDeviceUID"));
    EXPECT_FALSE(store->contains("modelName")); // only the preferred input is written back
    EXPECT_EQ(settings.saveDirectory(), home.home.path() / "Documents/ベルモラ");
    EXPECT_FALSE(fs::exists(settings.saveDirectory()));
}

TEST(AppSettings, MistypedValuesReadAsTheDefaults) {
    auto store = std::make_shared<DefaultsStore>();
    store->setFloat("modelName", 1.0f);
    store->setString("vadThreshold", "0.05");
    store->setFloat("preferredInputDeviceUID", 2.0f);
    AppSettings settings(store);
    EXPECT_EQ(settings.modelName().value(), AppSettings::defaultModelName);
    EXPECT_EQ(settings.vadThreshold().value(), 0.02f);
    EXPECT_EQ(settings.preferredInputDeviceUID().value(), std::nullopt);
    // The write-back removes the mistyped preferred input.
    EXPECT_FALSE(store->contains("preferredInputDeviceUID"));
}

TEST(AppSettings, WritesAreStoredAtOnceAndReadBackByTheNextStart) {
    testsupport::TemporaryDirectory folder;
    const fs::path file = folder / "defaults.json";
    {
        AppSettings settings(std::make_shared<DefaultsStore>(file));
        std::vector<std::string> heard;
        settings.modelName().subscribe([&](const std::string& name) { heard.push_back(name); });
        settings.setModelName("base");
        EXPECT_EQ(heard, std::vector<std::string>{"base"});
        EXPECT_EQ(DefaultsStore(file).string("modelName"), "base"); // already on disk
        settings.setVadThreshold(0.005f);
        settings.setPreferredInputDeviceUID("usb-mic");
    }
    {
        AppSettings settings(std::make_shared<DefaultsStore>(file));
        EXPECT_EQ(settings.modelName().value(), "base");
        EXPECT_EQ(settings.vadThreshold().value(), 0.005f);
        EXPECT_EQ(settings.preferredInputDeviceUID().value(), "usb-mic");
        settings.setPreferredInputDeviceUID(std::nullopt);
        EXPECT_FALSE(DefaultsStore(file).contains("preferredInputDeviceUID"));
    }
    AppSettings settings(std::make_shared<DefaultsStore>(file));
    EXPECT_EQ(settings.preferredInputDeviceUID().value(), std::nullopt);
}

TEST(AppSettings, ThePreferredInputIsWrittenBackAtStartAndAnnounced) {
    auto store = std::make_shared<DefaultsStore>();
    store->setString("preferredInputDeviceUID", "mic-1");
    AppSettings settings(store);
    EXPECT_EQ(store->string("preferredInputDeviceUID"), "mic-1");
    int announcements = 0;
    settings.preferredInputDeviceUID().subscribe([&](const auto&) { ++announcements; });
    settings.setPreferredInputDeviceUID("mic-1");
    EXPECT_EQ(announcements, 1);
}

TEST(AppSettings, EnsuringTheSaveFolderTwiceSucceedsButAFileInTheWayFails) {
    TemporaryHome home;
    AppSettings settings(std::make_shared<DefaultsStore>());
    settings.ensureSaveDirectoryExists();
    settings.ensureSaveDirectoryExists();
    EXPECT_TRUE(fs::is_directory(home.home / "Documents/ベルモラ"));

    fs::remove(home.home / "Documents/ベルモラ");
    testsupport::writeFile(home.home / "Documents/ベルモラ", "not a folder");
    EXPECT_THROW(settings.ensureSaveDirectoryExists(), fs::filesystem_error);
    EXPECT_EQ(testsupport::readFile(home.home / "Documents/ベルモラ"), "not a folder");
}

TEST(AppSettings, TheSaveFolderFollowsTheXdgDocumentsFolder) {
    TemporaryHome home;
    testsupport::writeFile(home.home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/書類\"\n");
    AppSettings settings(std::make_shared<DefaultsStore>());
    EXPECT_EQ(settings.saveDirectory(), home.home.path() / "書類/ベルモラ");
}
