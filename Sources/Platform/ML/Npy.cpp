#include "Platform/ML/Npy.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace ml {

namespace {

const char kMagic[] = "\x93NUMPY";

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& problem) {
    throw std::runtime_error("Cannot read " + path.string() + ": " + problem);
}

std::string dtypeCode(MultiArrayDataType type) {
    switch (type) {
    case MultiArrayDataType::Float16:
        return "<f2";
    case MultiArrayDataType::Float32:
        return "<f4";
    case MultiArrayDataType::Float64:
        return "<f8";
    case MultiArrayDataType::Int32:
        return "<i4";
    case MultiArrayDataType::Int8:
        return "|i1";
    }
    return "";
}

std::optional<MultiArrayDataType> dtypeFromCode(const std::string& code) {
    if (code == "<f2") return MultiArrayDataType::Float16;
    if (code == "<f4") return MultiArrayDataType::Float32;
    if (code == "<f8") return MultiArrayDataType::Float64;
    if (code == "<i4") return MultiArrayDataType::Int32;
    if (code == "|i1" || code == "<i1" || code == "i1") return MultiArrayDataType::Int8;
    return std::nullopt;
}

// The value of a key in the header's Python dict literal, as raw text up to the next top-level comma.
std::string dictValue(const std::string& header, const std::string& key) {
    const std::string quotedKey = "'" + key + "'";
    std::size_t at = header.find(quotedKey);
    if (at == std::string::npos) {
        return {};
    }
    at = header.find(':', at + quotedKey.size());
    if (at == std::string::npos) {
        return {};
    }
    ++at;
    while (at < header.size() && header[at] == ' ') {
        ++at;
    }
    std::size_t end = at;
    int depth = 0;
    while (end < header.size()) {
        char c = header[end];
        if (c == '(' || c == '[') {
            ++depth;
        } else if (c == ')' || c == ']') {
            --depth;
        } else if ((c == ',' || c == '}') && depth == 0) {
            break;
        }
        ++end;
    }
    return header.substr(at, end - at);
}

} // namespace

MultiArray readNpy(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail(path, "the file cannot be opened");
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string bytes = buffer.str();
    if (bytes.size() < 10 || bytes.compare(0, 6, kMagic, 6) != 0) {
        fail(path, "not a .npy file");
    }
    const auto major = static_cast<unsigned char>(bytes[6]);
    std::size_t headerLength = 0;
    std::size_t headerStart = 0;
    if (major == 1) {
        headerLength = static_cast<unsigned char>(bytes[8]) | (static_cast<std::size_t>(static_cast<unsigned char>(bytes[9])) << 8);
        headerStart = 10;
    } else if (major == 2 || major == 3) {
        if (bytes.size() < 12) {
            fail(path, "the header is truncated");
        }
        for (int i = 3; i >= 0; --i) {
            headerLength = (headerLength << 8) | static_cast<unsigned char>(bytes[8 + i]);
        }
        headerStart = 12;
    } else {
        fail(path, "unsupported .npy version " + std::to_string(major));
    }
    if (headerStart + headerLength > bytes.size()) {
        fail(path, "the header is truncated");
    }
    const std::string header = bytes.substr(headerStart, headerLength);

    std::string descr = dictValue(header, "descr");
    if (descr.size() < 2 || descr.front() != '\'' || descr.back() != '\'') {
        fail(path, "the header has no element type");
    }
    descr = descr.substr(1, descr.size() - 2);
    auto dataType = dtypeFromCode(descr);
    if (!dataType) {
        fail(path, "unsupported element type '" + descr + "'");
    }
    if (dictValue(header, "fortran_order") != "False") {
        fail(path, "only C-order arrays are supported");
    }
    std::string shapeText = dictValue(header, "shape");
    if (shapeText.size() < 2 || shapeText.front() != '(' || shapeText.back() != ')') {
        fail(path, "the header has no shape");
    }
    std::vector<int64_t> shape;
    std::stringstream items(shapeText.substr(1, shapeText.size() - 2));
    std::string item;
    while (std::getline(items, item, ',')) {
        std::size_t first = item.find_first_not_of(' ');
        if (first == std::string::npos) {
            continue;
        }
        try {
            std::size_t used = 0;
            long long size = std::stoll(item.substr(first), &used);
            if (size < 0) {
                throw std::invalid_argument("negative");
            }
            shape.push_back(size);
        } catch (const std::exception&) {
            fail(path, "the shape " + shapeText + " is not readable");
        }
    }
    if (shape.empty()) {
        fail(path, "zero-dimensional arrays are not supported");
    }
    MultiArray array(shape, *dataType);
    const std::size_t dataStart = headerStart + headerLength;
    if (bytes.size() - dataStart != array.byteCount()) {
        fail(path, "the data holds " + std::to_string(bytes.size() - dataStart) + " bytes, not the " +
                       std::to_string(array.byteCount()) + " of shape " + shapeDescription(shape));
    }
    std::memcpy(array.data(), bytes.data() + dataStart, array.byteCount());
    return array;
}

void writeNpy(const std::filesystem::path& path, const MultiArray& array) {
    std::string shape = "(";
    for (std::size_t i = 0; i < array.shape().size(); ++i) {
        shape += std::to_string(array.shape()[i]) + (array.shape().size() == 1 || i + 1 < array.shape().size() ? "," : "");
        if (i + 1 < array.shape().size()) {
            shape += " ";
        }
    }
    shape += ")";
    std::string header = "{'descr': '" + dtypeCode(array.dataType()) + "', 'fortran_order': False, 'shape': " + shape + ", }";
    // Magic, version and length take 10 bytes; pad so the data starts on a 64-byte boundary.
    const std::size_t total = (10 + header.size() + 1 + 63) / 64 * 64;
    header.append(total - 10 - header.size() - 1, ' ');
    header += '\n';
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("Cannot write " + path.string());
    }
    out.write(kMagic, 6);
    const char version[2] = {1, 0};
    out.write(version, 2);
    const char length[2] = {static_cast<char>(header.size() & 0xff), static_cast<char>((header.size() >> 8) & 0xff)};
    out.write(length, 2);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(static_cast<const char*>(array.data()), static_cast<std::streamsize>(array.byteCount()));
    if (!out) {
        throw std::runtime_error("Cannot write " + path.string());
    }
}

} // namespace ml
