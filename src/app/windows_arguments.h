// The command line of a Windows program in UTF-8.
#pragma once

#include <string>
#include <vector>

namespace zav5::app {

// The program's arguments as Windows keeps them (UTF-16), converted to UTF-8, with an argv that
// points into them. The C runtime's own argv is in the 8-bit code page and loses every character
// that the code page lacks, in folder names too.
class WindowsArguments {
 public:
  WindowsArguments();

  int argc() const { return static_cast<int>(pointers_.size()) - 1; }
  const char* const* argv() const { return pointers_.data(); }

 private:
  std::vector<std::string> arguments_;
  std::vector<const char*> pointers_;  // ends with nullptr, like argv
};

}  // namespace zav5::app
