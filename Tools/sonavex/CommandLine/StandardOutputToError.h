#pragma once
// The hub client announces whether it found a token on standard output (under
// CI_DISABLE_NETWORK_MONITOR=1); standard output carries only results here, so while one of these lives,
// anything written to std::cout goes to standard error instead.

#include <iostream>

namespace sonavex::tool {

class StandardOutputToError {
public:
    StandardOutputToError() : saved_(std::cout.rdbuf(std::cerr.rdbuf())) {}
    ~StandardOutputToError() { std::cout.rdbuf(saved_); }
    StandardOutputToError(const StandardOutputToError&) = delete;
    StandardOutputToError& operator=(const StandardOutputToError&) = delete;

private:
    std::streambuf* saved_;
};

} // namespace sonavex::tool
