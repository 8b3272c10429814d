#include "platform/posix/posix_env.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <fmt/core.h>

#include "errors.h"
#include "platform/case_fold.h"
#include "platform/codepage.h"
#include "platform/file_numbers.h"
#include "platform/one_line.h"
#include "platform/posix/detached_process.h"
#include "platform/posix/error_text.h"
#include "platform/sync_file.h"
#include "platform/wildcard.h"

namespace zav5::platform {

namespace fs = std::filesystem;

namespace {

char DriveLetter(char letter) {
  if (!IsDriveLetter(letter)) {
    throw std::invalid_argument(fmt::format("'{}' non è la lettera di un'unità", letter));
  }
  return static_cast<char>(letter | 0x20);
}

std::string NotMappedMessage(std::string_view path, const WindowsPath& parsed) {
  if (parsed.IsUnc()) {
    return fmt::format(
        "impossibile raggiungere {}: su questo computer i percorsi di rete non sono collegati a "
        "cartelle: montare la condivisione in una cartella e indicarla per un'unità con "
        "--drive X=CARTELLA",
        path);
  }
  const char letter = static_cast<char>(parsed.drive & ~0x20);
  return fmt::format(
      "impossibile raggiungere {}: l'unità {}: non è collegata a una cartella: indicarla con "
      "--drive {}=CARTELLA",
      path, letter, letter);
}

// The name in `folder` that `name` stands for: `name` itself when it exists, else the first (in
// sorted order) that differs from it only in case.
std::optional<std::string> FindEntry(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(folder / name, error))) {
    return name;
  }
  std::optional<std::string> found;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string entry_name = entry->path().filename().string();
    if (EqualsIgnoringCase(entry_name, name) && (!found || entry_name < *found)) {
      found = std::move(entry_name);
    }
  }
  return found;
}

bool IsHidden(const fs::path& file) {
  return file.filename().string().starts_with('.');
}

bool IsOrdinaryFile(const fs::path& file) {
  std::error_code error;
  return !IsHidden(file) && fs::is_regular_file(fs::status(file, error));
}

void WriteAll(int descriptor, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw FileError(fmt::format("impossibile scrivere su {}: {}", path, ErrorText(errno)));
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// A file written through a descriptor of its own.
class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int descriptor, std::string path)
      : descriptor_(descriptor), path_(std::move(path)) {}
  ~PosixWritableFile() override {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
  }
  PosixWritableFile(const PosixWritableFile&) = delete;
  PosixWritableFile& operator=(const PosixWritableFile&) = delete;

  void Append(std::string_view bytes) override {
    RequireOpen("scrivere su");
    WriteAll(descriptor_, bytes, path_);
  }
  void Sync() override {
    RequireOpen("scrivere su disco");
    if (::fsync(descriptor_) != 0) {
      throw FileError(fmt::format("impossibile scrivere su disco {}: {}", path_, ErrorText(errno)));
    }
  }
  void Close() override {
    if (descriptor_ < 0) {
      return;
    }
    const int result = ::close(descriptor_);
    descriptor_ = -1;
    // A network file system may report a failed write only here.
    if (result != 0 && errno != EINTR) {
      throw FileError(fmt::format("impossibile chiudere {}: {}", path_, ErrorText(errno)));
    }
  }

 private:
  void RequireOpen(std::string_view doing) const {
    if (descriptor_ < 0) {
      throw FileError(fmt::format("impossibile {} {}: il file è chiuso", doing, path_));
    }
  }

  int descriptor_;
  std::string path_;
};

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int descriptor) : descriptor_(descriptor) {}
  ~PosixFileLock() override { ::close(descriptor_); }
  PosixFileLock(const PosixFileLock&) = delete;
  PosixFileLock& operator=(const PosixFileLock&) = delete;

 private:
  int descriptor_;
};

