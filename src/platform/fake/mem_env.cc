#include "platform/fake/mem_env.h"

#include <cstddef>
#include <utility>

#include <fmt/core.h>

#include "errors.h"
#include "platform/case_fold.h"
#include "platform/codepage.h"
#include "platform/file_numbers.h"
#include "platform/wildcard.h"

namespace zav5::platform {

namespace {

std::string Key(const WindowsPath& path) {
  return FoldCase(path.ToString());
}

}  // namespace

// Appends to the bytes of its entry, found by key at every write: a file deleted meanwhile is
// reported as on a real disk that lost it.
class MemWritableFile : public WritableFile {
 public:
  MemWritableFile(MemEnv& env, std::string key, std::string path)
      : env_(env), key_(std::move(key)), path_(std::move(path)) {}
  void Append(std::string_view bytes) override { Entry().bytes += bytes; }
  void Sync() override {
    Entry();
    ++env_.syncs_;
  }
  void Close() override { closed_ = true; }

 private:
  MemEnv::Entry& Entry() {
    const auto entry = env_.entries_.find(key_);
    if (closed_ || entry == env_.entries_.end()) {
      throw FileError(
          fmt::format("impossibile scrivere su {}: il file è chiuso o non c'è più", path_));
    }
    return entry->second;
  }

  MemEnv& env_;
  std::string key_;
  std::string path_;
  bool closed_ = false;
};

class MemFileLock : public FileLock {
 public:
  MemFileLock(MemEnv& env, std::string key) : env_(env), key_(std::move(key)) {}
  ~MemFileLock() override { env_.locks_.erase(key_); }
  MemFileLock(const MemFileLock&) = delete;
  MemFileLock& operator=(const MemFileLock&) = delete;

