#pragma once
// Why a station's run did not come to "ok", for the result line, the JSON
// and the record: what happened and what to do next, in the operator's
// language. The engine's boxes speak to a window operator (questions, "select
// a file first"); they are read here, never passed on as the reason.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Report.h"

namespace qv::cli {

struct RunFacts {
  std::string port;      // as the operator gave it
  std::string hardware;  // the station's, when it was identified
  std::string folder;    // the upgrade folder
};

std::string FailureReason(const std::vector<BoxRecord>& boxes, const RunFacts& facts,
                          std::int32_t initLang);

// A device path's run is known to the engine by a COM number of its own;
// the operator named it by its path, and `ports` may show that number as
// another device. "COM2 (/dev/x)" and "COM2" become the path.
std::string NameByPath(std::string text, int comNumber, const std::string& path);

// A device whose group may not read and write it (or whose group is root's)
// opens for its owner alone: joining a group cannot help.
bool OnlyOwnerOpens(unsigned mode, unsigned groupId);

// What keeps the run from opening its device, found before the engine is
// started: a device path that does not exist, a device only its owner may
// open. Empty when nothing is known against it.
std::string PortProblem(const std::string& device, bool givenAsPath, std::int32_t initLang);

}  // namespace qv::cli
