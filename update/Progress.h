#pragma once
// The progress label of a running transfer.
#include <cstdint>
#include <string>

namespace qv {

// transferOffset × 100 / upperIndex with one decimal, a half to the even
// digit, and "%": "0.0%", "5.2%" (5.25), "100.0%" (99.95). An upper index
// below 1 counts as 1.
std::string ProgressText(std::int64_t transferOffset, std::int64_t upperIndex,
                         char decimalSeparator);

}  // namespace qv
