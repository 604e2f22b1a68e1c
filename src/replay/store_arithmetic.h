// How computed values land in the store's 32-bit signed cells: wrapped like the 32-bit
// arithmetic of the classic program, or truncated from a double toward zero.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>

namespace vorlind {

// The low 32 bits of `value` as a signed number (two's complement wrap-around).
inline int32_t wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// Truncates toward zero; NaN and values outside the 32-bit range give INT_MIN.
inline int32_t truncateToInt32(double value) {
  if (std::isnan(value)) return INT_MIN;
  const double whole = std::trunc(value);
  if (whole < static_cast<double>(INT_MIN) || whole > static_cast<double>(INT_MAX)) return INT_MIN;
  return static_cast<int32_t>(whole);
}

}  // namespace vorlind
