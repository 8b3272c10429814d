#include "platform/windows_path.h"

#include <cstddef>

namespace zav5::platform {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

char ToUpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The non-empty names of `text` between separators.
std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) {
      ++end;
    }
    if (end > start) {
      names.push_back(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return names;
}

void Append(std::vector<std::string>& elements, std::string_view name) {
  if (name == ".") {
    return;
  }
  if (name == "..") {
    if (!elements.empty()) {
      elements.pop_back();
    }
    return;
  }
  elements.emplace_back(name);
}

}  // namespace

bool IsDriveLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerDriveLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view WindowsPath::Name() const {
  return elements.empty() ? std::string_view() : std::string_view(elements.back());
}

WindowsPath WindowsPath::Parent() const {
  WindowsPath parent = *this;
  if (!parent.elements.empty()) {
    parent.elements.pop_back();
  }
  return parent;
}

WindowsPath WindowsPath::Child(std::string_view name) const {
  WindowsPath child = *this;
  child.elements.emplace_back(name);
  return child;
}

std::string WindowsPath::ToString() const {
  std::string text;
  if (IsUnc()) {
    text = "\\\\" + server;
    if (!share.empty()) {
      text += "\\" + share;
    }
  } else {
    text = {ToUpperAscii(drive), ':'};
    if (elements.empty()) {
      text += '\\';
    }
  }
  for (const std::string& element : elements) {
    text += '\\';
    text += element;
  }
  return text;
}

WindowsPath ParseWindowsPath(std::string_view path, char current_drive) {
  WindowsPath parsed;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::vector<std::string_view> names = Split(path);
    std::size_t next = 0;
    if (next < names.size()) {
      parsed.server = names[next++];
    }
    if (next < names.size()) {
      parsed.share = names[next++];
    }
    for (; next < names.size(); ++next) {
      Append(parsed.elements, names[next]);
    }
    return parsed;
  }
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    parsed.drive = LowerDriveLetter(path[0]);
    path.remove_prefix(2);
  } else {
    parsed.drive = LowerDriveLetter(current_drive);
  }
  for (std::string_view name : Split(path)) {
    Append(parsed.elements, name);
  }
  return parsed;
}

}  // namespace zav5::platform
