#include "Platform/ML/Files/Npy.h"

#include "Platform/ML/Files/AtomicFileWriter.h"

#include <charconv>
#include <cstring>
#include <optional>
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

// The shape tuple of the header, "(2, 3)" or "(4,)": whole non-negative decimal sizes only, so that
// "(4xyz,)" or "(4.9,)" is refused rather than read as 4. One trailing comma is allowed.
std::vector<int64_t> parseShape(const std::filesystem::path& path, const std::string& shapeText) {
    const std::string inner = shapeText.substr(1, shapeText.size() - 2);
    if (inner.find_first_not_of(' ') == std::string::npos) {
        fail(path, "zero-dimensional arrays are not supported");
    }
    std::vector<std::string> items;
    for (std::size_t start = 0;;) {
        const std::size_t comma = inner.find(',', start);
        std::string item = inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t first = item.find_first_not_of(' ');
        items.push_back(first == std::string::npos ? std::string()
                                                   : item.substr(first, item.find_last_not_of(' ') - first + 1));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (items.size() > 1 && items.back().empty()) {
        items.pop_back();
    }
    std::vector<int64_t> shape;
    for (const std::string& item : items) {
        int64_t size = -1;
        const auto [stop, error] = std::from_chars(item.data(), item.data() + item.size(), size);
        if (item.empty() || error != std::errc() || stop != item.data() + item.size() || size < 0) {
            fail(path, "the shape " + shapeText + " is not readable");
        }
        shape.push_back(size);
    }
    return shape;
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
    const std::vector<int64_t> shape = parseShape(path, shapeText);
    // The size the header declares is checked against the file before anything is allocated, so a
    // small file that claims a huge array is refused at once.
    const std::size_t dataStart = headerStart + headerLength;
    const std::size_t available = bytes.size() - dataStart;
    const std::optional<int64_t> count = MultiArray::elementCount(shape);
    if (!count) {
        fail(path, "the shape " + shapeDescription(shape) + " is too large for an array");
    }
    const std::size_t declared = static_cast<std::size_t>(*count) * elementSize(*dataType);
    if (declared != available) {
        fail(path, "the data holds " + std::to_string(available) + " bytes, not the " + std::to_string(declared) +
                       " of shape " + shapeDescription(shape));
    }
    MultiArray array(shape, *dataType);
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
    AtomicFileWriter out(path);
    out.write(kMagic, 6);
    const char version[2] = {1, 0};
    out.write(version, 2);
    const char length[2] = {static_cast<char>(header.size() & 0xff), static_cast<char>((header.size() >> 8) & 0xff)};
    out.write(length, 2);
    out.write(header);
    out.write(array.data(), array.byteCount());
    out.commit();
}

} // namespace ml
