#pragma once
// Where the first-run model set-up stands, as the panel shows it.

#include <string>

namespace velmora {

struct ModelSetupPhase {
    enum class Kind { notStarted, downloading, optimizing, ready, failed };

    Kind kind = Kind::notStarted;
    /// 0 to 1, for `downloading`.
    double fraction = 0;
    /// What went wrong, for `failed`.
    std::string text;

    static ModelSetupPhase notStarted() { return {}; }
    static ModelSetupPhase downloading(double fraction) { return {Kind::downloading, fraction, {}}; }
    static ModelSetupPhase optimizing() { return {Kind::optimizing, 0, {}}; }
    static ModelSetupPhase ready() { return {Kind::ready, 0, {}}; }
    static ModelSetupPhase failed(std::string text) { return {Kind::failed, 0, std::move(text)}; }

    /// The same case with equal payloads; the payload of another case does not count.
    friend bool operator==(const ModelSetupPhase& a, const ModelSetupPhase& b) {
        if (a.kind != b.kind) {
            return false;
        }
        switch (a.kind) {
        case Kind::downloading:
            return a.fraction == b.fraction;
        case Kind::failed:
            return a.text == b.text;
        default:
            return true;
        }
    }
};

} // namespace velmora
