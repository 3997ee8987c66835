#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Files/SafeTensorsFile.h"
#include "Platform/ML/Files/SafeTensorsWriter.h"
#include "Support/TestSupport.h"

using testing::AllOf;
using testing::HasSubstr;

namespace {

std::filesystem::path writeSample(const testsupport::TemporaryDirectory& folder) {
    ml::SafeTensorsWriter writer;
    writer.add("encoder.conv1.weight", ml::MultiArray::filled({4, 3, 3}, ml::MultiArrayDataType::Float16, 0.5));
    writer.add("encoder.conv1.bias", ml::MultiArray::filled({4}, ml::MultiArrayDataType::Float32, -1.25));
    writer.add("tokens", ml::MultiArray::filled({2}, ml::MultiArrayDataType::Int32, 7));
    writer.setMetadata("format", "pt");
    auto path = folder / "weights.safetensors";
    writer.write(path);
    return path;
}

std::string loadError(const std::filesystem::path& path) {
    try {
        ml::SafeTensorsFile::open(path);
    } catch (const ml::ModelLoadError& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(SafeTensors, WrittenTensorsReadBackAlignedAndConverted) {
    testsupport::TemporaryDirectory folder;
    auto file = ml::SafeTensorsFile::open(writeSample(folder));
    EXPECT_EQ(file->names().size(), 3u);
    EXPECT_EQ(file->metadata().at("format"), "pt");
    const ml::SafeTensor& weight = file->tensor("encoder.conv1.weight", {4, 3, 3});
    EXPECT_EQ(weight.dtype, "F16");
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(weight.data) % 64, 0u);
    ml::MultiArray bias = file->array("encoder.conv1.bias", {4}, ml::MultiArrayDataType::Float16);
    EXPECT_EQ(bias.value(3), -1.25);
    EXPECT_EQ(file->array("tokens").value(1), 7.0);
}

TEST(SafeTensors, MissingOrMisShapedTensorsAreNamed) {
    testsupport::TemporaryDirectory folder;
    auto file = ml::SafeTensorsFile::open(writeSample(folder));
    EXPECT_THROW(
        {
            try {
                file->tensor("decoder.embed_tokens.weight");
            } catch (const ml::ModelLoadError& error) {
                EXPECT_THAT(error.what(), AllOf(HasSubstr("weights.safetensors"), HasSubstr("decoder.embed_tokens.weight")));
                throw;
            }
        },
        ml::ModelLoadError);
    try {
        file->tensor("encoder.conv1.bias", {5});
        FAIL();
    } catch (const ml::ModelLoadError& error) {
        EXPECT_THAT(error.what(), AllOf(HasSubstr("encoder.conv1.bias"), HasSubstr("[4]"), HasSubstr("[5]")));
    }
}

TEST(SafeTensors, DamagedFilesFailClearlyOnOpen) {
    testsupport::TemporaryDirectory folder;
    const auto path = writeSample(folder);
    const std::string good = testsupport::readFile(path);

    testsupport::writeFile(path, good.substr(0, good.size() - 10));
    EXPECT_THAT(loadError(path), AllOf(HasSubstr("truncated"), HasSubstr("tokens")));

    testsupport::writeFile(path, good.substr(0, 5));
    EXPECT_THAT(loadError(path), HasSubstr("truncated"));

    testsupport::writeFile(path, good.substr(0, 100));
    EXPECT_THAT(loadError(path), HasSubstr("truncated or corrupt"));

    std::string corrupt = good;
    corrupt[9] = '#'; // inside the JSON header
    testsupport::writeFile(path, corrupt);
    EXPECT_THAT(loadError(path), HasSubstr("corrupt"));

    testsupport::writeFile(path, std::string("\xff\xff\xff\xff\xff\xff\xff\xff{}", 10));
    EXPECT_THAT(loadError(path), HasSubstr("truncated or corrupt"));

    EXPECT_THAT(loadError(folder / "absent.safetensors"), HasSubstr("cannot open"));
}

TEST(SafeTensors, HeadersThatLieAboutTheirDataAreRejected) {
    testsupport::TemporaryDirectory folder;
    const auto path = folder / "w.safetensors";
    auto write = [&](const std::string& header, std::size_t dataBytes) {
        std::string bytes(8, '\0');
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<char>((header.size() >> (8 * i)) & 0xff);
        }
        testsupport::writeFile(path, bytes + header + std::string(dataBytes, '\0'));
    };
    write(R"({"a":{"dtype":"F32","shape":[2,2],"data_offsets":[0,12]}})", 16);
    EXPECT_THAT(loadError(path), AllOf(HasSubstr("\"a\""), HasSubstr("12 bytes")));
    write(R"({"a":{"dtype":"F32","shape":[2],"data_offsets":[0,8]},"b":{"dtype":"F32","shape":[2],"data_offsets":[4,12]}})", 16);
    EXPECT_THAT(loadError(path), HasSubstr("overlap"));
    write(R"({"a":{"dtype":"U16","shape":[2],"data_offsets":[0,4]}})", 4);
    EXPECT_THAT(loadError(path), HasSubstr("unsupported element type"));
    write(R"({"a":{"dtype":"F32","shape":[-2],"data_offsets":[0,8]}})", 8);
    EXPECT_THAT(loadError(path), HasSubstr("shape"));
    write(R"({"a":{"dtype":"F32","shape":[4611686018427387904,4],"data_offsets":[0,8]}})", 8);
    EXPECT_THAT(loadError(path), HasSubstr("\"a\""));
    // Element counts past 64 bits, and single entries of 2^63 and more, name the tensor. A zero in the
    // shape does not make the other sizes harmless: the strides still multiply them.
    write(R"({"big":{"dtype":"I8","shape":[9223372036854775808],"data_offsets":[0,0]}})", 0);
    EXPECT_THAT(loadError(path), AllOf(HasSubstr("\"big\""), HasSubstr("2^63 or more")));
    for (const char* shape : {"[1152921504606846976,0]", "[4294967296,4294967296,0]", "[0,4294967296,4294967296]",
                              "[3037000500,3037000500]"}) {
        write(R"({"big":{"dtype":"I8","shape":)" + std::string(shape) + R"(,"data_offsets":[0,0]}})", 0);
        EXPECT_THAT(loadError(path), AllOf(HasSubstr("\"big\""), HasSubstr("too large"))) << shape;
    }
    write(R"({"empty":{"dtype":"I8","shape":[0,4294967296],"data_offsets":[0,0]}})", 0);
    EXPECT_EQ(loadError(path), "no error");
}
