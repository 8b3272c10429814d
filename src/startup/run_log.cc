#include "startup/run_log.h"

#include <algorithm>

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
    path_ = path;
  } catch (const FileError& error) {
    Report(path, std::string("non si apre (") + error.what() + ")");
  }
}

void RunLog::ScriviRiga(std::string_view text) {
  if (IsOpen()) {
    Write(text);
  }
}

void RunLog::ScriviRigaDatata(std::string_view text) {
  if (IsOpen()) {
    const platform::LocalTime date_taken = env_.Now();
    const platform::LocalTime time_taken = env_.Now();
    Write(DatedLine(date_taken, time_taken, text));
  }
}

void RunLog::Write(std::string_view line) {
  // A NUL (a driver's message may hold one) would end the line for whoever reads it as C text.
  std::string written;
  if (line.find('\0') != std::string_view::npos) {
    written.assign(line);
    std::replace(written.begin(), written.end(), '\0', '?');
    line = written;
  }
  try {
    env_.WriteLine(*file_, line);
    reported_failure_.clear();
  } catch (const FileError& error) {
    // A full disk must not stop an unattended job: the log closes and the next opening tries
    // again.
    ChiudiLog();
    Report(path_, std::string("non si scrive (") + error.what() + ")");
  }
}

void RunLog::Report(const std::string& path, std::string_view what) {
  if (reported_failure_ != path) {
    env_.Warn("ZAV5: il registro " + path + " " + std::string(what) +
              "; il programma continua senza registro");
    reported_failure_ = path;
  }
}

void RunLog::ChiudiLog() {
  if (file_) {
    env_.Close(*file_);
    file_.reset();
  }
}

std::string ErrorLine(std::string_view message) {
  std::string line = "ERRORE : ";
  for (const char c : message) {
    line += (c == '\r' || c == '\n') ? ' ' : c == '\0' ? '?' : c;
  }
  return line;
}

bool RunLog::IsOpen() const {
  return file_ && env_.IsOpen(*file_);
}

}  // namespace zav5::startup
