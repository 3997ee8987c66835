// NumPy files as the tools read them: refused with a readable error, or an array that writes back and
// reads back the same.

#include "Fuzz/FuzzSupport.h"
#include "Platform/ML/Files/Npy.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::writeScratch("in.npy", std::string_view(reinterpret_cast<const char*>(data), size));
    ml::MultiArray array;
    try {
        array = ml::readNpy(path);
    } catch (const std::runtime_error&) {
        return 0;
    }
    const auto copy = fuzz::scratchFolder() / "out.npy";
    ml::writeNpy(copy, array);
    if (!(ml::readNpy(copy) == array)) {
        std::abort();
    }
    return 0;
}
