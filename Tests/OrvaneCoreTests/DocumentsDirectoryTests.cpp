#include "OrvaneCore/System/FileManager.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using orvane::FileManager;

TEST(DocumentsDirectory, ComesFromTheUserDirsFileElseHomeDocuments) {
    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", home.path().string());
    environment.unset("XDG_CONFIG_HOME");
    EXPECT_EQ(FileManager::documentsDirectory(), home.path() / "Documents");

    testsupport::writeFile(home / ".config/user-dirs.dirs",
                           "# written by xdg-user-dirs-update\n"
                           "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                           "XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n"
                           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente mit \\\"Zitat\\\"\"\n");
    EXPECT_EQ(FileManager::documentsDirectory(), home.path() / "Dokumente mit \"Zitat\"");

    // XDG_CONFIG_HOME moves the file; an absolute value is taken as it is.
    testsupport::TemporaryDirectory config;
    environment.set("XDG_CONFIG_HOME", config.path().string());
    EXPECT_EQ(FileManager::documentsDirectory(), home.path() / "Documents");
    testsupport::writeFile(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n");
    EXPECT_EQ(FileManager::documentsDirectory(), std::filesystem::path("/srv/docs"));

    // Values the format does not allow fall back to the default.
    testsupport::writeFile(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=relative/docs\n"
                                                      "XDG_DOCUMENTS_DIR=\"relative\"\n"
                                                      "XDG_DOCUMENTS_DIR=\"$HOME/unclosed\n");
    EXPECT_EQ(FileManager::documentsDirectory(), home.path() / "Documents");

    // A relative XDG_CONFIG_HOME is ignored.
    environment.set("XDG_CONFIG_HOME", "relative-config");
    EXPECT_EQ(FileManager::documentsDirectory(), home.path() / "Dokumente mit \"Zitat\"");
}
