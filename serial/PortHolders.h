#pragma once
// What a Linux system can tell about a serial device beyond "it did not
// open": which processes hold it (from /proc), whether a known port grabber
// runs, and the driver's low-latency switch. Every answer degrades to
// "nothing known" where the system keeps it to itself.
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct PortHolder {
  int pid = 0;
  std::string name;  // the process's command name, as /proc/<pid>/comm gives it
};

// Every process with an open descriptor on the device at `path`, this one
// included, by ascending pid. Processes whose descriptors this user may not
// read are missed.
std::vector<PortHolder> FindPortHolders(const std::string& path,
                                        const std::string& procRoot = "/proc");

// Whether a process of that command name runs (one this user can see).
bool ProcessRunning(std::string_view name, const std::string& procRoot = "/proc");

// Opens the device read-write as a terminal that does not become the
// controlling one, and closes it again; true when that worked and no
// process (this one included) holds the device.
bool PortOpenable(const std::string& path);

// Asks the driver behind the open descriptor to pass received bytes on at
// once (USB-serial adapters otherwise collect them for up to 16 ms). False
// when the driver has no such setting; nothing else happens then.
bool RequestLowLatency(int descriptor);

}  // namespace qv
