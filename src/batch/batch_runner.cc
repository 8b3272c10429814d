#include "batch/batch_runner.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/core.h>

#include "errors.h"
#include "platform/codepage.h"
#include "platform/new_file.h"
#include "platform/process_id.h"
#include "platform/sync_file.h"
#include "platform/utf8.h"
#include "platform/wildcard.h"

namespace zav5::batch {

namespace fs = std::filesystem;

namespace {

// "X:" alone: a drive, which stands for that drive's current folder.
bool IsDriveOnly(std::string_view text) {
  return text.size() == 2 && platform::IsDriveLetter(text[0]) && text[1] == ':';
}

// The names that stand for every file of a folder.
bool IsWholeFolder(std::string_view name) {
  return name == "*" || name == "*.*";
}

bool HasWildcardAboveName(const platform::WindowsPath& path) {
  for (std::size_t i = 0; i + 1 < path.elements.size(); ++i) {
    if (platform::HasWildcard(path.elements[i])) {
      return true;
    }
  }
  return false;
}

// The reason in the operator's language for the failures a copy meets in practice; any other keeps
// the system's words.
std::string ReasonOf(const std::error_code& error) {
  if (error == std::errc::no_space_on_device) {
    return "spazio esaurito sul disco";
  }
  if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) {
    return "permesso negato";
  }
  if (error == std::errc::no_such_file_or_directory) {
    return "file o cartella inesistente";
  }
  if (error == std::errc::is_a_directory) {
    return "al suo posto c'è una cartella";
  }
  if (error == std::errc::read_only_file_system) {
    return "il disco è in sola lettura";
  }
  if (error == std::errc::io_error) {
    return "errore di lettura o scrittura sul disco";
  }
  if (error == std::errc::device_or_resource_busy || error == std::errc::text_file_busy) {
    return "il file è in uso";
  }
  return error.message();
}

// One file of a copy: host paths for the work, Windows paths for the messages.
struct FileCopy {
  fs::path from;
  fs::path to;
  std::string from_name;
  std::string to_name;
};

// How many names a copy tries for its temporary file before it gives up.
constexpr int kTemporaryNames = 100;

// Creates the hidden file in the target's folder that `copy` writes before renaming it into place,
// and returns its path. The name holds the process id, so that two runners copying the same file
// at once (two scripts started close together) never write into one file; it is created
// exclusively, and another number follows when the name is taken (a second copy in this process,
// a file left by a runner that was killed). It must not match the patterns of the transfer scripts
// or of the label system ("*.txt", "import*.*"): hence the leading ".~" and the ending ".tmp".
// Throws FileError.
fs::path NewTemporaryFile(const FileCopy& copy) {
  const fs::path folder = copy.to.parent_path();
  const std::string name = platform::PathToUtf8(copy.to.filename());
  const std::uint32_t process = platform::ProcessId();
  for (int attempt = 1; attempt <= kTemporaryNames; ++attempt) {
    const std::string number =
        attempt == 1 ? fmt::format("{}", process) : fmt::format("{}-{}", process, attempt);
    fs::path temporary = folder / platform::Utf8ToPath(fmt::format(".~{}.{}.tmp", name, number));
    const std::error_code error = platform::CreateNewFile(temporary);
    if (!error) {
      return temporary;
    }
    if (error != std::errc::file_exists) {
      throw FileError(fmt::format("impossibile copiare {} su {}: {}", copy.from_name, copy.to_name,
                                  ReasonOf(error)));
    }
  }
  throw FileError(
      fmt::format("impossibile copiare {} su {}: i {} nomi per il file temporaneo (.~{}.{}*.tmp) "
                  "sono già presi",
                  copy.from_name, copy.to_name, kTemporaryNames, name, process));
}

// Fills `to`, an existing file, with the bytes of `from`. (The standard library's copy_file of
// MinGW refuses to overwrite a file, however it is asked.)
std::error_code CopyBytes(const fs::path& from, const fs::path& to) {
  const auto failure = [] {
    return errno != 0 ? std::error_code(errno, std::generic_category())
                      : std::make_error_code(std::errc::io_error);
  };
  errno = 0;
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    return failure();
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) {
    return failure();
  }
  // An empty source gives no characters to insert, which the stream reports as a failure.
  if (in.peek() != std::ifstream::traits_type::eof() && !(out << in.rdbuf())) {
    return failure();
  }
  out.close();
  if (!out || in.bad()) {
    return failure();
  }
  return {};
}

