#include "startup/run_log.h"

#include "errors.h"
#include "startup/log_format.h"

namespace zav5::startup {

void RunLog::ApriLog(const std::string& path) {
  ChiudiLog();
  // An existing ordinary file is never truncated; anything else (nothing there, a folder) gets a
  // new file, which fails where a folder stands in the way.
  const auto mode =
      platform::FileExists(env_, path) ? platform::OpenMode::kAppend : platform::OpenMode::kOutput;
  try {
    file_ = env_.OpenTextFile(path, mode);
    reported_failure_.clear();
  } catch (const FileError& error) {
    if (reported_failure_ != path) {
      env_.Warn("ZAV5: il registro " + path + " non si apre (" + error.what() +
                "); il programma continua senza registro");
      reported_failure_ = path;
    }
  }
}

void RunLog::ScriviRiga(std::string_view text) {
  if (IsOpen()) {
    env_.WriteLine(*file_, text);
  }
}

void RunLog::ScriviRigaDatata(std::string_view text) {
  if (IsOpen()) {
    const platform::LocalTime date_taken = env_.Now();
    const platform::LocalTime time_taken = env_.Now();
    env_.WriteLine(*file_, DatedLine(date_taken, time_taken, text));
  }
}

void RunLog::ChiudiLog() {
  if (file_) {
    env_.Close(*file_);
    file_.reset();
  }
}

bool RunLog::IsOpen() const {
  return file_ && env_.IsOpen(*file_);
}

}  // namespace zav5::startup
