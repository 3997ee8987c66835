#include "Platform/ML/Files/Npy.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Support/StandardOptions.h"
#include "Support/TestSupport.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

namespace fs = std::filesystem;
using testing::AllOf;
using testing::HasSubstr;

namespace {

std::string tool(const std::string& name) { return testsupport::toolPath(name).string(); }

class Tools : public testing::Test {
protected:
    void SetUp() override {
        model = temporary / "MelSpectrogram.mlmodelc";
        ASSERT_EQ(testsupport::runCommand(tool("make-test-models") + " --kind mel --mels 80 --seed 3 --out " +
                                          model.string() + " 2>&1"),
                  0);
    }

    int runTool(const std::string& arguments, std::string* output) {
        return testsupport::runCommand(tool("ml-run") + " " + arguments + " 2>&1", output);
    }

    testsupport::TemporaryDirectory temporary;
    fs::path model;
};

} // namespace

TEST(ModelTools, AnswerHelpAndVersion) {
    testsupport::expectStandardOptions("ml-run");
    testsupport::expectStandardOptions("make-test-models");
}

TEST_F(Tools, DescribeListsEveryInputAndOutput) {
    std::string output;
    ASSERT_EQ(runTool(model.string() + " --describe", &output), 0) << output;
    EXPECT_EQ(output, "input audio multiArray Float32 [480000]\n"
                      "output melspectrogram_features multiArray Float16 [1, 80, 1, 3000]\n");
}

TEST_F(Tools, RunWritesExactlyWhatAnInProcessPredictionReturns) {
    auto audio = std::make_shared<ml::MultiArray>(std::vector<int64_t>{480000}, ml::MultiArrayDataType::Float32);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    for (float& value : audio->elements<float>()) {
        value = sample(random);
    }
    ml::writeNpy(temporary / "audio.npy", *audio);
    std::string output;
    ASSERT_EQ(runTool(model.string() + " --input audio=" + (temporary / "audio.npy").string() + " --output " +
                          (temporary / "out").string(),
                      &output),
              0)
        << output;

    ml::DictionaryFeatureProvider input;
    input.set("audio", ml::FeatureValue(audio));
    auto expected = ml::Model::load(model)->predict(input)->multiArray("melspectrogram_features");
    EXPECT_EQ(ml::readNpy(temporary / "out" / "melspectrogram_features.npy"), *expected);
}

TEST_F(Tools, DamagedModelsAndBadArgumentsFailReadably) {
    std::string output;
    const fs::path weights = model / "weights.safetensors";
    const std::string bytes = testsupport::readFile(weights);
    testsupport::writeFile(weights, bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(runTool(model.string() + " --describe", &output), 1);
    EXPECT_THAT(output, HasSubstr("truncated"));
    EXPECT_THAT(output, HasSubstr("mel_filters"));

    EXPECT_EQ(runTool("", &output), 2);
    EXPECT_THAT(output, HasSubstr("usage"));
    EXPECT_EQ(runTool(model.string() + " --input audio", &output), 2);

    testsupport::writeFile(weights, bytes);
    testsupport::writeFile(temporary / "bad.npy", "not numpy");
    EXPECT_EQ(runTool(model.string() + " --input audio=" + (temporary / "bad.npy").string() + " --output " +
                          temporary.path().string(),
                      &output),
              1);
    EXPECT_THAT(output, HasSubstr("not a .npy file"));

    EXPECT_NE(testsupport::runCommand(tool("make-test-models") + " --kind mel --mels 100 --out " +
                                      (temporary / "x.mlmodelc").string() + " 2>/dev/null"),
              0);
    EXPECT_EQ(testsupport::runCommand(tool("make-test-models") + " --kind nonsense --out x 2>/dev/null"), 2);
}

TEST_F(Tools, AnOutputThatCannotBeWrittenWholeFailsAndLeavesNothing) {
    // A file-size limit makes the disk "full" after 4 KiB: the 480 KiB mel output cannot be written. The
    // limit's signal is ignored, so the write itself fails, as on a full disk.
    ml::writeNpy(temporary / "audio.npy", ml::MultiArray({480000}, ml::MultiArrayDataType::Float32));
    const fs::path out = temporary / "out";
    fs::create_directories(out);
    testsupport::writeFile(out / "melspectrogram_features.npy", "earlier result");
    std::string output;
    const int status = testsupport::runCommand("trap '' XFSZ; ulimit -f 4; " + tool("ml-run") + " " + model.string() +
                                                   " --input audio=" + (temporary / "audio.npy").string() +
                                                   " --output " + out.string() + " 2>&1",
                                               &output);
    EXPECT_EQ(status, 1) << output;
    EXPECT_THAT(output, HasSubstr("melspectrogram_features.npy"));
    EXPECT_EQ(testsupport::readFile(out / "melspectrogram_features.npy"), "earlier result");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 1) << "a temporary file was left behind";
}