// Renames without replacing a file at `to`: 0, or -1 with errno (EEXIST when `to` exists).
int RenameNoReplace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return -1;
  }
  // A file system without that flag: a second link to the file is made only where no name is,
  // then the first one goes.
  if (::link(from, to) != 0) {
    return -1;
  }
  ::unlink(from);
  return 0;
}

}  // namespace

PosixEnv::PosixEnv(const DriveMap& drives, char current_drive, std::ostream& errors)
    : current_drive_(DriveLetter(current_drive)), errors_(errors) {
  for (const auto& [letter, folder] : drives) {
    drives_[DriveLetter(letter)] = folder;
  }
}

// Qualified: no derived class is left to dispatch to while this one is destroyed.
PosixEnv::~PosixEnv() {
  PosixEnv::CloseAll();
}

WindowsPath PosixEnv::Parse(std::string_view path) const {
  return ParseWindowsPath(path, current_drive_);
}

std::optional<fs::path> PosixEnv::HostPath(const WindowsPath& path) const {
  if (path.IsUnc()) {
    return std::nullopt;
  }
  const auto drive = drives_.find(path.drive);
  if (drive == drives_.end()) {
    return std::nullopt;
  }
  fs::path host = drive->second;
  bool exists = true;
  for (const std::string& element : path.elements) {
    std::optional<std::string> on_disk = exists ? FindEntry(host, element) : std::nullopt;
    exists = on_disk.has_value();
    host /= exists ? *on_disk : element;
  }
  return host;
}

std::vector<fs::path> PosixEnv::MatchingFiles(const WindowsPath& pattern) const {
  if (pattern.elements.empty()) {
    return {};
  }
  const std::string_view name = pattern.Name();
  if (!HasWildcard(name)) {
    const std::optional<fs::path> file = HostPath(pattern);
    if (file && IsOrdinaryFile(*file)) {
      return {*file};
    }
    return {};
  }
  const std::optional<fs::path> folder = HostPath(pattern.Parent());
  if (!folder) {
    return {};
  }
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator entry(*folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (MatchesWildcard(name, entry->path().filename().string()) && IsOrdinaryFile(entry->path())) {
      files.push_back(entry->path());
    }
  }
  return files;
}

