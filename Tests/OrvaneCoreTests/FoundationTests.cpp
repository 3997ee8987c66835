#include "OrvaneCore/Extensions/FloatExtensions.h"
#include "OrvaneCore/System/FileManager.h"
#include "OrvaneCore/System/ProcessInfo.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace orvane;

TEST(Rounded, HalvesAwayFromZeroIn32BitArithmetic) {
    EXPECT_EQ(rounded(1.25f, 1), 1.3f);
    EXPECT_EQ(rounded(-1.25f, 1), -1.3f);
    EXPECT_EQ(rounded(0.5f, 0), 1.0f);
    EXPECT_EQ(rounded(-0.5f, 0), -1.0f);
    EXPECT_EQ(rounded(1234.5678f, 2), 1234.57f);
    EXPECT_EQ(rounded(1250.0f, -2), 1300.0f);
    EXPECT_EQ(rounded(-1249.0f, -2), -1200.0f);
    // 1.005f is just below 1.005, but its product with 100 rounds to 100.5 in 32 bits (not in 64 bits).
    EXPECT_EQ(rounded(1.005f, 2), 1.01f);
}

TEST(ProcessInfo, ProcessorFactsFromCpuInfo) {
    std::string cpuInfo;
    for (int socket = 0; socket < 2; ++socket) {
        for (int core = 0; core < 2; ++core) {
            for (int thread = 0; thread < 2; ++thread) {
                cpuInfo += "processor\t: " + std::to_string(socket * 4 + core * 2 + thread) +
                           "\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel name\t: Test CPU @ 2.00GHz\n"
                           "physical id\t: " +
                           std::to_string(socket) + "\ncore id\t\t: " + std::to_string(core) + "\n\n";
            }
        }
    }
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.brand_string", cpuInfo), "Test CPU @ 2.00GHz");
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.vendor", cpuInfo), "GenuineIntel");
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.family", cpuInfo), "6");
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.core_count", cpuInfo), "4");
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.thread_count", cpuInfo), "8");
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.unknown", cpuInfo), "");
    // Processors that report no topology count one core each; text stops at a zero byte, bad bytes show
    // U+FFFD.
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.core_count", "processor : 0\n\nprocessor : 1\n"),
              "2");
    EXPECT_EQ(ProcessInfo::valueFromCpuInfo("machdep.cpu.brand_string", std::string("model name : A\xFF"
                                                                                    "B\0C",
                                                                                    17)),
              "A\uFFFDB");
}

TEST(ProcessInfo, FactsOfThisMachineAreReadOnceAndConsistent) {
    EXPECT_EQ(ProcessInfo::stringFromSysctl("kern.nothing"), "");
    EXPECT_EQ(ProcessInfo::stringFromSysctl(""), "");
    EXPECT_GE(std::stoi(ProcessInfo::threads()), 1);
    EXPECT_GE(std::stoi(ProcessInfo::cores()), 1);
    EXPECT_LE(std::stoi(ProcessInfo::cores()), std::stoi(ProcessInfo::threads()));
    EXPECT_EQ(&ProcessInfo::processor(), &ProcessInfo::processor());
    EXPECT_EQ(ProcessInfo::processor(), ProcessInfo::stringFromSysctl("machdep.cpu.brand_string"));
    EXPECT_EQ(ProcessInfo::hwModel(), ProcessInfo::stringFromSysctl("hw.model"));
    EXPECT_EQ(ProcessInfo::hwModel().find('\n'), std::string::npos);
}

TEST(FileManager, ResolvesHomeAndRelativePaths) {
    const std::string cwd = std::filesystem::current_path().string();
    const char* savedHome = std::getenv("HOME");
    const std::string saved = savedHome ? savedHome : "";
    setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(FileManager::resolveAbsolutePath("~"), "/home/tester");
    EXPECT_EQ(FileManager::resolveAbsolutePath("~/Documents/x"), "/home/tester/Documents/x");
    setenv("HOME", saved.c_str(), 1);

    EXPECT_EQ(FileManager::resolveAbsolutePath("/abs/path/"), "/abs/path/");
    EXPECT_EQ(FileManager::resolveAbsolutePath("models/tiny/"), cwd + "/models/tiny");
    EXPECT_EQ(FileManager::resolveAbsolutePath(""), cwd);
    EXPECT_EQ(FileManager::resolveAbsolutePath("~no_such_user_4242/x"), cwd + "/~no_such_user_4242/x");
    EXPECT_EQ(FileManager::resolveAbsolutePath("~root/x"), "/root/x");
}
