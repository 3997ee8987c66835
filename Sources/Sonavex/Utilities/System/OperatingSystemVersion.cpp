#include "Sonavex/Utilities/System/OperatingSystemVersion.h"

#include <memory>
#include <mutex>

namespace sonavex {

namespace {

std::mutex& queryMutex() {
    static std::mutex mutex;
    return mutex;
}

OperatingSystemVersionQuery& installedQuery() {
    static OperatingSystemVersionQuery query;
    return query;
}

} // namespace

OperatingSystemVersion currentOperatingSystemVersion() {
    OperatingSystemVersionQuery query;
    {
        std::lock_guard lock(queryMutex());
        query = installedQuery();
    }
    // Called outside the lock: a query may itself be slow or consult other state.
    return query ? query() : OperatingSystemVersion::newest();
}

bool isOperatingSystemAtLeast(OperatingSystemVersion version) {
    return currentOperatingSystemVersion() >= version;
}

OperatingSystemVersionQuery setOperatingSystemVersionQuery(OperatingSystemVersionQuery query) {
    std::lock_guard lock(queryMutex());
    std::swap(installedQuery(), query);
    return query;
}

} // namespace sonavex
