#include "platform/windows/windows_env.h"

#include <windows.h>
// windows.h names MessageBoxW MessageBox; the Env's own MessageBox is meant below.
#undef MessageBox

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <fmt/core.h>

#include "errors.h"
#include "platform/codepage.h"
#include "platform/one_line.h"
#include "platform/wildcard.h"
#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace zav5::platform {

namespace {

char DriveLetter(char letter) {
  if (!IsDriveLetter(letter)) {
    throw std::invalid_argument(fmt::format("'{}' non è la lettera di un'unità", letter));
  }
  return static_cast<char>(letter | 0x20);
}

std::string LastErrorText() {
  return WindowsErrorText(::GetLastError());
}

bool IsOrdinary(DWORD attributes) {
  constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  return (attributes & kNotOrdinary) == 0;
}

std::string JoinPath(std::string root, const std::vector<std::string>& elements) {
  for (const std::string& element : elements) {
    if (!root.empty() && root.back() != '\\' && root.back() != '/') {
      root += '\\';
    }
    root += element;
  }
  return root;
}

struct Identity {
  std::uint32_t volume;
  std::uint64_t index;
};

std::optional<Identity> IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file, &information)) {
    return std::nullopt;
  }
  return Identity{
      information.dwVolumeSerialNumber,
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

void WriteAll(HANDLE file, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
      throw FileError(fmt::format("impossibile scrivere su {}: {}", path, LastErrorText()));
    }
    bytes.remove_prefix(written);
  }
}

// A file written through a handle of its own.
class WindowsWritableFile : public WritableFile {
 public:
  WindowsWritableFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~WindowsWritableFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(handle_);
    }
  }
  WindowsWritableFile(const WindowsWritableFile&) = delete;
  WindowsWritableFile& operator=(const WindowsWritableFile&) = delete;

  void Append(std::string_view bytes) override {
    RequireOpen("scrivere su");
    WriteAll(handle_, bytes, path_);
  }
  void Sync() override {
    RequireOpen("scrivere su disco");
    if (!::FlushFileBuffers(handle_)) {
      throw FileError(fmt::format("impossibile scrivere su disco {}: {}", path_, LastErrorText()));
    }
  }
  void Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) {
      return;
    }
    const BOOL closed = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!closed) {
      throw FileError(fmt::format("impossibile chiudere {}: {}", path_, LastErrorText()));
    }
  }

 private:
  void RequireOpen(std::string_view doing) const {
    if (handle_ == INVALID_HANDLE_VALUE) {
      throw FileError(fmt::format("impossibile {} {}: il file è chiuso", doing, path_));
    }
  }

  HANDLE handle_;
  std::string path_;
};

class WindowsFileLock : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE handle) : handle_(handle) {}
  ~WindowsFileLock() override { ::CloseHandle(handle_); }
  WindowsFileLock(const WindowsFileLock&) = delete;
  WindowsFileLock& operator=(const WindowsFileLock&) = delete;

 private:
  HANDLE handle_;
};

// The command interpreter: %ComSpec% as Windows sets it, else cmd.exe of the system folder.
std::wstring CommandInterpreter() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"ComSpec", buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    return std::wstring(buffer, length);
  }
  const UINT system = ::GetSystemDirectoryW(buffer, MAX_PATH);
  if (system > 0 && system < MAX_PATH) {
    return std::wstring(buffer, system) + L"\\cmd.exe";
  }
  return L"cmd.exe";
}

}  // namespace

WindowsEnv::WindowsEnv(const DriveMap& drives, char current_drive, std::ostream& errors)
    : current_drive_(DriveLetter(current_drive)), errors_(errors) {
  for (const auto& [letter, folder] : drives) {
    drives_[DriveLetter(letter)] = folder;
  }
}

// Qualified: no derived class is left to dispatch to while this one is destroyed.
WindowsEnv::~WindowsEnv() {
  WindowsEnv::CloseAll();
}

WindowsPath WindowsEnv::Parse(std::string_view path) const {
  return ParseWindowsPath(path, current_drive_);
}

std::string WindowsEnv::Resolve(const WindowsPath& path) const {
  std::string root;
  if (path.IsUnc()) {
    root = "\\\\" + path.server + "\\" + path.share;
  } else if (const auto mapped = drives_.find(path.drive); mapped != drives_.end()) {
    root = WideToUtf8(mapped->second.wstring());
  } else {
    root = {static_cast<char>(path.drive & ~0x20), ':', '\\'};
  }
  return JoinPath(std::move(root), path.elements);
}