std::optional<FileHandle> PosixEnv::OpenNumberOf(const fs::path& host_path) const {
  struct stat status {};
  if (::stat(host_path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  for (const auto& [number, file] : files_) {
    if (file.device == status.st_dev && file.inode == status.st_ino) {
      return number;
    }
  }
  return std::nullopt;
}

std::vector<std::string> PosixEnv::FindFiles(std::string_view pattern) {
  std::vector<std::string> names;
  for (const fs::path& file : MatchingFiles(Parse(pattern))) {
    names.push_back(file.filename().string());
  }
  return names;
}

void PosixEnv::DeleteFiles(std::string_view pattern) {
  const WindowsPath parsed = Parse(pattern);
  if (!HostPath(parsed)) {
    throw FileError(NotMappedMessage(pattern, parsed));
  }
  for (const fs::path& file : MatchingFiles(parsed)) {
    if (const std::optional<FileHandle> number = OpenNumberOf(file)) {
      throw FileError(fmt::format("impossibile cancellare {}: il file è aperto come file n. {}",
                                  file.string(), *number));
    }
    // A file that vanished since it was listed needs no deleting.
    std::error_code error;
    fs::remove(file, error);
    if (error) {
      throw FileError(
          fmt::format("impossibile cancellare {}: {}", file.string(), ErrorText(error)));
    }
  }
}

FileHandle PosixEnv::OpenTextFile(std::string_view path, OpenMode mode) {
  const std::string host = NativePath(path);
  struct stat status {};
  if (::stat(host.c_str(), &status) == 0) {
    if (!S_ISREG(status.st_mode)) {
      throw FileError(
          fmt::format("impossibile aprire {} ({}): non è un file ordinario", path, host));
    }
    if (const std::optional<FileHandle> number = OpenNumberOf(host)) {
      throw FileError(fmt::format("impossibile aprire {}: il file è già aperto come file n. {}",
                                  path, *number));
    }
  }
  const FileHandle number = numbers_.Next();
  // O_NONBLOCK: should a FIFO take the file's place after the check above, open() must not wait
  // for a reader. It changes nothing for a regular file.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK |
                    (mode == OpenMode::kOutput ? O_TRUNC : O_APPEND);
  const int descriptor = ::open(host.c_str(), flags, 0666);
  if (descriptor < 0) {
    const std::string reason = ErrorText(errno);
    if (mode == OpenMode::kOutput) {
      throw FileError(fmt::format("impossibile creare {} ({}): {}", path, host, reason));
    }
    throw FileError(
        fmt::format("impossibile aprire {} ({}) per aggiungervi righe: {}", path, host, reason));
  }
  if (::fstat(descriptor, &status) != 0) {
    const int error = errno;
    ::close(descriptor);
    throw FileError(fmt::format("impossibile aprire {} ({}): {}", path, host, ErrorText(error)));
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(descriptor);
    throw FileError(fmt::format("impossibile aprire {} ({}): non è un file ordinario", path, host));
  }
  files_.emplace(number, OpenFile{descriptor, std::string(path), status.st_dev, status.st_ino});
  return number;
}

void PosixEnv::WriteLine(FileHandle file, std::string_view line) {
  const auto open = files_.find(file);
  if (open == files_.end()) {
    throw FileError(fmt::format("impossibile scrivere sul file n. {}: il file non è aperto", file));
  }
  std::string bytes = Utf8ToWindows1252(line);
  bytes += "\r\n";
  WriteAll(open->second.descriptor, bytes, open->second.path);
}

bool PosixEnv::IsOpen(FileHandle file) const {
  return files_.contains(file);
}

void PosixEnv::Close(FileHandle file) {
  const auto open = files_.find(file);
  if (open == files_.end()) {
    return;
  }
  // Every line went to the operating system when it was written; close() has nothing left to
  // report that the program could act on.
  ::close(open->second.descriptor);
  files_.erase(open);
}

void PosixEnv::CloseAll() {
  for (const auto& [number, open] : files_) {
    ::close(open.descriptor);
  }
  files_.clear();
}

std::string PosixEnv::NativePath(std::string_view path) {
  const WindowsPath parsed = Parse(path);
  const std::optional<fs::path> host = HostPath(parsed);
  if (!host) {
    throw FileError(NotMappedMessage(path, parsed));
  }
  return host->string();
}

void PosixEnv::CreateFolder(std::string_view folder) {
  const std::string host = NativePath(folder);
  std::error_code error;
  fs::create_directories(host, error);
  if (error || !fs::is_directory(host, error)) {
    throw FileError(fmt::format("impossibile creare la cartella {} ({}): {}", folder, host,
                                error ? ErrorText(error) : "al suo posto c'è un file"));
  }
}

TemporaryFile PosixEnv::NewTemporaryFile(std::string_view folder) {
  const WindowsPath parent = Parse(folder);
  const std::string host_folder = NativePath(folder);
  for (;;) {
    const std::string name = fmt::format("~zav5-{}-{}.tmp", ::getpid(), ++temporary_files_);
    const fs::path host = fs::path(host_folder) / name;
    const int descriptor = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const std::string path = parent.Child(name).ToString();
    if (descriptor >= 0) {
      return {path, std::make_unique<PosixWritableFile>(descriptor, path)};
    }
    if (errno != EEXIST) {
      throw FileError(
          fmt::format("impossibile creare {} ({}): {}", path, host.string(), ErrorText(errno)));
    }
  }
}

RenameOutcome PosixEnv::RenameFile(std::string_view from, std::string_view to, bool replace) {
  const std::string host_from = NativePath(from);
  const std::string host_to = NativePath(to);
  const int result = replace ? ::rename(host_from.c_str(), host_to.c_str())
                             : RenameNoReplace(host_from.c_str(), host_to.c_str());
  if (result != 0) {
    if (errno == EEXIST) {
      return RenameOutcome::kTargetExists;
    }
    if (errno == EXDEV) {
      return RenameOutcome::kOtherVolume;
    }
    throw FileError(fmt::format("impossibile rinominare {} in {}: {}", from, to, ErrorText(errno)));
  }
  const fs::path folder_to = fs::path(host_to).parent_path();
  const fs::path folder_from = fs::path(host_from).parent_path();
  std::error_code error = SyncFolder(folder_to);
  if (!error && folder_from != folder_to) {
    error = SyncFolder(folder_from);
  }
  if (error) {
    throw FileError(
        fmt::format("impossibile scrivere su disco la cartella di {}: {}", to, ErrorText(error)));
  }
  return RenameOutcome::kRenamed;
}

std::optional<std::string> PosixEnv::ReadFile(std::string_view path) {
  const std::vector<fs::path> found = MatchingFiles(Parse(path));
  if (found.empty() || HasWildcard(Parse(path).Name())) {
    return std::nullopt;
  }
  std::ifstream in(found.front(), std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) {
    throw FileError(fmt::format("impossibile leggere {} ({})", path, found.front().string()));
  }
  return bytes;
}

std::unique_ptr<FileLock> PosixEnv::LockFile(std::string_view path) {
  const std::string host = NativePath(path);
  const int descriptor = ::open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    throw FileError(fmt::format("impossibile creare il file di blocco {} ({}): {}", path, host,
                                ErrorText(errno)));
  }
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(descriptor);
    if (error == EWOULDBLOCK) {
      return nullptr;
    }
    throw FileError(
        fmt::format("impossibile bloccare il file {} ({}): {}", path, host, ErrorText(error)));
  }
  // The number of the process that holds the lock, for whoever finds it taken; a failure here
  // leaves the lock held all the same.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(descriptor, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(descriptor, pid.data(), pid.size(), 0);
  }
  return std::make_unique<PosixFileLock>(descriptor);
}