// Copies a file onto its target, replacing it. The bytes go to a hidden file in the target's folder
// first, which is then renamed into place: the label system polls that folder and must never read
// half a file under the final name. When two copies of one file race, the last rename wins; both
// wrote the same bytes. Throws FileError.
void CopyReplacing(const FileCopy& copy) {
  const fs::path temporary = NewTemporaryFile(copy);
  // The file is this copy's alone: it is filled in place.
  std::error_code error = CopyBytes(copy.from, temporary);
  if (!error) {
    // cmd's copy keeps the date of the source. Without it the copy is still whole, so a failure
    // here is not one of the copy.
    std::error_code ignored;
    const fs::file_time_type written = fs::last_write_time(copy.from, ignored);
    if (!ignored) {
      fs::last_write_time(temporary, written, ignored);
    }
    // The original is deleted by the next line of the script: the copy must be on the disk first.
    error = platform::SyncFile(temporary);
  }
  if (!error) {
    fs::rename(temporary, copy.to, error);
  }
  if (!error) {
    error = platform::SyncFolder(copy.to.parent_path());
  }
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw FileError(fmt::format("impossibile copiare {} su {}: {}", copy.from_name, copy.to_name,
                                ReasonOf(error)));
  }
}

// True when `command` sets the error level from how it went. As in cmd, the commands that cannot
// fail (empty lines, rem, cls, echo) leave it as it was.
bool SetsErrorLevel(BatchCommand command) {
  switch (command) {
    case BatchCommand::kChangeFolder:
    case BatchCommand::kChangeDrive:
    case BatchCommand::kCopy:
    case BatchCommand::kDelete:
      return true;
    case BatchCommand::kNothing:
    case BatchCommand::kEcho:
    case BatchCommand::kIfErrorLevel:
    case BatchCommand::kUnsupported:
      return false;
  }
  return false;
}

}  // namespace

BatchRunner::BatchRunner(platform::Env& env, std::ostream& output, std::ostream& errors)
    : env_(env), output_(output), errors_(errors) {}

bool BatchRunner::Run(std::string_view script) {
  script_ = script;
  line_number_ = 0;
  line_.clear();
  current_drive_ = platform::LowerDriveLetter(env_.CurrentDrive());
  folders_.clear();
  error_level_ = 0;

  std::string text;
  try {
    text = ReadScript();
  } catch (const Error& error) {
    errors_ << error.what() << std::endl;
    return false;
  }

  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    ++line_number_;
    line_ = TrimBatchLine(line);
    const std::vector<BatchLine> commands = ParseBatchLine(line);
    for (std::size_t i = 0; i < commands.size(); ++i) {
      const BatchLine& command = commands[i];
      if (command.command == BatchCommand::kIfErrorLevel) {
        // What follows on the line is the command of the "if".
        if ((error_level_ >= command.level) == command.negated) {
          break;
        }
        continue;
      }
      bool succeeded = false;
      try {
        succeeded = Execute(command);
      } catch (const Error& error) {
        Report(error.what());
        if (i + 1 == commands.size()) {
          return false;
        }
        // "&&" follows: the script handles the failure, by skipping the rest of the line.
      }
      if (SetsErrorLevel(command.command)) {
        error_level_ = succeeded ? 0 : 1;
      }
      if (!succeeded) {
        break;
      }
    }
  }
  return true;
}

std::string BatchRunner::ReadScript() const {
  const std::string native = env_.NativePath(script_);
  std::error_code error;
  if (!fs::is_regular_file(platform::Utf8ToPath(native), error)) {
    throw FileError(
        fmt::format("impossibile leggere lo script {} ({}): il file non esiste", script_, native));
  }
  std::ifstream in(platform::Utf8ToPath(native), std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) {
    throw FileError(fmt::format("impossibile leggere lo script {} ({}): lettura non riuscita",
                                script_, native));
  }
  // Notepad saves UTF-8 with this mark in front.
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (std::string_view(bytes).starts_with(kUtf8Mark)) {
    return platform::Utf8OrWindows1252ToUtf8(std::string_view(bytes).substr(kUtf8Mark.size()));
  }
  return platform::Windows1252ToUtf8(bytes);
}

bool BatchRunner::Execute(const BatchLine& line) {
  switch (line.command) {
    case BatchCommand::kNothing:
      return true;
    case BatchCommand::kEcho:
      output_ << line.text << std::endl;
      return true;
    case BatchCommand::kChangeFolder:
      ChangeFolder(line);
      return true;
    case BatchCommand::kChangeDrive:
      ChangeDrive(line);
      return true;
    case BatchCommand::kCopy:
      return Copy(line);
    case BatchCommand::kDelete:
      Delete(line);
      return true;
    case BatchCommand::kIfErrorLevel:
      // Run() weighs a condition and runs its command itself: one alone has none.
      throw Error("manca il comando dopo la condizione di if");
    case BatchCommand::kUnsupported:
      throw Error(line.text);
  }
  return true;
}

