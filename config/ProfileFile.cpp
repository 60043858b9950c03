#include "config/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "config/ProfileText.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

// Why the last write of this thread failed (an errno value). Kept apart from
// errno, which the calls between the failure and the caller may change.
thread_local int lastWriteError = 0;

bool Refuse(int error) {
  lastWriteError = error;
  return false;
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The file a write must replace: the target of a symbolic link, so the link
// survives the rename.
std::string WriteTarget(const std::string& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  const fs::path target = fs::weakly_canonical(path, ec);
  return ec ? std::string() : target.string();
}

// The permission bits a replacement gets, or -1 when the existing file must
// not be replaced (not a regular file, read-only, not accessible).
int ReplacementMode(const std::string& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return errno == ENOENT ? 0600 : -1;
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  // The owner's write bit is the file's read-only mark, even for root.
  if ((info.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return -1;
  }
  if (::access(target.c_str(), W_OK) != 0) return -1;
  return static_cast<int>(info.st_mode & 07777);
}

bool LooksLikeUtf16(std::string_view text) {
  return text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF";
}

bool EditProfileFile(const std::string& path, const std::function<bool(ProfileText&)>& edit) {
  const ProfileFileRead read = ReadProfileFile(path);
  using Status = ProfileFileRead::Status;
  if (read.status == Status::Unreadable) return Refuse(EIO);
  if (read.status == Status::TooLarge) return Refuse(EFBIG);
  // Our lines would not be text in a UTF-16 file; leave such a file alone.
  if (LooksLikeUtf16(read.text)) return Refuse(EILSEQ);
  ProfileText document(read.text);
  if (!edit(document)) return Refuse(EINVAL);
  const std::string updated = document.Text();
  if (read.status == Status::Ok && updated == read.text) return true;
  return ReplaceFileContent(path, updated);
}

}  // namespace

ProfileFileRead ReadProfileFile(const std::string& path) {
  using Status = ProfileFileRead::Status;
  if (path.empty()) return {Status::Unreadable, {}};
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return {Status::Missing, {}};
  // Folders, devices and pipes are never settings files (and a pipe would block).
  if (ec || status.type() != fs::file_type::regular) return {Status::Unreadable, {}};

  std::ifstream in(path, std::ios::binary);
  if (!in) return {Status::Unreadable, {}};
  // Read one byte past the cap to tell a file that is too large from one that
  // fits; read on past the size taken when the file has grown since.
  const std::uintmax_t size = fs::file_size(path, ec);
  ProfileFileRead result{Status::Ok, {}};
  result.text.resize(
      static_cast<std::size_t>(std::min<std::uintmax_t>(ec ? 0 : size, kProfileFileMax)) + 1);
  in.read(result.text.data(), static_cast<std::streamsize>(result.text.size()));
  result.text.resize(static_cast<std::size_t>(in.gcount()));
  char chunk[4096];
  while (in && result.text.size() <= kProfileFileMax) {
    in.read(chunk, sizeof chunk);
    result.text.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return {Status::Unreadable, {}};
  if (result.text.size() > kProfileFileMax) {
    result.text.resize(kProfileFileMax);
    result.status = Status::TooLarge;
  }
  return result;
}

bool ReplaceFileContent(const std::string& path, std::string_view content) {
  const std::string target = path.empty() ? std::string() : WriteTarget(path);
  if (target.empty()) return Refuse(ENOENT);
  const int mode = ReplacementMode(target);
  if (mode < 0) return Refuse(errno);

  const fs::path targetPath(target);
  const std::string folder =
      targetPath.has_parent_path() ? targetPath.parent_path().string() : std::string(".");
  std::string temp = folder + "/." + targetPath.filename().string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return Refuse(errno);
  bool done =
      WriteAll(fd, content) && ::fsync(fd) == 0 && ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
  int error = done ? 0 : errno;
  if (::close(fd) != 0 && done) {
    done = false;
    error = errno;
  }
  if (done && ::rename(temp.c_str(), target.c_str()) != 0) {
    done = false;
    error = errno;
  }
  if (!done) {
    ::unlink(temp.c_str());
    return Refuse(error != 0 ? error : EIO);
  }
  SyncFolder(folder);
  return true;
}

std::string ProfileGetString(std::string_view section, std::string_view key,
                             std::string_view fallback, const std::string& path) {
  const ProfileFileRead read = ReadProfileFile(path);
  if (read.status != ProfileFileRead::Status::Ok &&
      read.status != ProfileFileRead::Status::TooLarge) {
    return std::string(fallback);
  }
  const auto value = ProfileText(read.text).Get(section, key);
  return value ? *value : std::string(fallback);
}

int ProfileLastWriteError() {
  return lastWriteError;
}

bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
  return EditProfileFile(path,
                         [&](ProfileText& document) { return document.Set(section, key, value); });
}

bool ProfileClearSection(std::string_view section, const std::string& path) {
  return EditProfileFile(path,
                         [&](ProfileText& document) { return document.ClearSection(section); });
}

}  // namespace qv
