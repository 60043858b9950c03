#pragma once
// A failed platform call: a number and a description a person can act on.
// Procedures catch it where it occurs and skip the step or show it.
#include <stdexcept>
#include <string>

namespace qv {

class PlatformError : public std::runtime_error {
 public:
  PlatformError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// Error numbers the program raises itself.
inline constexpr int kErrInvalidPortNumber = 8002;  // port number outside 1..16
inline constexpr int kErrInvalidValue = 380;        // a settings text or mode the port cannot take
inline constexpr int kErrPortOpen = 8005;           // port already open / in use
inline constexpr int kErrPortFailed = 8010;         // the device refused to open or to take the settings
inline constexpr int kErrPortNotFound = 8012;       // device missing
inline constexpr int kErrPortDenied = 8015;         // no permission
inline constexpr int kErrPathAccess = 75;           // path or file access error

}  // namespace qv
