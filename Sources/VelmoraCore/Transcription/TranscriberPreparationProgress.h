#pragma once
// What model preparation reports while a transcriber is being built: the download's fraction, then
// that the engine is being specialised for this machine and loaded.

namespace velmora {

struct TranscriberPreparationProgress {
    enum class Kind { downloading, optimizing };

    Kind kind = Kind::downloading;
    /// 0 to 1; meaningful for `downloading` only.
    double fraction = 0;

    static TranscriberPreparationProgress downloading(double fraction) {
        return {Kind::downloading, fraction};
    }
    static TranscriberPreparationProgress optimizing() { return {Kind::optimizing, 0}; }

    /// Two `optimizing` reports are equal whatever their fraction field holds.
    friend bool operator==(const TranscriberPreparationProgress& a, const TranscriberPreparationProgress& b) {
        return a.kind == b.kind && (a.kind == Kind::optimizing || a.fraction == b.fraction);
    }
};

} // namespace velmora
