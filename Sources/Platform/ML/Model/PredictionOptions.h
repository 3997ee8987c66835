#pragma once
// Per-prediction options. Nothing is tunable yet; the type keeps the call shape of the platform runtime.

namespace ml {

struct PredictionOptions {};

} // namespace ml