 private:
  MemEnv& env_;
  std::string key_;
};

MemEnv::MemEnv(char current_drive)
    : current_drive_(static_cast<char>(current_drive | 0x20)),
      now_(std::chrono::local_days{std::chrono::year{2000} / 1 / 1}) {}

WindowsPath MemEnv::Parse(std::string_view path) const {
  return ParseWindowsPath(path, current_drive_);
}

const MemEnv::Entry* MemEnv::FindEntry(const WindowsPath& path) const {
  const auto entry = entries_.find(Key(path));
  return entry == entries_.end() ? nullptr : &entry->second;
}

WindowsPath MemEnv::Resolve(const WindowsPath& path) const {
  WindowsPath resolved = path;
  resolved.elements.clear();
  for (const std::string& element : path.elements) {
    const Entry* entry = FindEntry(resolved.Child(element));
    resolved = resolved.Child(entry != nullptr ? entry->path.Name() : element);
  }
  return resolved;
}

bool MemEnv::IsFolder(const WindowsPath& path) const {
  if (path.elements.empty() && !path.IsUnc()) {
    return true;
  }
  const Entry* entry = FindEntry(path);
  return entry != nullptr && entry->folder;
}

void MemEnv::MakeFolder(std::string_view path) {
  const WindowsPath folder = Resolve(Parse(path));
  WindowsPath above = folder;
  above.elements.clear();
  if (above.IsUnc()) {
    entries_.try_emplace(Key(above), Entry{above, true, false, {}});
  }
  for (const std::string& element : folder.elements) {
    above = above.Child(element);
    const auto [entry, created] = entries_.try_emplace(Key(above), Entry{above, true, false, {}});
    if (!created && !entry->second.folder) {
      throw FileError(fmt::format("impossibile creare la cartella {}: {} è un file", path,
                                  entry->second.path.ToString()));
    }
  }
}

bool MemEnv::FolderExists(std::string_view path) const {
  return IsFolder(Parse(path));
}

void MemEnv::PutFile(std::string_view path, std::string_view bytes, bool hidden) {
  const WindowsPath file = Resolve(Parse(path));
  if (file.elements.empty()) {
    throw FileError(fmt::format("impossibile creare {}: non è il nome di un file", path));
  }
  MakeFolder(file.Parent().ToString());
  const auto [entry, created] = entries_.try_emplace(Key(file), Entry{file, false, hidden, {}});
  if (entry->second.folder) {
    throw FileError(fmt::format("impossibile creare {}: è una cartella", path));
  }
  entry->second.hidden = hidden;
  entry->second.bytes = bytes;
}

std::optional<std::string> MemEnv::FileBytes(std::string_view path) const {
  const Entry* entry = FindEntry(Parse(path));
  if (entry == nullptr || entry->folder) {
    return std::nullopt;
  }
  return entry->bytes;
}

std::vector<std::string> MemEnv::MatchingFiles(const WindowsPath& pattern) const {
  if (pattern.elements.empty()) {
    return {};
  }
  const std::string_view name = pattern.Name();
  const bool wildcard = HasWildcard(name);
  const std::string folder = Key(pattern.Parent());
  std::vector<std::string> keys;
  for (const auto& [key, entry] : entries_) {
    if (entry.folder || entry.hidden || Key(entry.path.Parent()) != folder) {
      continue;
    }
    if (wildcard ? MatchesWildcard(name, entry.path.Name())
                 : EqualsIgnoringCase(name, entry.path.Name())) {
      keys.push_back(key);
    }
  }
  return keys;
}

std::optional<FileHandle> MemEnv::OpenNumberOf(const std::string& key) const {
  for (const auto& [number, open_key] : files_) {
    if (open_key == key) {
      return number;
    }
  }
  return std::nullopt;
}

std::vector<std::string> MemEnv::FindFiles(std::string_view pattern) {
  std::vector<std::string> names;
  for (const std::string& key : MatchingFiles(Parse(pattern))) {
    names.emplace_back(entries_.at(key).path.Name());
  }
  return names;
}

void MemEnv::DeleteFiles(std::string_view pattern) {
  for (const std::string& key : MatchingFiles(Parse(pattern))) {
    if (const std::optional<FileHandle> number = OpenNumberOf(key)) {
      throw FileError(fmt::format("impossibile cancellare {}: il file è aperto come file n. {}",
                                  entries_.at(key).path.ToString(), *number));
    }
    entries_.erase(key);
  }
}

FileHandle MemEnv::OpenTextFile(std::string_view path, OpenMode mode) {
  const WindowsPath file = Parse(path);
  if (file.elements.empty()) {
    throw FileError(fmt::format("impossibile aprire {}: non è il nome di un file", path));
  }
  if (!IsFolder(file.Parent())) {
    const std::string folder = file.Parent().ToString();
    if (mode == OpenMode::kOutput) {
      throw FileError(
          fmt::format("impossibile creare {}: la cartella {} non esiste", path, folder));
    }
    throw FileError(fmt::format(
        "impossibile aprire {} per aggiungervi righe: la cartella {} non esiste", path, folder));
  }
  const std::string key = Key(file);
  const Entry* existing = FindEntry(file);
  if (existing != nullptr && existing->folder) {
    throw FileError(fmt::format("impossibile aprire {}: non è un file ordinario", path));
  }
  if (const std::optional<FileHandle> number = OpenNumberOf(key)) {
    throw FileError(
        fmt::format("impossibile aprire {}: il file è già aperto come file n. {}", path, *number));
  }
  const FileHandle number = numbers_.Next();
  const auto [entry, created] = entries_.try_emplace(key, Entry{Resolve(file), false, false, {}});
  if (mode == OpenMode::kOutput) {
    entry->second.bytes.clear();
  }
  files_.emplace(number, key);
  return number;
}

void MemEnv::WriteLine(FileHandle file, std::string_view line) {
  const auto open = files_.find(file);
  if (open == files_.end()) {
    throw FileError(fmt::format("impossibile scrivere sul file n. {}: il file non è aperto", file));
  }
  std::string& bytes = entries_.at(open->second).bytes;
  bytes += Utf8ToWindows1252(line);
  bytes += "\r\n";
}

bool MemEnv::IsOpen(FileHandle file) const {
  return files_.contains(file);
}

void MemEnv::Close(FileHandle file) {
  files_.erase(file);
}

void MemEnv::CloseAll() {
  files_.clear();
}

std::string MemEnv::NativePath(std::string_view path) {
  return Resolve(Parse(path)).ToString();
}

TemporaryFile MemEnv::NewTemporaryFile(std::string_view folder) {
  const WindowsPath parent = Resolve(Parse(folder));
  if (!IsFolder(parent)) {
    throw FileError(
        fmt::format("impossibile creare un file temporaneo in {}: la cartella non esiste", folder));
  }
  for (;;) {
    const WindowsPath file = parent.Child(fmt::format("~zav5-1-{}.tmp", ++temporary_files_));
    const auto [entry, created] = entries_.try_emplace(Key(file), Entry{file, false, false, {}});
    if (created) {
      const std::string path = file.ToString();
      return {path, std::make_unique<MemWritableFile>(*this, entry->first, path)};
    }
  }
}

RenameOutcome MemEnv::RenameFile(std::string_view from, std::string_view to, bool replace) {
  const WindowsPath source = Parse(from);
  const WindowsPath target = Parse(to);
  const auto entry = entries_.find(Key(source));
  if (entry == entries_.end() || entry->second.folder) {
    throw FileError(fmt::format("impossibile rinominare {}: il file non esiste", from));
  }
  if (source.drive != target.drive ||
      (source.IsUnc() && (!EqualsIgnoringCase(source.server, target.server) ||
                          !EqualsIgnoringCase(source.share, target.share)))) {
    return RenameOutcome::kOtherVolume;
  }
  if (!IsFolder(target.Parent())) {
    throw FileError(
        fmt::format("impossibile rinominare {} in {}: la cartella non esiste", from, to));
  }
  if (OpenNumberOf(entry->first)) {
    throw FileError(fmt::format("impossibile rinominare {}: il file è aperto", from));
  }
  const std::string target_key = Key(target);
  if (target_key != entry->first) {
    const auto existing = entries_.find(target_key);
    if (existing != entries_.end()) {
      if (!replace) {
        return RenameOutcome::kTargetExists;
      }
      if (existing->second.folder || OpenNumberOf(target_key)) {
        throw FileError(fmt::format("impossibile sostituire {}", to));
      }
    }
  }
  Entry moved = std::move(entry->second);
  entries_.erase(entry);
  moved.path = Resolve(target.Parent()).Child(target.Name());
  entries_.insert_or_assign(target_key, std::move(moved));
  ++syncs_;
  return RenameOutcome::kRenamed;
}

std::optional<std::string> MemEnv::ReadFile(std::string_view path) {
  const Entry* entry = FindEntry(Parse(path));
  if (entry == nullptr || entry->folder || entry->hidden) {
    return std::nullopt;
  }
  return entry->bytes;
}

std::unique_ptr<FileLock> MemEnv::LockFile(std::string_view path) {
  const WindowsPath file = Parse(path);
  if (!IsFolder(file.Parent())) {
    throw FileError(
        fmt::format("impossibile creare il file di blocco {}: la cartella non esiste", path));
  }
  const std::string key = Key(file);
  const auto [entry, created] = entries_.try_emplace(key, Entry{Resolve(file), false, false, {}});
  if (entry->second.folder) {
    throw FileError(fmt::format("impossibile creare il file di blocco {}: è una cartella", path));
  }
  if (!locks_.insert(key).second) {
    return nullptr;
  }
  return std::make_unique<MemFileLock>(*this, key);
}

bool MemEnv::LockHeld(std::string_view path) {
  return locks_.contains(Key(Parse(path)));
}

void MemEnv::HoldLock(std::string_view path) {
  locks_.insert(Key(Parse(path)));
}

void MemEnv::ReleaseLock(std::string_view path) {
  locks_.erase(Key(Parse(path)));
}

void MemEnv::MessageBox(std::string_view text, std::string_view caption) {
  message_boxes_.emplace_back(text);
  message_box_captions_.emplace_back(caption);
}

void MemEnv::StartScript(std::string_view path) {
  if (FindFiles(path).empty()) {
    throw FileError("impossibile avviare " + std::string(path) + ": file non trovato");
  }
  started_scripts_.emplace_back(path);
}

void MemEnv::Warn(std::string_view text) {
  warnings_.emplace_back(text);
}

}  // namespace zav5::platform
