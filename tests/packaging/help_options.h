#pragma once

#include <set>
#include <string>
#include <string_view>

namespace vantrel::test {

// The options a program's --help text lists: the names that begin its
// option lines ("  -h,--help  ...", "  --device PATH  ...",
// "  --record[=URL]  ...") and those in its usage lines ("usage: prog
// [--port N | --device PATH]" and their indented continuations). Option
// names mentioned inside a description are not taken, nor a value's
// placeholder; so any help layout the programs use reads the same.
std::set<std::string> HelpOptions(std::string_view helpText);

}  // namespace vantrel::test