std::string WindowsEnv::Spelling(const WindowsPath& path) const {
  // The elements that exist take their spelling on the disk, so that every spelling of a file
  // gives one path: the database layer keeps one connection per path, and two connections to one
  // file would lock each other out of one offer's transaction.
  WindowsPath on_disk = path;
  on_disk.elements.clear();
  bool exists = true;
  for (const std::string& element : path.elements) {
    std::string name = element;
    if (exists && !HasWildcard(element)) {
      WIN32_FIND_DATAW found{};
      HANDLE search =
          ::FindFirstFileExW(Utf8ToWide(Resolve(on_disk.Child(element))).c_str(), FindExInfoBasic,
                             &found, FindExSearchNameMatch, nullptr, 0);
      exists = search != INVALID_HANDLE_VALUE;
      if (exists) {
        name = WideToUtf8(found.cFileName);
        ::FindClose(search);
      }
    }
    on_disk.elements.push_back(std::move(name));
  }
  return Resolve(on_disk);
}

std::vector<WindowsEnv::Match> WindowsEnv::MatchingFiles(const WindowsPath& pattern) const {
  if (pattern.elements.empty()) {
    return {};
  }
  const std::string_view name = pattern.Name();
  const bool wildcard = HasWildcard(name);
  const std::string native = Resolve(pattern);
  const std::string folder = Resolve(pattern.Parent());
  std::vector<Match> matches;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileExW(Utf8ToWide(native).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    return matches;
  }
  do {
    if (!IsOrdinary(found.dwFileAttributes)) {
      continue;
    }
    std::string file_name = WideToUtf8(found.cFileName);
    // Windows also matches a pattern against the short 8.3 names, so that "*.txt" finds
    // "prices.txtold" through PRICES~1.TXT. The program means the names it sees.
    if (wildcard && !MatchesWildcard(name, file_name)) {
      continue;
    }
    matches.push_back({JoinPath(folder, {file_name}), std::move(file_name)});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return matches;
}

std::optional<FileHandle> WindowsEnv::OpenNumberOf(const std::string& native) const {
  if (files_.empty()) {
    return std::nullopt;
  }
  HANDLE file = ::CreateFileW(Utf8ToWide(native).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  const std::optional<Identity> identity = IdentityOf(file);
  ::CloseHandle(file);
  if (!identity) {
    return std::nullopt;
  }
  for (const auto& [number, open] : files_) {
    if (open.volume == identity->volume && open.index == identity->index) {
      return number;
    }
  }
  return std::nullopt;
}

std::vector<std::string> WindowsEnv::FindFiles(std::string_view pattern) {
  std::vector<std::string> names;
  for (Match& match : MatchingFiles(Parse(pattern))) {
    names.push_back(std::move(match.name));
  }
  return names;
}

void WindowsEnv::DeleteFiles(std::string_view pattern) {
  for (const Match& match : MatchingFiles(Parse(pattern))) {
    if (const std::optional<FileHandle> number = OpenNumberOf(match.native)) {
      throw FileError(fmt::format("impossibile cancellare {}: il file è aperto come file n. {}",
                                  match.native, *number));
    }
    if (!::DeleteFileW(Utf8ToWide(match.native).c_str())) {
      const DWORD error = ::GetLastError();
      // A file that vanished since it was listed needs no deleting.
      if (error != ERROR_FILE_NOT_FOUND) {
        throw FileError(
            fmt::format("impossibile cancellare {}: {}", match.native, WindowsErrorText(error)));
      }
    }
  }
}

FileHandle WindowsEnv::OpenTextFile(std::string_view path, OpenMode mode) {
  const std::string native = NativePath(path);
  const std::wstring wide = Utf8ToWide(native);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    throw FileError(
        fmt::format("impossibile aprire {} ({}): non è un file ordinario", path, native));
  }
  if (const std::optional<FileHandle> number = OpenNumberOf(native)) {
    throw FileError(
        fmt::format("impossibile aprire {}: il file è già aperto come file n. {}", path, *number));
  }
  // Appending asks for FILE_APPEND_DATA alone, so that every write lands at the end even when
  // another program has written there meanwhile.
  const DWORD access = mode == OpenMode::kOutput ? GENERIC_WRITE : FILE_APPEND_DATA | SYNCHRONIZE;
  const DWORD disposition = mode == OpenMode::kOutput ? CREATE_ALWAYS : OPEN_ALWAYS;
  HANDLE file = ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const std::string reason = LastErrorText();
    if (mode == OpenMode::kOutput) {
      throw FileError(fmt::format("impossibile creare {} ({}): {}", path, native, reason));
    }
    throw FileError(
        fmt::format("impossibile aprire {} ({}) per aggiungervi righe: {}", path, native, reason));
  }
  const std::optional<Identity> identity = IdentityOf(file);
  if (::GetFileType(file) != FILE_TYPE_DISK || !identity) {
    ::CloseHandle(file);
    throw FileError(
        fmt::format("impossibile aprire {} ({}): non è un file ordinario", path, native));
  }
  const FileHandle number = numbers_.Next();
  files_.emplace(number, OpenFile{file, std::string(path), identity->volume, identity->index});
  return number;
}

