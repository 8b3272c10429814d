#include "batch/batch_line.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

#include <fmt/core.h>

namespace zav5::batch {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

BatchLine MakeLine(BatchCommand command, std::string text = {}) {
  BatchLine line;
  line.command = command;
  line.text = std::move(text);
  return line;
}

BatchLine Unsupported(std::string reason) {
  return MakeLine(BatchCommand::kUnsupported, std::move(reason));
}

// Why `text` needs a part of the interpreter that is not carried here, if it does. Variables are
// expanded even between quotes; the other characters only outside them.
std::optional<std::string> NeedsInterpreter(std::string_view text) {
  if (text.find('%') != std::string_view::npos) {
    return "le variabili (%...%) non sono gestite";
  }
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      switch (c) {
        case '>':
        case '<':
          return "le redirezioni (> <) non sono gestite";
        case '|':
          return "le pipe (|) non sono gestite";
        case '&':
          // A lone "&": "&&" never gets here, ParseBatchLine splits the line at it.
          return "più comandi su una riga con & non sono gestiti (solo con &&)";
        case '^':
          return "il carattere di escape ^ non è gestito";
        default:
          break;
      }
    }
  }
  return std::nullopt;
}

// `rest` is what follows the word "echo": one blank or a "." and the text.
BatchLine Echo(std::string_view rest) {
  if (rest.empty()) {
    return Unsupported("echo senza testo (che mostra lo stato di echo) non è gestito");
  }
  const bool dot = rest.front() == '.';
  rest.remove_prefix(1);
  if (!dot) {
    const std::string word = LowerAscii(TrimLeft(rest));
    if (word == "on" || word == "off") {
      return {};
    }
  }
  return MakeLine(BatchCommand::kEcho, std::string(rest));
}

// `rest` is what follows the word "cd": "..", "\path", " /d X:\path", " "path with blanks"". As
// cmd does, the folder runs to the end of the command, blanks included.
BatchLine ChangeFolder(std::string_view rest) {
  BatchLine line = MakeLine(BatchCommand::kChangeFolder);
  rest = TrimLeft(rest);
  if (rest.starts_with('/')) {
    std::size_t end = 1;
    while (end < rest.size() && !IsBlank(rest[end])) {
      ++end;
    }
    if (LowerAscii(rest.substr(0, end)) != "/d") {
      return Unsupported(fmt::format("opzione {} di cd non gestita", rest.substr(0, end)));
    }
    line.switches.push_back('D');
    rest = TrimLeft(rest.substr(end));
    if (rest.empty()) {
      return Unsupported("cd /d senza cartella non è gestito");
    }
  }
  for (char c : rest) {
    if (c != '"') {
      line.text += c;
    }
  }
  line.text.resize(TrimRight(line.text).size());
  return line;
}

struct Word {
  std::string text;
  bool is_switch = false;
};

// The arguments of copy and del: words separated by blanks, where quotes keep blanks inside a word
// and are dropped. A word that begins with an unquoted "/" is a group of switches ("/Y", "/Y/B");
// `accepted` holds the letters the command takes.
BatchLine Arguments(BatchCommand command, std::string_view rest, std::string_view accepted) {
  std::vector<Word> words;
  bool quoted = false;
  bool in_word = false;
  for (char c : rest) {
    if (c == '"') {
      quoted = !quoted;
      if (!in_word) {
        words.emplace_back();
        in_word = true;
      }
      continue;
    }
    if (!quoted) {
      if (IsBlank(c)) {
        in_word = false;
        continue;
      }
      if (c == '+') {
        return Unsupported("unire più file con + non è gestito");
      }
      if (c == ',' || c == ';' || c == '=') {
        return Unsupported(fmt::format("il separatore {} non è gestito", c));
      }
    }
    if (!in_word) {
      words.emplace_back();
      words.back().is_switch = !quoted && c == '/';
      in_word = true;
    }
    words.back().text += c;
  }

  BatchLine line = MakeLine(command);
  for (Word& word : words) {
    if (!word.is_switch) {
      line.paths.push_back(std::move(word.text));
      continue;
    }
    // "/Y/B" is two switches; "/" alone, "/-Y" or "/YB" is none that is accepted.
    std::string_view group(word.text);
    while (!group.empty()) {
      group.remove_prefix(1);
      const std::size_t end = std::min(group.find('/'), group.size());
      const std::string_view name = group.substr(0, end);
      if (name.size() != 1 || accepted.find(UpperAscii(name[0])) == std::string_view::npos) {
        return Unsupported(fmt::format("opzione /{} non gestita", name));
      }
      line.switches += UpperAscii(name[0]);
      group.remove_prefix(end);
    }
  }
  return line;
}