bool PosixEnv::LockHeld(std::string_view path) {
  const std::string host = NativePath(path);
  const int descriptor = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    if (errno == ENOENT) {
      return false;
    }
    throw FileError(fmt::format("impossibile aprire il file di blocco {} ({}): {}", path, host,
                                ErrorText(errno)));
  }
  // A shared lock, let go at once: refused while a holder has its exclusive one.
  const bool held = ::flock(descriptor, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(descriptor);
  return held;
}

LocalTime PosixEnv::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr) {
    throw Error("impossibile leggere l'orologio del sistema");
  }
  using namespace std::chrono;
  const year_month_day date{year{local.tm_year + 1900},
                            month{static_cast<unsigned>(local.tm_mon + 1)},
                            day{static_cast<unsigned>(local.tm_mday)}};
  // A leap second (tm_sec 60) stays in its minute.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return local_days{date} + hours{local.tm_hour} + minutes{local.tm_min} + seconds{second};
}

void PosixEnv::StartScript(std::string_view path) {
  if (FindFiles(path).empty()) {
    throw FileError(fmt::format("impossibile avviare {}: file non trovato", path));
  }
  if (launcher_.empty()) {
    throw FileError(fmt::format(
        "impossibile avviare {}: nessun programma è indicato per eseguire gli script", path));
  }
  std::vector<std::string> command = launcher_;
  command.emplace_back(path);
  StartDetachedProcess(command);
}

void PosixEnv::MessageBox(std::string_view text, std::string_view caption) {
  if (caption.empty()) {
    errors_ << OneLine(text) << std::endl;
  } else {
    errors_ << OneLine(caption) << ": " << OneLine(text) << std::endl;
  }
}

void PosixEnv::Warn(std::string_view text) {
  errors_ << OneLine(text) << std::endl;
}

}  // namespace zav5::platform