void WindowsEnv::WriteLine(FileHandle file, std::string_view line) {
  const auto open = files_.find(file);
  if (open == files_.end()) {
    throw FileError(fmt::format("impossibile scrivere sul file n. {}: il file non è aperto", file));
  }
  std::string bytes = Utf8ToWindows1252(line);
  bytes += "\r\n";
  WriteAll(open->second.handle, bytes, open->second.path);
}

bool WindowsEnv::IsOpen(FileHandle file) const {
  return files_.contains(file);
}

void WindowsEnv::Close(FileHandle file) {
  const auto open = files_.find(file);
  if (open == files_.end()) {
    return;
  }
  ::CloseHandle(open->second.handle);
  files_.erase(open);
}

void WindowsEnv::CloseAll() {
  for (const auto& [number, open] : files_) {
    ::CloseHandle(open.handle);
  }
  files_.clear();
}

std::string WindowsEnv::NativePath(std::string_view path) {
  return Spelling(Parse(path));
}

void WindowsEnv::CreateFolder(std::string_view folder) {
  const WindowsPath parsed = Parse(folder);
  WindowsPath above = parsed;
  above.elements.clear();
  for (const std::string& element : parsed.elements) {
    above = above.Child(element);
    const std::string native = Resolve(above);
    const std::wstring wide = Utf8ToWide(native);
    if (::CreateDirectoryW(wide.c_str(), nullptr)) {
      continue;
    }
    // Asked after the attempt rather than before: a folder that another process has just made,
    // or one whose parent refuses creation, is there all the same.
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      continue;
    }
    throw FileError(fmt::format("impossibile creare la cartella {} ({}): {}", folder, native,
                                attributes != INVALID_FILE_ATTRIBUTES ? "al suo posto c'è un file"
                                                                      : WindowsErrorText(error)));
  }
}

TemporaryFile WindowsEnv::NewTemporaryFile(std::string_view folder) {
  const WindowsPath parent = Parse(folder);
  const std::string native_folder = NativePath(folder);
  for (;;) {
    const std::string name =
        fmt::format("~zav5-{}-{}.tmp", ::GetCurrentProcessId(), ++temporary_files_);
    const std::string native = JoinPath(native_folder, {name});
    HANDLE file = ::CreateFileW(Utf8ToWide(native).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::string path = parent.Child(name).ToString();
    if (file != INVALID_HANDLE_VALUE) {
      return {path, std::make_unique<WindowsWritableFile>(file, path)};
    }
    // A file left by an earlier process that had the same number: the next name.
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      throw FileError(
          fmt::format("impossibile creare {} ({}): {}", path, native, WindowsErrorText(error)));
    }
  }
}

RenameOutcome WindowsEnv::RenameFile(std::string_view from, std::string_view to, bool replace) {
  const std::string native_from = NativePath(from);
  const std::string native_to = NativePath(to);
  // Without MOVEFILE_COPY_ALLOWED: a copy across disks is neither atomic nor durable here, the
  // caller makes it.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (::MoveFileExW(Utf8ToWide(native_from).c_str(), Utf8ToWide(native_to).c_str(), flags)) {
    return RenameOutcome::kRenamed;
  }
  const DWORD error = ::GetLastError();
  switch (error) {
    case ERROR_NOT_SAME_DEVICE:
      return RenameOutcome::kOtherVolume;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return RenameOutcome::kTargetExists;
    default:
      throw FileError(
          fmt::format("impossibile rinominare {} in {}: {}", from, to, WindowsErrorText(error)));
  }
}

