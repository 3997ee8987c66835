#include "OrvaneCore/Extensions/ArrayExtensions.h"

#include <fnmatch.h>

namespace orvane {

std::vector<std::string> matching(const std::vector<std::string>& names, const std::string& glob) {
    std::vector<std::string> matched;
    for (const std::string& name : names) {
        if (fnmatch(glob.c_str(), name.c_str(), 0) == 0) {
            matched.push_back(name);
        }
    }
    return matched;
}

} // namespace orvane
