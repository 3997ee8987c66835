#pragma once
// A signpost interval that is closed however the scope that opened it is left, by return or by throw.

#include "Sonavex/Utilities/Logging/Logging.h"

#include <string>
#include <string_view>

namespace sonavex {

class SignpostScope {
public:
    SignpostScope(std::string_view name, const Signposter& signposter)
        : name_(name), signposter_(signposter), interval_(Logging::beginSignpost(name, signposter)) {}
    ~SignpostScope() { Logging::endSignpost(name_, interval_, signposter_); }
    SignpostScope(const SignpostScope&) = delete;
    SignpostScope& operator=(const SignpostScope&) = delete;

private:
    std::string name_;
    const Signposter& signposter_;
    SignpostIntervalState interval_;
};

} // namespace sonavex
