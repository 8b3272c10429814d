// One line of a batch script of the Windows command interpreter, taken apart into its commands and
// their arguments. Only the commands of the store's transfer scripts are understood, alone, joined
// by "&&" or after "if [not] errorlevel N"; any other line comes back as unsupported with the
// reason, so that the runner reports it instead of guessing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zav5::batch {

enum class BatchCommand {
  kNothing,       // empty line, rem, cls, echo off, echo on
  kEcho,          // prints `text`
  kChangeFolder,  // cd, chdir
  kChangeDrive,   // X:
  kCopy,          // copy
  kDelete,        // del, erase
  kIfErrorLevel,  // if [not] errorlevel N: the condition of the commands after it on the line
  kUnsupported,   // `text` says why
};

// One command of a line.
struct BatchLine {
  BatchCommand command = BatchCommand::kNothing;
  // kEcho: the text to print. kChangeFolder: the folder, quotes removed ("" asks for the current
  // one). kChangeDrive: the drive, "X:". kUnsupported: why the line cannot run (Italian).
  std::string text;
  // kChangeFolder, kCopy, kDelete: the switch letters given, upper case, in order ("YB"). Only the
  // switches the command accepts ever get here.
  std::string switches;
  // kCopy, kDelete: the paths and patterns, in order, quotes removed.
  std::vector<std::string> paths;
  // kIfErrorLevel: the condition holds when the error level is at least `level`, or, when
  // `negated` ("if not"), below it.
  int level = 0;
  bool negated = false;
};

// Takes `line` (one line of the script, without its line end) apart into its commands, in order:
// one, or several joined by "&&" outside quotes, where each runs only when the one before it
// succeeded. "if [not] errorlevel N" in front of a command comes as a kIfErrorLevel before it, and
// as in cmd its command runs to the end of the line: when the condition does not hold, nothing
// after it on the line runs, "&&" and further commands included. Around each command, blanks and
// tabs, a leading "@" and trailing blanks do not count; command words are matched without regard
// to case. A remark runs to the end of the line, "&&" included. The result is never empty (an
// empty line is one kNothing) and never ends with a kIfErrorLevel; a line of which any part cannot
// run is a single kUnsupported, so that none of it runs.
std::vector<BatchLine> ParseBatchLine(std::string_view line);

// `line` without leading and trailing blanks and tabs: the line as error messages quote it.
std::string_view TrimBatchLine(std::string_view line);

}  // namespace zav5::batch
