#include "config/ProfileText.h"

#include <algorithm>

#include "core/TextRules.h"

namespace qv {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool HasAny(std::string_view text, std::string_view chars) {
  return text.find_first_of(chars) != std::string_view::npos;
}

bool StandsAlone(std::string_view name) {
  return !name.empty() && TrimControl(name).size() == name.size() &&
         !HasAny(name, std::string_view("\r\n\0", 3));
}

bool IsValidSection(std::string_view section) {
  return StandsAlone(section) && !HasAny(section, "]");
}

bool IsValidKey(std::string_view key) {
  return StandsAlone(key) && !HasAny(key, "=") && key.front() != ';' && key.front() != '[';
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() < 2) return value;
  const char first = value.front();
  if ((first != '"' && first != '\'') || value.back() != first) return value;
  return value.substr(1, value.size() - 2);
}

std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    bom_ = kUtf8Bom;
    text.remove_prefix(kUtf8Bom.size());
  }
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos) {
      lines_.push_back({std::string(text), ""});
      break;
    }
    std::string_view body = text.substr(0, newline);
    std::string eol = "\n";
    if (!body.empty() && body.back() == '\r') {
      body.remove_suffix(1);
      eol = "\r\n";
    }
    lines_.push_back({std::string(body), std::move(eol)});
    text.remove_prefix(newline + 1);
  }
}

ProfileText::Parsed ProfileText::Parse(std::string_view body) {
  const std::string_view line = TrimControl(body);
  if (line.empty()) return {};
  if (line.front() == ';') return {Kind::Comment, {}, {}};
  if (line.front() == '[') {
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return {Kind::Other, {}, {}};
    return {Kind::Header, TrimControl(line.substr(1, close - 1)), {}};
  }
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {Kind::Other, {}, {}};
  return {Kind::Entry, TrimControl(line.substr(0, equals)), TrimControl(line.substr(equals + 1))};
}

std::size_t ProfileText::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Parsed parsed = Parse(lines_[i].body);
    if (parsed.kind == Kind::Header && SameName(parsed.name, section)) return i;
  }
  return std::string::npos;
}

std::size_t ProfileText::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && Parse(lines_[i].body).kind != Kind::Header) ++i;
  return i;
}

std::optional<std::string> ProfileText::Get(std::string_view section, std::string_view key) const {
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return std::nullopt;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Parsed parsed = Parse(lines_[i].body);
    if (parsed.kind != Kind::Entry || !SameName(parsed.name, key)) continue;
    return std::string(CutCharacters(UpToNul(Unquoted(parsed.value)), kProfileValueMax));
  }
  return std::nullopt;
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsValidSection(section) || !IsValidKey(key)) return false;
  value = UpToNul(value);
  if (HasAny(value, "\r\n")) return false;
  value = CutCharacters(value, kProfileValueMax);
  const std::string newEntry = std::string(key) + "=" + std::string(value);

  const std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    InsertLine(lines_.size(), "[" + std::string(section) + "]");
    InsertLine(lines_.size(), newEntry);
    return true;
  }
  const std::size_t end = SectionEnd(header);
  std::size_t insertAt = header + 1;
  for (std::size_t i = header + 1; i < end; ++i) {
    const Parsed parsed = Parse(lines_[i].body);
    if (parsed.kind != Kind::Entry) continue;
    insertAt = i + 1;
    if (!SameName(parsed.name, key)) continue;
    // Keep the line's own spelling of the key and its blanks around "=".
    std::string& body = lines_[i].body;
    std::size_t valueStart = body.find('=') + 1;
    while (valueStart < body.size() && (body[valueStart] == ' ' || body[valueStart] == '\t')) {
      ++valueStart;
    }
    body = body.substr(0, valueStart) + std::string(value);
    return true;
  }
  InsertLine(insertAt, newEntry);
  return true;
}

bool ProfileText::ClearSection(std::string_view section) {
  if (!IsValidSection(section)) return false;
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    InsertLine(lines_.size(), "[" + std::string(section) + "]");
    return true;
  }
  const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(header + 1);
  const auto last = lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header));
  lines_.erase(
      std::remove_if(first, last,
                     [](const Line& line) { return Parse(line.body).kind == Kind::Entry; }),
      last);
  return true;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    const Parsed parsed = Parse(line.body);
    if (parsed.kind == Kind::Header && !parsed.name.empty()) names.emplace_back(parsed.name);
  }
  return names;
}

std::vector<std::string> ProfileText::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return keys;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Parsed parsed = Parse(lines_[i].body);
    if (parsed.kind == Kind::Entry) keys.emplace_back(parsed.name);
  }
  return keys;
}

std::string ProfileText::Text() const {
  std::string text = bom_;
  for (const Line& line : lines_) text += line.body + line.eol;
  return text;
}

std::string ProfileText::LineBreak() const {
  for (const Line& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return "\n";
}

void ProfileText::InsertLine(std::size_t at, std::string body) {
  const std::string eol = LineBreak();
  if (at == lines_.size() && !lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(body), eol});
}

}  // namespace qv
