#pragma once
// Our stand-in for the platform's private-profile functions: single entries
// of a settings file read and written by path. Every call opens and closes
// the file itself. A write replaces the file through a temporary file in the
// same folder and a rename, so a crash leaves either the old or the new file,
// never half of one; a file that cannot be read whole is never written.
#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

// Settings files larger than this are read only this far and never written.
inline constexpr std::size_t kProfileFileMax = 1u << 20;

struct ProfileFileRead {
  enum class Status { Ok, Missing, Unreadable, TooLarge };
  Status status = Status::Missing;
  std::string text;  // the first kProfileFileMax bytes when TooLarge
};

ProfileFileRead ReadProfileFile(const std::string& path);

// Replaces the file's content through a temporary file and a rename, keeping
// the file's permissions; a symbolic link is followed and stays a link.
// False, with the file untouched, when that is not possible.
bool ReplaceFileContent(const std::string& path, std::string_view content);

// The value of the key, or `fallback` when the file, section or key is missing
// or the file cannot be read; at most kProfileValueMax characters, up to its
// first NUL.
std::string ProfileGetString(std::string_view section, std::string_view key,
                             std::string_view fallback, const std::string& path);

// Creates the file, section or key as needed and replaces the value. False
// when nothing was written: file unreadable, too large, read-only, not a
// regular file, folder not writable, or a name or value that cannot be
// stored on one line; ProfileLastWriteError() then says why.
bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// Why this thread's last refused write or replacement failed, as an errno value.
int ProfileLastWriteError();

// Leaves the section with no entries (creating it when missing).
bool ProfileClearSection(std::string_view section, const std::string& path);

}  // namespace qv
