#include "OrvaneCore/System/ProcessInfo.h"

#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Trimming.h"

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <utility>

namespace orvane {

namespace {

std::string readWholeFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// /proc/cpuinfo holds one "key<TAB>: value" line per fact and a blank line between processors.
struct CpuInfoLine {
    std::string_view key;
    std::string_view value;
};

template <class Visit> void forEachLine(std::string_view cpuInfo, Visit visit) {
    std::size_t start = 0;
    while (start <= cpuInfo.size()) {
        std::size_t end = cpuInfo.find('\n', start);
        if (end == std::string_view::npos) {
            end = cpuInfo.size();
        }
        std::string_view line = cpuInfo.substr(start, end - start);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos) {
            visit(CpuInfoLine{text::trimmedWhiteSpaceAndNewlines(line.substr(0, colon)),
                              text::trimmedWhiteSpaceAndNewlines(line.substr(colon + 1))});
        } else {
            visit(CpuInfoLine{});
        }
        start = end + 1;
    }
}

std::string firstValue(std::string_view cpuInfo, std::string_view key) {
    std::string found;
    bool done = false;
    forEachLine(cpuInfo, [&](const CpuInfoLine& line) {
        if (!done && line.key == key) {
            found = std::string(line.value);
            done = true;
        }
    });
    return found;
}

std::size_t logicalProcessors(std::string_view cpuInfo) {
    std::size_t count = 0;
    forEachLine(cpuInfo, [&](const CpuInfoLine& line) { count += line.key == "processor" ? 1 : 0; });
    return count;
}

// Physical cores are the distinct (physical id, core id) pairs; without those fields each processor counts.
std::size_t physicalCores(std::string_view cpuInfo) {
    std::set<std::pair<std::string, std::string>> cores;
    std::string physicalId;
    forEachLine(cpuInfo, [&](const CpuInfoLine& line) {
        if (line.key == "processor") {
            physicalId.clear();
        } else if (line.key == "physical id") {
            physicalId = std::string(line.value);
        } else if (line.key == "core id") {
            cores.emplace(physicalId, std::string(line.value));
        }
    });
    return cores.empty() ? logicalProcessors(cpuInfo) : cores.size();
}

std::string asText(const std::string& bytes) {
    return text::decodeUtf8(std::string_view(bytes).substr(0, bytes.find('\0')));
}

std::string hardwareModel() {
    std::string model(text::trimmedWhiteSpaceAndNewlines(readWholeFile("/sys/class/dmi/id/product_name")));
    if (model.empty()) {
        model = readWholeFile("/sys/firmware/devicetree/base/model");
    }
    return model;
}

} // namespace

std::string ProcessInfo::valueFromCpuInfo(std::string_view name, std::string_view cpuInfo) {
    std::string value;
    if (name == "machdep.cpu.brand_string") {
        value = firstValue(cpuInfo, "model name");
    } else if (name == "machdep.cpu.vendor") {
        value = firstValue(cpuInfo, "vendor_id");
    } else if (name == "machdep.cpu.family") {
        value = firstValue(cpuInfo, "cpu family");
    } else if (name == "machdep.cpu.core_count") {
        value = std::to_string(physicalCores(cpuInfo));
    } else if (name == "machdep.cpu.thread_count") {
        value = std::to_string(logicalProcessors(cpuInfo));
    }
    return asText(value);
}

std::string ProcessInfo::stringFromSysctl(std::string_view name) {
    if (name == "hw.model") {
        return asText(hardwareModel());
    }
    if (!name.starts_with("machdep.cpu.")) {
        return {};
    }
    return valueFromCpuInfo(name, readWholeFile("/proc/cpuinfo"));
}

const std::string& ProcessInfo::processor() {
    static const std::string value = stringFromSysctl("machdep.cpu.brand_string");
    return value;
}

const std::string& ProcessInfo::cores() {
    static const std::string value = stringFromSysctl("machdep.cpu.core_count");
    return value;
}

const std::string& ProcessInfo::threads() {
    static const std::string value = stringFromSysctl("machdep.cpu.thread_count");
    return value;
}

const std::string& ProcessInfo::vendor() {
    static const std::string value = stringFromSysctl("machdep.cpu.vendor");
    return value;
}

const std::string& ProcessInfo::family() {
    static const std::string value = stringFromSysctl("machdep.cpu.family");
    return value;
}

const std::string& ProcessInfo::hwModel() {
    static const std::string value = stringFromSysctl("hw.model");
    return value;
}

} // namespace orvane
