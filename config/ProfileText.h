#pragma once
// The text of a settings file as sections of "key=value" lines, read and
// edited the way Windows' private-profile functions treat the files users
// have: names compared without regard to case, blanks around names and
// values ignored, a value in matching quotes returned without them. An edit
// changes only the line it concerns; every other byte of the text, line
// endings included, stays as it was.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A value holds at most this many characters (UTF-8 code points, not bytes):
// the longest path the system takes, so a folder path is never shortened.
// A longer one is cut, never inside a character.
inline constexpr std::size_t kProfileValueMax = 4095;

class ProfileText {
 public:
  explicit ProfileText(std::string_view text = {});

  // The value of the first such key in the first such section, quotes
  // removed, at most kProfileValueMax characters; nullopt when there is none.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces or adds the key, adding the section at the end when missing.
  // Refuses (false, text unchanged) names or values that cannot stand on one
  // line: empty or blank-edged names, line breaks, "]" in a section, "=" in a
  // key. A value is taken up to its first NUL and cut to kProfileValueMax.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // Removes the entries of the section, keeping its header, comments and
  // blank lines; adds an empty section when missing.
  bool ClearSection(std::string_view section);

  // Section names in file order, as written between the brackets (trimmed).
  std::vector<std::string> SectionNames() const;
  // Key names of the first such section in file order, trimmed.
  std::vector<std::string> Keys(std::string_view section) const;

  std::string Text() const;

 private:
  struct Line {
    std::string body;  // without the line break
    std::string eol;   // "\r\n", "\n" or "" (last line without a break)
  };
  enum class Kind { Blank, Comment, Header, Entry, Other };
  struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;   // section or key
    std::string_view value;  // entry value, trimmed, quotes still on
  };

  static Parsed Parse(std::string_view body);
  // Index of the first header of the section, or npos.
  std::size_t FindSection(std::string_view section) const;
  // One past the section's last line (the next header or the end).
  std::size_t SectionEnd(std::size_t header) const;
  void InsertLine(std::size_t at, std::string body);
  std::string LineBreak() const;

  std::string bom_;  // a UTF-8 byte-order mark, kept as it was
  std::vector<Line> lines_;
};

}  // namespace qv
