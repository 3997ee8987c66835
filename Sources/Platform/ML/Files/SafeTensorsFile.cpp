#include "Platform/ML/Files/SafeTensorsFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/ML/Model/ModelLoadError.h"

namespace ml {

namespace {

// Keeps a header from asking for absurd allocations before it is checked against the file.
constexpr uint64_t kMaxHeaderBytes = 100ull * 1024 * 1024;

std::string inQuotes(const std::string& name) { return "\"" + name + "\""; }

struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::vector<int64_t> readShape(const nlohmann::json& value, const std::filesystem::path& path,
                               const std::string& name) {
    if (!value.is_array()) {
        throw ModelLoadError(path, "tensor " + inQuotes(name) + " has no valid \"shape\"");
    }
    std::vector<int64_t> shape;
    for (const auto& size : value) {
        if (!size.is_number_unsigned()) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " has no valid \"shape\"");
        }
        const uint64_t entry = size.get<uint64_t>();
        if (entry > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " has a shape entry of 2^63 or more");
        }
        shape.push_back(static_cast<int64_t>(entry));
    }
    // Every later count, stride and byte count of the tensor is a signed 64-bit number.
    if (!MultiArray::elementCount(shape)) {
        throw ModelLoadError(path, "tensor " + inQuotes(name) + " has a shape " + shapeDescription(shape) +
                                       " whose element count is too large for 64-bit sizes");
    }
    return shape;
}

float bfloat16ToFloat(uint16_t bits) {
    uint32_t wide = static_cast<uint32_t>(bits) << 16;
    float value;
    std::memcpy(&value, &wide, sizeof value);
    return value;
}

} // namespace

int64_t SafeTensor::count() const {
    int64_t count = 1;
    for (int64_t size : shape) {
        count *= size;
    }
    return count;
}

std::size_t safeTensorElementSize(const std::string& dtype) {
    if (dtype == "F16" || dtype == "BF16") {
        return 2;
    }
    if (dtype == "F32" || dtype == "I32") {
        return 4;
    }
    if (dtype == "F64" || dtype == "I64") {
        return 8;
    }
    if (dtype == "I8") {
        return 1;
    }
    return 0;
}

std::shared_ptr<const SafeTensorsFile> SafeTensorsFile::open(const std::filesystem::path& path) {
    std::shared_ptr<SafeTensorsFile> file(new SafeTensorsFile());
    file->path_ = path;

    FileCloser closer{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (closer.fd < 0) {
        throw ModelLoadError(path, std::string("cannot open the weights file (") + std::strerror(errno) + ")");
    }
    struct stat info {};
    if (::fstat(closer.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        throw ModelLoadError(path, "the weights file is not a regular file");
    }
    const auto fileSize = static_cast<uint64_t>(info.st_size);
    if (fileSize < 8) {
        throw ModelLoadError(path, "the weights file is truncated (" + std::to_string(fileSize) +
                                       " bytes, too short for a header)");
    }
    void* mapping = ::mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, closer.fd, 0);
    if (mapping == MAP_FAILED) {
        throw ModelLoadError(path, std::string("cannot map the weights file (") + std::strerror(errno) + ")");
    }
    file->mapping_ = mapping;
    file->mappingSize_ = fileSize;
    const auto* bytes = static_cast<const std::byte*>(mapping);

    uint64_t headerSize = 0;
    for (int i = 7; i >= 0; --i) {
        headerSize = (headerSize << 8) | static_cast<uint64_t>(bytes[i]);
    }
    if (headerSize > kMaxHeaderBytes || headerSize > fileSize - 8) {
        throw ModelLoadError(path, "the weights file is truncated or corrupt: its header claims " +
                                       std::to_string(headerSize) + " bytes but the file holds " +
                                       std::to_string(fileSize - 8) + " after the length");
    }
    nlohmann::json header = nlohmann::json::parse(reinterpret_cast<const char*>(bytes + 8),
                                                  reinterpret_cast<const char*>(bytes + 8 + headerSize), nullptr,
                                                  false);
    if (header.is_discarded() || !header.is_object()) {
        throw ModelLoadError(path, "the weights file's header is corrupt (not a JSON object)");
    }

    const std::byte* dataStart = bytes + 8 + headerSize;
    const uint64_t dataSize = fileSize - 8 - headerSize;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    std::vector<std::string> rangeNames;
    for (const auto& [name, entry] : header.items()) {
        if (name == "__metadata__") {
            if (entry.is_object()) {
                for (const auto& [key, value] : entry.items()) {
                    if (value.is_string()) {
                        file->metadata_[key] = value.get<std::string>();
                    }
                }
            }
            continue;
        }
        if (!entry.is_object() || !entry.contains("dtype") || !entry["dtype"].is_string() ||
            !entry.contains("shape") || !entry.contains("data_offsets")) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " has a corrupt header entry");
        }
        SafeTensor tensor;
        tensor.name = name;
        tensor.dtype = entry["dtype"].get<std::string>();
        tensor.shape = readShape(entry["shape"], path, name);
        const std::size_t elementBytes = safeTensorElementSize(tensor.dtype);
        if (elementBytes == 0) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " has unsupported element type " +
                                           inQuotes(tensor.dtype));
        }
        const auto& offsets = entry["data_offsets"];
        if (!offsets.is_array() || offsets.size() != 2 || !offsets[0].is_number_unsigned() ||
            !offsets[1].is_number_unsigned()) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " has no valid \"data_offsets\"");
        }
        const auto begin = offsets[0].get<uint64_t>();
        const auto end = offsets[1].get<uint64_t>();
        if (begin > end) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " has reversed \"data_offsets\"");
        }
        if (end > dataSize) {
            throw ModelLoadError(path, "the weights file is truncated: tensor " + inQuotes(name) + " ends at byte " +
                                           std::to_string(end) + " of the data but the file holds only " +
                                           std::to_string(dataSize) + " data bytes");
        }
        // Overflow-safe element count: the byte range bounds it.
        uint64_t count = 1;
        for (int64_t size : tensor.shape) {
            if (size != 0 && count > (std::numeric_limits<uint64_t>::max() / elementBytes) / static_cast<uint64_t>(size)) {
                throw ModelLoadError(path, "tensor " + inQuotes(name) + " has an impossible shape");
            }
            count *= static_cast<uint64_t>(size);
        }
        if (count * elementBytes != end - begin) {
            throw ModelLoadError(path, "tensor " + inQuotes(name) + " holds " + std::to_string(end - begin) +
                                           " bytes, not the " + std::to_string(count * elementBytes) +
                                           " its shape " + shapeDescription(tensor.shape) + " of " +
                                           tensor.dtype + " needs");
        }
        tensor.data = dataStart + begin;
        tensor.byteCount = static_cast<std::size_t>(end - begin);
        ranges.emplace_back(begin, end);
        rangeNames.push_back(name);
        file->tensors_.emplace(name, std::move(tensor));
    }

    std::vector<std::size_t> order(ranges.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ranges[a] < ranges[b]; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        const auto& previous = ranges[order[i - 1]];
        const auto& current = ranges[order[i]];
        if (current.first < previous.second && current.first != current.second) {
            throw ModelLoadError(path, "tensors " + inQuotes(rangeNames[order[i - 1]]) + " and " +
                                           inQuotes(rangeNames[order[i]]) + " overlap");
        }
    }
    return file;
}