std::optional<std::string> WindowsEnv::ReadFile(std::string_view path) {
  const WindowsPath parsed = Parse(path);
  if (HasWildcard(parsed.Name())) {
    return std::nullopt;
  }
  const std::vector<Match> found = MatchingFiles(parsed);
  if (found.empty()) {
    return std::nullopt;
  }
  const std::string& native = found.front().native;
  HANDLE file = ::CreateFileW(Utf8ToWide(native).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // Deleted since it was found.
    if (error == ERROR_FILE_NOT_FOUND) {
      return std::nullopt;
    }
    throw FileError(
        fmt::format("impossibile leggere {} ({}): {}", path, native, WindowsErrorText(error)));
  }
  std::string bytes;
  std::string block(64 * 1024, '\0');
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(file);
      throw FileError(
          fmt::format("impossibile leggere {} ({}): {}", path, native, WindowsErrorText(error)));
    }
    if (read == 0) {
      break;
    }
    bytes.append(block.data(), read);
  }
  ::CloseHandle(file);
  return bytes;
}

std::unique_ptr<FileLock> WindowsEnv::LockFile(std::string_view path) {
  const std::string native = NativePath(path);
  // Every holder asks for writing and shares only reading: a second holder, in this process or
  // another, is refused while the first one's handle is open.
  SECURITY_ATTRIBUTES not_inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  HANDLE file =
      ::CreateFileW(Utf8ToWide(native).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                    &not_inherited, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
      return nullptr;
    }
    throw FileError(fmt::format("impossibile creare il file di blocco {} ({}): {}", path, native,
                                WindowsErrorText(error)));
  }
  // The number of the process that holds the lock, for whoever finds it taken; a failure here
  // leaves the lock held all the same.
  const std::string pid = std::to_string(::GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  if (::WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr)) {
    ::SetEndOfFile(file);
  }
  return std::make_unique<WindowsFileLock>(file);
}

bool WindowsEnv::LockHeld(std::string_view path) {
  const std::string native = NativePath(path);
  // Reading, shared with readers only: refused while a holder has the file open for writing.
  HANDLE file = ::CreateFileW(Utf8ToWide(native).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
      return true;
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return false;
    }
    throw FileError(fmt::format("impossibile aprire il file di blocco {} ({}): {}", path, native,
                                WindowsErrorText(error)));
  }
  ::CloseHandle(file);
  return false;
}

LocalTime WindowsEnv::Now() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  using namespace std::chrono;
  const year_month_day date{year{local.wYear}, month{local.wMonth}, day{local.wDay}};
  return local_days{date} + hours{local.wHour} + minutes{local.wMinute} +
         seconds{local.wSecond > 59 ? 59 : local.wSecond};
}

void WindowsEnv::StartScript(std::string_view path) {
  const std::vector<Match> script = MatchingFiles(Parse(path));
  if (script.empty() || HasWildcard(Parse(path).Name())) {
    throw FileError(fmt::format("impossibile avviare {}: file non trovato", path));
  }
  const std::wstring interpreter = CommandInterpreter();
  // /s: the interpreter strips exactly the outer quotes and runs the quoted path as it stands,
  // blanks in folder names included.
  std::wstring command =
      L"\"" + interpreter + L"\" /s /c \"\"" + Utf8ToWide(script.front().native) + L"\"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(interpreter.c_str(), command.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process)) {
    throw FileError(fmt::format("impossibile avviare {}: {}", path, LastErrorText()));
  }
  // Not waited for, not watched.
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

void WindowsEnv::MessageBox(std::string_view text, std::string_view caption) {
  if (!message_box_windows_) {
    if (caption.empty()) {
      errors_ << OneLine(text) << std::endl;
    } else {
      errors_ << OneLine(caption) << ": " << OneLine(text) << std::endl;
    }
    return;
  }
  ::MessageBoxW(::GetActiveWindow(), Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(),
                MB_OK | MB_SETFOREGROUND);
}

void WindowsEnv::Warn(std::string_view text) {
  errors_ << OneLine(text) << std::endl;
}

}  // namespace zav5::platform
