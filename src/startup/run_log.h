// The daily run log: a plain text file in which start-up records what it opens and checks and
// every processing cycle records its start. Apart from one message box, the program reports its
// failures only here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace zav5::startup {

class RunLog {
 public:
  explicit RunLog(platform::Env& env) : env_(env) {}

  // Closes the log if it is open; then appends to the file at `path` when an ordinary file is
  // there, otherwise creates it. A log that cannot be opened (its folder is missing, say) is
  // reported once on standard error and the program goes on without a log.
  void ApriLog(const std::string& path);

  // Writes `text` as a line. Does nothing while no log is open.
  void ScriviRiga(std::string_view text);

  // Writes dd/mm/yyyy-hh:mm:ss followed by `text`. Does nothing while no log is open.
  void ScriviRigaDatata(std::string_view text);

  // Closes the log; closing a log that is not open does nothing.
  void ChiudiLog();

  // True while the log is open. The label writer closes every open file of the program, the log
  // included, so this can turn false without ChiudiLog.
  bool IsOpen() const;

 private:
  platform::Env& env_;
  std::optional<platform::FileHandle> file_;
  std::string reported_failure_;  // path whose failure was last reported, to report it once
};

}  // namespace zav5::startup