void SafeTensorsFile::releaseReadPages() const {
    if (mapping_ != nullptr) {
        ::madvise(mapping_, mappingSize_, MADV_DONTNEED);
    }
}

SafeTensorsFile::~SafeTensorsFile() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mappingSize_);
    }
}

std::vector<std::string> SafeTensorsFile::names() const {
    std::vector<std::string> result;
    for (const auto& entry : tensors_) {
        result.push_back(entry.first);
    }
    return result;
}

const SafeTensor* SafeTensorsFile::find(const std::string& name) const {
    auto found = tensors_.find(name);
    return found == tensors_.end() ? nullptr : &found->second;
}

const SafeTensor& SafeTensorsFile::tensor(const std::string& name) const {
    const SafeTensor* found = find(name);
    if (found == nullptr) {
        throw ModelLoadError(path_, "missing tensor " + inQuotes(name));
    }
    return *found;
}

const SafeTensor& SafeTensorsFile::tensor(const std::string& name, const std::vector<int64_t>& expectedShape) const {
    const SafeTensor& found = tensor(name);
    if (found.shape != expectedShape) {
        throw ModelLoadError(path_, "tensor " + inQuotes(name) + " has shape " + shapeDescription(found.shape) +
                                        ", expected " + shapeDescription(expectedShape));
    }
    return found;
}

MultiArray SafeTensorsFile::array(const std::string& name, MultiArrayDataType dataType) const {
    const SafeTensor& source = tensor(name);
    std::vector<int64_t> shape = source.shape.empty() ? std::vector<int64_t>{1} : source.shape;
    const auto count = static_cast<std::size_t>(source.count());
    auto directType = [&]() -> std::optional<MultiArrayDataType> {
        if (source.dtype == "F16") return MultiArrayDataType::Float16;
        if (source.dtype == "F32") return MultiArrayDataType::Float32;
        if (source.dtype == "F64") return MultiArrayDataType::Float64;
        if (source.dtype == "I32") return MultiArrayDataType::Int32;
        if (source.dtype == "I8") return MultiArrayDataType::Int8;
        return std::nullopt;
    }();
    if (directType) {
        MultiArray raw(shape, *directType);
        std::memcpy(raw.data(), source.data, source.byteCount);
        return *directType == dataType ? raw : raw.converted(dataType);
    }
    // BF16 and I64 have no array type of their own: go through float and double.
    MultiArray wide(shape, MultiArrayDataType::Float64);
    auto* out = static_cast<double*>(wide.data());
    for (std::size_t i = 0; i < count; ++i) {
        if (source.dtype == "BF16") {
            uint16_t bits;
            std::memcpy(&bits, source.data + 2 * i, 2);
            out[i] = bfloat16ToFloat(bits);
        } else {
            int64_t value;
            std::memcpy(&value, source.data + 8 * i, 8);
            out[i] = static_cast<double>(value);
        }
    }
    return wide.converted(dataType);
}

MultiArray SafeTensorsFile::array(const std::string& name, const std::vector<int64_t>& expectedShape,
                                  MultiArrayDataType dataType) const {
    tensor(name, expectedShape);
    return array(name, dataType);
}

} // namespace ml
