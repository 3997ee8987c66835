#include "Sonavex/Core/Models/ModelComputeOptions.h"
#include "Sonavex/Core/Models/ModelVariant.h"
#include "Sonavex/Utilities/System/OperatingSystemVersion.h"

#include <gtest/gtest.h>

using namespace sonavex;

namespace {

/// Pretends to run on the given version for the life of the object.
class PretendOperatingSystem {
public:
    explicit PretendOperatingSystem(OperatingSystemVersion version)
        : previous_(setOperatingSystemVersionQuery([version] { return version; })) {}
    ~PretendOperatingSystem() { setOperatingSystemVersionQuery(previous_); }

private:
    OperatingSystemVersionQuery previous_;
};

} // namespace

TEST(ModelVariant, OnlyTheEnglishSizesAreNotMultilingual) {
    for (auto variant : allModelVariants) {
        bool english = description(variant).ends_with(".en");
        EXPECT_EQ(isMultilingual(variant), !english) << description(variant);
    }
}

TEST(OperatingSystemVersion, ThisPlatformCountsAsTheNewestVersion) {
    EXPECT_TRUE(isOperatingSystemAtLeast({15, 0, 0}));
    EXPECT_TRUE(isOperatingSystemAtLeast({999, 99, 99}));
    {
        PretendOperatingSystem older({13, 6, 0});
        EXPECT_FALSE(isOperatingSystemAtLeast({14, 0, 0}));
        EXPECT_TRUE(isOperatingSystemAtLeast({13, 5, 9}));
    }
    EXPECT_TRUE(isOperatingSystemAtLeast({14, 0, 0}));
}

TEST(ModelComputeOptions, DefaultsFollowTheOperatingSystemOnlyForAnAbsentEncoderChoice) {
    ModelComputeOptions newest;
    EXPECT_EQ(newest.melCompute, ml::ComputeUnits::cpuAndGPU);
    EXPECT_EQ(newest.audioEncoderCompute, ml::ComputeUnits::cpuAndNeuralEngine);
    EXPECT_EQ(newest.textDecoderCompute, ml::ComputeUnits::cpuAndNeuralEngine);

    PretendOperatingSystem older({13, 9, 0});
    EXPECT_EQ(ModelComputeOptions().audioEncoderCompute, ml::ComputeUnits::cpuAndGPU);
    EXPECT_EQ(ModelComputeOptions(ml::ComputeUnits::cpuAndGPU, ml::ComputeUnits::all).audioEncoderCompute,
              ml::ComputeUnits::all);
    PretendOperatingSystem fourteen({14, 0, 0});
    EXPECT_EQ(ModelComputeOptions().audioEncoderCompute, ml::ComputeUnits::cpuAndNeuralEngine);
}