// `text` without the blanks and the "@" (which only keeps cmd from echoing it) in front of it.
std::string_view WithoutAt(std::string_view text) {
  text = TrimLeft(text);
  while (text.starts_with('@')) {
    text = TrimLeft(text.substr(1));
  }
  return text;
}

// The letters at the start of `text`, lower case (the command word when `text` is a command
// without its "@"), and what follows them.
std::pair<std::string, std::string_view> SplitWord(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && IsAsciiLetter(text[end])) {
    ++end;
  }
  return {LowerAscii(text.substr(0, end)), text.substr(end)};
}

// True when the command `text` is a remark, which is never carried out, whatever it holds ("&&"
// included).
bool IsRemark(std::string_view text) {
  const auto [word, rest] = SplitWord(WithoutAt(text));
  return word == "rem" && (rest.empty() || IsBlank(rest.front()));
}

// One command: a line, or a part of one between "&&".
BatchLine ParseCommand(std::string_view command) {
  const std::string_view text = WithoutAt(TrimBatchLine(command));
  if (text.empty() || IsRemark(text)) {
    return {};
  }
  if (text.size() == 2 && IsAsciiLetter(text[0]) && text[1] == ':') {
    return MakeLine(BatchCommand::kChangeDrive, std::string(text));
  }

  const std::pair<std::string, std::string_view> split = SplitWord(text);
  const std::string& word = split.first;
  const std::string_view rest = split.second;
  // cmd ends a command word at a blank, and lets some commands touch what follows: "cd..",
  // "cd\sulvo", "echo.", "copy/Y". Any other character makes it a different word.
  const auto followed_by = [&rest](std::string_view allowed) {
    return rest.empty() || IsBlank(rest.front()) ||
           allowed.find(rest.front()) != std::string_view::npos;
  };

  if (std::optional<std::string> why = NeedsInterpreter(text)) {
    return Unsupported(std::move(*why));
  }
  if (word == "cls" && followed_by("")) {
    return rest.empty() ? BatchLine{} : Unsupported("cls con argomenti non è gestito");
  }
  if (word == "echo" && followed_by(".")) {
    return Echo(rest);
  }
  if ((word == "cd" || word == "chdir") && followed_by(".\\/\"")) {
    return ChangeFolder(rest);
  }
  if (word == "copy" && followed_by("/\"")) {
    return Arguments(BatchCommand::kCopy, rest, "YB");
  }
  if ((word == "del" || word == "erase") && followed_by("/\"")) {
    return Arguments(BatchCommand::kDelete, rest, "QF");
  }
  return Unsupported("comando non gestito");
}

// The word at the start of `text` up to the first blank outside quotes, and what follows it.
std::pair<std::string_view, std::string_view> SplitToken(std::string_view text) {
  bool quoted = false;
  std::size_t end = 0;
  for (; end < text.size() && (quoted || !IsBlank(text[end])); ++end) {
    if (text[end] == '"') {
      quoted = !quoted;
    }
  }
  return {text.substr(0, end), text.substr(end)};
}

