#pragma once
// Runs a command line through the shell, as an operator's script would.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace qv::test {

// The command's exit status; -1 when it did not end normally.
inline int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qv::test