TEST(Npy, RoundTripsEveryElementTypeAndRejectsDamage) {
    testsupport::TemporaryDirectory temporary;
    for (auto type : {ml::MultiArrayDataType::Float16, ml::MultiArrayDataType::Float32, ml::MultiArrayDataType::Float64,
                      ml::MultiArrayDataType::Int32, ml::MultiArrayDataType::Int8}) {
        ml::MultiArray array({2, 3, 1}, type);
        for (int64_t i = 0; i < array.count(); ++i) {
            array.setValue(i, static_cast<double>(i) - 2);
        }
        ml::writeNpy(temporary / "a.npy", array);
        EXPECT_EQ(ml::readNpy(temporary / "a.npy"), array) << ml::dataTypeName(type);
    }
    ml::writeNpy(temporary / "one.npy", ml::MultiArray({7}, ml::MultiArrayDataType::Float32));
    EXPECT_EQ(ml::readNpy(temporary / "one.npy").shape(), (std::vector<int64_t>{7}));

    const std::string good = testsupport::readFile(temporary / "a.npy");
    testsupport::writeFile(temporary / "b.npy", good.substr(0, good.size() - 1));
    EXPECT_THROW(ml::readNpy(temporary / "b.npy"), std::runtime_error);
    std::string fortran = good;
    fortran.replace(fortran.find("False"), 5, "True ");
    testsupport::writeFile(temporary / "b.npy", fortran);
    EXPECT_THROW(ml::readNpy(temporary / "b.npy"), std::runtime_error);
    std::string wide = good;
    wide.replace(wide.find("|i1"), 3, "<u8");
    testsupport::writeFile(temporary / "b.npy", wide);
    EXPECT_THROW(ml::readNpy(temporary / "b.npy"), std::runtime_error);
}

TEST(Npy, TheHeaderIsCheckedAgainstTheFileBeforeAnythingIsAllocated) {
    testsupport::TemporaryDirectory temporary;
    const fs::path file = temporary / "a.npy";
    auto withShape = [&](const std::string& shape, std::size_t dataBytes) {
        std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': " + shape + ", }";
        header.append((10 + header.size() + 1 + 63) / 64 * 64 - 10 - header.size() - 1, ' ');
        header += '\n';
        std::string bytes = std::string("\x93NUMPY\x01\x00", 8) + char(header.size() & 0xff) + char(header.size() >> 8);
        testsupport::writeFile(file, bytes + header + std::string(dataBytes, '\0'));
    };
    auto error = [&]() -> std::string {
        try {
            ml::readNpy(file);
        } catch (const std::runtime_error& failure) {
            return failure.what();
        }
        return "no error";
    };

    // 64 bytes of data that claim four billion elements: refused at once, with both sizes.
    withShape("(1000000000, 4)", 64);
    EXPECT_THAT(error(), AllOf(HasSubstr("64 bytes"), HasSubstr("16000000000"), HasSubstr("[1000000000, 4]")));
    withShape("(4611686018427387904, 8)", 64);
    EXPECT_THAT(error(), HasSubstr("is too large for an array"));
    // Found by fuzzing: a zero makes the declared size 0, but the other sizes still cannot be held.
    withShape("(2506169, 400, 494, 9, 400, 4940, 0, 4)", 0);
    EXPECT_THAT(error(), HasSubstr("is too large for an array"));

    for (const char* shape : {"(4xyz,)", "(4.9,)", "(4,,2)", "(,)", "(-4,)", "(+4,)", "(4 2,)"}) {
        withShape(shape, 16);
        EXPECT_THAT(error(), HasSubstr("is not readable")) << shape;
    }
    withShape("()", 0);
    EXPECT_THAT(error(), HasSubstr("zero-dimensional"));

    withShape("(4,)", 16);
    EXPECT_EQ(ml::readNpy(file).shape(), (std::vector<int64_t>{4}));
    withShape("( 2 , 2 )", 16);
    EXPECT_EQ(ml::readNpy(file).shape(), (std::vector<int64_t>{2, 2}));
}