// Why the command of an "if" needs what this runner does not carry, if it does: a block in
// parentheses, or "else", which cmd takes only after one (elsewhere it would be a file name to
// del). In a remark neither counts.
std::optional<std::string> NeedsBlock(std::string_view command) {
  if (IsRemark(command)) {
    return std::nullopt;
  }
  bool quoted = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == '(' || c == ')')) {
      return "le parentesi dopo if non sono gestite (un nome che ne contiene va tra virgolette)";
    } else if (!quoted && (i == 0 || IsBlank(command[i - 1]) || command[i - 1] == '&')) {
      const std::string_view after = command.substr(std::min(i + 4, command.size()));
      if (LowerAscii(command.substr(i, 4)) == "else" &&
          (after.empty() || IsBlank(after.front()) || after.front() == '&')) {
        return "else non è gestito";
      }
    }
  }
  return std::nullopt;
}

// `rest` is what follows the word "if". Returns its condition, a kIfErrorLevel (or a kUnsupported
// saying why it is not one), and the text of its command.
std::pair<BatchLine, std::string_view> ParseIf(std::string_view rest) {
  BatchLine condition = MakeLine(BatchCommand::kIfErrorLevel);
  auto [token, after] = SplitToken(TrimLeft(rest));
  if (LowerAscii(token) == "not") {
    condition.negated = true;
    std::tie(token, after) = SplitToken(TrimLeft(after));
  }
  const std::string shown = condition.negated ? "if not" : "if";
  if (token.empty()) {
    return {Unsupported(fmt::format("manca la condizione di {}", shown)), {}};
  }
  if (LowerAscii(token) != "errorlevel") {
    return {Unsupported(fmt::format("{} {} non è gestito (di if si gestisce solo "
                                    "if [not] errorlevel N seguito da un comando)",
                                    shown, token)),
            {}};
  }
  std::tie(token, after) = SplitToken(TrimLeft(after));
  if (token.empty()) {
    return {Unsupported(fmt::format("manca il numero dopo {} errorlevel", shown)), {}};
  }
  if (!std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {Unsupported(
                fmt::format("{} errorlevel vuole un numero di sole cifre, non {}", shown, token)),
            {}};
  }
  if (std::from_chars(token.data(), token.data() + token.size(), condition.level).ec !=
      std::errc()) {
    return {Unsupported(fmt::format("il numero {} dopo errorlevel è troppo grande", token)), {}};
  }
  const std::string_view command = TrimLeft(after);
  const std::string_view bare = WithoutAt(command);
  if (bare.empty() || bare.starts_with("&&")) {
    return {Unsupported(fmt::format("manca il comando dopo {} errorlevel {}", shown, token)), {}};
  }
  if (std::optional<std::string> why = NeedsBlock(command)) {
    return {Unsupported(std::move(*why)), {}};
  }
  return {std::move(condition), command};
}

}  // namespace

std::string_view TrimBatchLine(std::string_view line) {
  return TrimRight(TrimLeft(line));
}

std::vector<BatchLine> ParseBatchLine(std::string_view line) {
  std::vector<BatchLine> commands;
  std::string_view rest = line;
  while (true) {
    // An "if": its condition comes first, then its command, which runs to the end of the line.
    if (const auto [word, after] = SplitWord(WithoutAt(rest)); word == "if") {
      std::pair<BatchLine, std::string_view> split = ParseIf(after);
      if (split.first.command == BatchCommand::kUnsupported) {
        return {std::move(split.first)};
      }
      commands.push_back(std::move(split.first));
      rest = split.second;
      continue;
    }
    // Where the command ends: at the first "&&" outside quotes, or with the line.
    std::size_t end = rest.size();
    if (!IsRemark(rest)) {
      bool quoted = false;
      for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '"') {
          quoted = !quoted;
        } else if (!quoted && rest.substr(i).starts_with("&&")) {
          end = i;
          break;
        }
      }
    }
    const std::string_view command = rest.substr(0, end);
    const bool joined = end < rest.size();
    if (WithoutAt(TrimBatchLine(command)).empty() && (joined || !commands.empty())) {
      return {Unsupported(commands.empty() ? "manca il comando prima di &&"
                                           : "manca il comando dopo &&")};
    }
    commands.push_back(ParseCommand(command));
    if (commands.back().command == BatchCommand::kUnsupported) {
      return {std::move(commands.back())};
    }
    if (!joined) {
      return commands;
    }
    rest = rest.substr(end + 2);
  }
}

}  // namespace zav5::batch
