#pragma once
// Hardware and processor facts under their BSD sysctl names, read from Linux's /proc and /sys. Each fact
// is read once per process, on first use, and kept.

#include <string>
#include <string_view>

namespace orvane {

struct ProcessInfo {
    /// The value behind a sysctl name as text; the empty text for a name this system has no source for.
    ///   "machdep.cpu.brand_string"  first "model name" of /proc/cpuinfo
    ///   "machdep.cpu.vendor"        first "vendor_id"
    ///   "machdep.cpu.family"        first "cpu family" (decimal)
    ///   "machdep.cpu.core_count"    distinct physical cores (decimal)
    ///   "machdep.cpu.thread_count"  logical processors (decimal)
    ///   "hw.model"                  /sys/class/dmi/id/product_name, else the device-tree model
    /// Bytes after a zero byte are dropped and invalid UTF-8 becomes U+FFFD.
    static std::string stringFromSysctl(std::string_view name);

    /// The same, for the processor names, computed from the given /proc/cpuinfo text.
    static std::string valueFromCpuInfo(std::string_view name, std::string_view cpuInfo);

    static const std::string& processor(); // "machdep.cpu.brand_string"
    static const std::string& cores();     // "machdep.cpu.core_count"
    static const std::string& threads();   // "machdep.cpu.thread_count"
    static const std::string& vendor();    // "machdep.cpu.vendor"
    static const std::string& family();    // "machdep.cpu.family"
    static const std::string& hwModel();   // "hw.model"
};

} // namespace orvane
