#include "Platform/ML/Files/SafeTensorsWriter.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "Platform/ML/Files/AtomicFileWriter.h"

namespace ml {

namespace {
constexpr uint64_t kAlignment = 64;
uint64_t alignUp(uint64_t value) { return (value + kAlignment - 1) / kAlignment * kAlignment; }
} // namespace

std::string safeTensorDType(MultiArrayDataType dataType) {
    switch (dataType) {
    case MultiArrayDataType::Float16:
        return "F16";
    case MultiArrayDataType::Float32:
        return "F32";
    case MultiArrayDataType::Float64:
        return "F64";
    case MultiArrayDataType::Int32:
        return "I32";
    case MultiArrayDataType::Int8:
        return "I8";
    }
    throw std::invalid_argument("no safetensors type for " + dataTypeName(dataType));
}

void SafeTensorsWriter::add(const std::string& name, MultiArray values) {
    add(name, std::make_shared<const MultiArray>(std::move(values)));
}

void SafeTensorsWriter::add(const std::string& name, std::shared_ptr<const MultiArray> values) {
    if (!values) {
        throw std::invalid_argument("tensor \"" + name + "\" has no values");
    }
    for (const auto& entry : tensors_) {
        if (entry.first == name) {
            throw std::invalid_argument("tensor \"" + name + "\" added twice");
        }
    }
    tensors_.emplace_back(name, std::move(values));
}

void SafeTensorsWriter::setMetadata(const std::string& key, const std::string& value) { metadata_[key] = value; }

void SafeTensorsWriter::write(const std::filesystem::path& path) const {
    nlohmann::json header = nlohmann::json::object();
    if (!metadata_.empty()) {
        header["__metadata__"] = metadata_;
    }
    std::vector<uint64_t> offsets;
    uint64_t offset = 0;
    for (const auto& [name, values] : tensors_) {
        offset = alignUp(offset);
        offsets.push_back(offset);
        header[name] = {{"dtype", safeTensorDType(values->dataType())},
                        {"shape", values->shape()},
                        {"data_offsets", {offset, offset + values->byteCount()}}};
        offset += values->byteCount();
    }
    std::string headerText = header.dump();
    // Pad with spaces (valid JSON) so the data section starts on an aligned boundary.
    headerText.append(alignUp(8 + headerText.size()) - 8 - headerText.size(), ' ');

    AtomicFileWriter out(path);
    uint64_t headerSize = headerText.size();
    char lengthBytes[8];
    for (int i = 0; i < 8; ++i) {
        lengthBytes[i] = static_cast<char>((headerSize >> (8 * i)) & 0xff);
    }
    out.write(lengthBytes, 8);
    out.write(headerText);
    uint64_t written = 0;
    const std::string padding(kAlignment, '\0');
    for (std::size_t i = 0; i < tensors_.size(); ++i) {
        out.write(padding.data(), offsets[i] - written);
        const auto& values = tensors_[i].second;
        out.write(values->data(), values->byteCount());
        written = offsets[i] + values->byteCount();
    }
    out.commit();
}

} // namespace ml