void BatchRunner::ChangeFolder(const BatchLine& line) {
  const bool switch_drive = !line.switches.empty();
  if (line.text.empty()) {
    output_ << FolderOf(current_drive_).ToString() << std::endl;
    return;
  }
  // "cd X:" shows X's current folder; "cd /d X:" moves to X, where its current folder is.
  if (IsDriveOnly(line.text)) {
    const platform::WindowsPath folder = FolderOf(platform::LowerDriveLetter(line.text[0]));
    ExistingFolder(folder);
    if (switch_drive) {
      current_drive_ = folder.drive;
    } else {
      output_ << folder.ToString() << std::endl;
    }
    return;
  }
  const platform::WindowsPath folder = Resolve(line.text);
  if (HasWildcardAboveName(folder) || platform::HasWildcard(folder.Name())) {
    throw Error("i caratteri jolly in cd non sono gestiti");
  }
  ExistingFolder(folder);
  // As in cmd, each drive keeps its own current folder; only /d moves to another drive.
  folders_[folder.drive] = folder;
  if (switch_drive) {
    current_drive_ = folder.drive;
  }
}

void BatchRunner::ChangeDrive(const BatchLine& line) {
  const platform::WindowsPath folder = FolderOf(platform::LowerDriveLetter(line.text[0]));
  ExistingFolder(folder);
  current_drive_ = folder.drive;
}

bool BatchRunner::Copy(const BatchLine& line) {
  if (line.paths.empty()) {
    throw Error("manca il file da copiare");
  }
  if (line.paths.size() > 2) {
    throw Error("troppi argomenti: copy prende un'origine e una destinazione");
  }
  const platform::WindowsPath source = FilePattern(line.paths[0]);
  const platform::WindowsPath source_folder = source.Parent();
  const fs::path source_native = ExistingFolder(source_folder);

  // The target is a folder, where each file keeps its name, or a file name for a single file.
  platform::WindowsPath target_folder = FolderOf(current_drive_);
  std::optional<std::string> target_name;
  if (line.paths.size() == 2) {
    const std::string& text = line.paths[1];
    const platform::WindowsPath target = Resolve(text);
    const bool is_folder = text.ends_with('\\') || IsDriveOnly(text) || target.elements.empty() ||
                           (!platform::HasWildcard(target.Name()) && IsFolder(target));
    if (is_folder) {
      target_folder = target;
    } else if (IsWholeFolder(target.Name())) {
      target_folder = target.Parent();
    } else if (platform::HasWildcard(target.Name())) {
      throw Error(fmt::format(
          "una destinazione con caratteri jolly che cambia i nomi ({}) non è gestita", text));
    } else {
      target_folder = target.Parent();
      target_name = target.Name();
    }
    if (HasWildcardAboveName(target_folder) || platform::HasWildcard(target_folder.Name())) {
      throw Error("i caratteri jolly in una cartella non sono gestiti");
    }
  }

  const std::string pattern = source.ToString();
  const std::vector<std::string> names = env_.FindFiles(pattern);
  if (names.empty()) {
    Report(fmt::format("file non trovato: {}", pattern));
    return false;
  }
  ExistingFolder(target_folder);
  if (target_name && names.size() > 1) {
    throw Error(fmt::format("copiare {} file in un file solo li unirebbe in uno: non è gestito",
                            names.size()));
  }

  // Every file is checked before the first is copied: a copy that one of its files makes
  // impossible starts none.
  std::vector<FileCopy> copies;
  for (const std::string& name : names) {
    FileCopy copy;
    copy.from = source_native / platform::Utf8ToPath(name);
    copy.from_name = source_folder.Child(name).ToString();
    const platform::WindowsPath to = target_folder.Child(target_name.value_or(name));
    copy.to_name = to.ToString();
    // Through Env, so that a file already there under another letter case is replaced, not joined
    // by a second one that Windows would take for the same.
    copy.to = platform::Utf8ToPath(env_.NativePath(copy.to_name));
    std::error_code error;
    if (fs::equivalent(copy.from, copy.to, error)) {
      throw FileError(fmt::format("impossibile copiare {} su se stesso", copy.from_name));
    }
    copies.push_back(std::move(copy));
  }
  std::size_t copied = 0;
  for (const FileCopy& copy : copies) {
    try {
      CopyReplacing(copy);
    } catch (const FileError& error) {
      if (copied == 0) {
        throw;
      }
      throw FileError(
          fmt::format("{} (copiati {} file su {})", error.what(), copied, copies.size()));
    }
    ++copied;
  }
  return true;
}

