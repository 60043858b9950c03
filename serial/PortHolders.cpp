#include "serial/PortHolders.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/TextRules.h"

#ifdef __linux__
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv {

namespace {

namespace fs = std::filesystem;

std::string CommandName(const fs::path& processDir) {
  std::ifstream in(processDir / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// The processes below procRoot, as pid and folder.
std::vector<std::pair<int, fs::path>> Processes(const std::string& procRoot) {
  std::vector<std::pair<int, fs::path>> found;
  std::error_code error;
  for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error)) {
    const auto pid = WholeDigits(it->path().filename().string());
    if (pid && *pid > 0) found.emplace_back(*pid, it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

#ifdef __linux__
// A character device is one device whatever path names it; anything else
// (a plain file standing in for one) is its inode.
bool SameFile(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool HoldsFile(const fs::path& processDir, const struct stat& device) {
  std::error_code error;
  for (fs::directory_iterator it(processDir / "fd", error), end; !error && it != end;
       it.increment(error)) {
    struct stat target {};
    if (::stat(it->path().c_str(), &target) == 0 && SameFile(target, device)) return true;
  }
  return false;
}
#endif

}  // namespace

std::vector<PortHolder> FindPortHolders([[maybe_unused]] const std::string& path,
                                        [[maybe_unused]] const std::string& procRoot) {
  std::vector<PortHolder> holders;
#ifdef __linux__
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0) return holders;
  for (const auto& [pid, dir] : Processes(procRoot)) {
    if (HoldsFile(dir, device)) holders.push_back({pid, CommandName(dir)});
  }
#endif
  return holders;
}

bool ProcessRunning(std::string_view name, const std::string& procRoot) {
  const auto processes = Processes(procRoot);
  return std::any_of(processes.begin(), processes.end(),
                     [&](const auto& process) { return CommandName(process.second) == name; });
}

bool PortOpenable([[maybe_unused]] const std::string& path) {
#ifdef __linux__
  const int descriptor = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return false;
  ::close(descriptor);
  return FindPortHolders(path).empty();
#else
  return false;
#endif
}

bool RequestLowLatency([[maybe_unused]] int descriptor) {
#ifdef __linux__
  serial_struct info{};
  if (::ioctl(descriptor, TIOCGSERIAL, &info) != 0) return false;
  if (info.flags & ASYNC_LOW_LATENCY) return true;
  info.flags |= ASYNC_LOW_LATENCY;
  return ::ioctl(descriptor, TIOCSSERIAL, &info) == 0;
#else
  return false;
#endif
}

}  // namespace qv
