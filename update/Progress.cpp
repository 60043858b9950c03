#include "update/Progress.h"

namespace qv {

std::string ProgressText(std::int64_t transferOffset, std::int64_t upperIndex,
                         char decimalSeparator) {
  const std::int64_t divisor = upperIndex < 1 ? 1 : upperIndex;
  // Tenths of a percent in integers: a tie such as 5.25 is exact here, where
  // a binary fraction would land on either side of it.
  const std::int64_t numerator = transferOffset * 1000;
  std::int64_t tenths = numerator / divisor;
  const std::int64_t twiceRest = 2 * (numerator % divisor);
  if (twiceRest > divisor || (twiceRest == divisor && tenths % 2 != 0)) ++tenths;
  return std::to_string(tenths / 10) + decimalSeparator + std::to_string(tenths % 10) + "%";
}

}  // namespace qv
