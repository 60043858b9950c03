#pragma once
// qvboot-cli's own words (cli.*: usage, columns, results, the questions as
// the command line names them), in the three languages of the program's named
// texts. The window never shows them, so they live with the command line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::cli {

// The text named `name` in the language `initLang`: one of the command line's
// own, else qv::NamedText's (the serial layer's explanations, the file
// checks), else the name itself. Inside qv::cli it hides qv::NamedText, so
// the command line's code reaches its own words with the same call.
std::string NamedText(std::int32_t initLang, std::string_view name);

// Every name of the command line's own table, in order.
std::vector<std::string_view> CliTextNames();

}  // namespace qv::cli
