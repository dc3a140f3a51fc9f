#pragma once

// The command-line parser's classes, declared only: its header is costly to
// compile (every file that includes it builds the parser's own objects), so
// only the files that build a command line include it.
namespace CLI {
class App;
class Option;
}  // namespace CLI