void BatchRunner::Delete(const BatchLine& line) {
  if (line.paths.empty()) {
    throw Error("manca il file da cancellare");
  }
  const bool quiet = line.switches.find('Q') != std::string::npos;
  std::vector<platform::WindowsPath> patterns;
  for (const std::string& text : line.paths) {
    platform::WindowsPath pattern = FilePattern(text);
    if (IsWholeFolder(pattern.Name()) && !quiet) {
      throw Error(
          "cancellare tutti i file di una cartella senza /Q chiede conferma: non è gestito");
    }
    ExistingFolder(pattern.Parent());
    patterns.push_back(std::move(pattern));
  }
  for (const platform::WindowsPath& pattern : patterns) {
    const std::string text = pattern.ToString();
    if (env_.FindFiles(text).empty()) {
      Report(fmt::format("file non trovato: {}", text));
    } else {
      env_.DeleteFiles(text);
    }
  }
}

platform::WindowsPath BatchRunner::FolderOf(char drive) const {
  const auto folder = folders_.find(drive);
  if (folder != folders_.end()) {
    return folder->second;
  }
  platform::WindowsPath root;
  root.drive = drive;
  return root;
}

platform::WindowsPath BatchRunner::Resolve(std::string_view text) const {
  // Windows would take "/" for "\" in a path, but cmd reads it as the start of a switch; which of
  // the two a script meant is not for this runner to decide.
  if (text.find('/') != std::string_view::npos) {
    throw Error(fmt::format("{}: la barra / nei percorsi non è gestita (usare \\)", text));
  }
  if (text.starts_with("\\\\")) {
    throw Error(fmt::format("{}: i percorsi di rete non sono gestiti", text));
  }
  char drive = current_drive_;
  if (text.size() >= 2 && platform::IsDriveLetter(text[0]) && text[1] == ':') {
    drive = platform::LowerDriveLetter(text[0]);
    text.remove_prefix(2);
  }
  platform::WindowsPath path = FolderOf(drive);
  if (text.starts_with('\\')) {
    path.elements.clear();
  }
  while (!text.empty()) {
    const std::size_t end = text.find('\\');
    const std::string_view name = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (name.empty() || name == ".") {
      continue;
    }
    if (name == "..") {
      // At the root ".." stays there, as in cmd.
      if (!path.elements.empty()) {
        path.elements.pop_back();
      }
      continue;
    }
    path.elements.emplace_back(name);
  }
  return path;
}

platform::WindowsPath BatchRunner::FilePattern(std::string_view text) const {
  platform::WindowsPath path = Resolve(text);
  if (HasWildcardAboveName(path)) {
    throw Error(fmt::format("{}: i caratteri jolly in una cartella non sono gestiti", text));
  }
  if (path.elements.empty() || (!platform::HasWildcard(path.Name()) && IsFolder(path))) {
    throw Error(fmt::format(
        "{} è una cartella: per i suoi file si indica un nome o un modello come {}\\*.txt",
        path.ToString(), path.ToString()));
  }
  return path;
}

fs::path BatchRunner::ExistingFolder(const platform::WindowsPath& folder) const {
  const std::string name = folder.ToString();
  fs::path native = platform::Utf8ToPath(env_.NativePath(name));
  std::error_code error;
  if (fs::is_directory(native, error)) {
    return native;
  }
  if (fs::exists(native, error)) {
    throw FileError(fmt::format("{} non è una cartella ({})", name, platform::PathToUtf8(native)));
  }
  throw FileError(
      fmt::format("la cartella {} non esiste ({})", name, platform::PathToUtf8(native)));
}

bool BatchRunner::IsFolder(const platform::WindowsPath& path) const {
  std::string native;
  try {
    native = env_.NativePath(path.ToString());
  } catch (const FileError&) {
    return false;
  }
  std::error_code error;
  return fs::is_directory(platform::Utf8ToPath(native), error);
}

void BatchRunner::Report(std::string_view why) {
  errors_ << fmt::format("{}, riga {}: {}: {}", script_, line_number_, line_, why) << std::endl;
}

}  // namespace zav5::batch
