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
  // reported on standard error and the program goes on without a log.
  void ApriLog(const std::string& path);

  // Writes `text` as a line. Does nothing while no log is open. A line that cannot be written
  // (the disk is full, say) is reported on standard error and closes the log.
  void ScriviRiga(std::string_view text);

  // Writes dd/mm/yyyy-hh:mm:ss followed by `text`, as ScriviRiga does.
  void ScriviRigaDatata(std::string_view text);

  // Closes the log; closing a log that is not open does nothing.
  void ChiudiLog();

  // True while the log is open. The label writer closes every open file of the program, the log
  // included, so this can turn false without ChiudiLog.
  bool IsOpen() const;

 private:
  void Write(std::string_view line);
  // Reports a failure on standard error, once until a line is written again.
  void Report(const std::string& path, std::string_view what);

  platform::Env& env_;
  std::optional<platform::FileHandle> file_;
  std::string path_;              // of the open log
  std::string reported_failure_;  // path whose failure was last reported
};

// The run-log line for an error that ended some work: "ERRORE : " and the error's message, kept
// on one line whatever the message holds.
std::string ErrorLine(std::string_view message);

}  // namespace zav5::startup
