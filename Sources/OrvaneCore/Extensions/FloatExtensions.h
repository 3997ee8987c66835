#pragma once
// Decimal rounding of 32-bit floats, done entirely in 32-bit arithmetic so results match the stored
// timings bit for bit.

namespace orvane {

/// `value` rounded to `places` decimal places, halves away from zero; negative places round to tens,
/// hundreds and so on.
float rounded(float value, int places);

} // namespace orvane
