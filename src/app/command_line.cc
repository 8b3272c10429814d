#include "app/command_line.h"

#include <cctype>
#include <sstream>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "platform/current_drive.h"

namespace zav5::app {

namespace {

std::optional<char> DriveLetter(const std::string& text) {
  if (text.size() == 1 && std::isalpha(static_cast<unsigned char>(text[0]))) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  }
  return std::nullopt;
}

std::optional<std::chrono::year_month_day> IsoDate(const std::string& text) {
  int year = 0;
  unsigned month = 0;
  unsigned day = 0;
  char dash1 = 0;
  char dash2 = 0;
  std::istringstream in(text);
  in >> year >> dash1 >> month >> dash2 >> day;
  if (!in || dash1 != '-' || dash2 != '-' || text.size() != 10 || !in.eof()) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                                         std::chrono::day{day}};
  if (!date.ok()) {
    return std::nullopt;
  }
  return date;
}

// "101/2026": an offer's number and year.
std::optional<std::pair<std::int32_t, std::int32_t>> ParseOfferNumber(const std::string& text) {
  std::int32_t numero = 0;
  std::int32_t anno = 0;
  char barra = 0;
  std::istringstream in(text);
  in >> numero >> barra >> anno;
  if (!in || barra != '/' || !in.eof() || numero <= 0 || anno <= 0 ||
      text.find_first_not_of("0123456789/") != std::string::npos) {
    return std::nullopt;
  }
  return std::pair{numero, anno};
}

// The options every check takes: the day, the language and the length of the lists.
void AddCheckOptions(CLI::App& command, std::string& today, std::string& lingua,
                     std::size_t& limite) {
  command.fallthrough();
  command.add_option("--today", today, "The day taken for today, YYYY-MM-DD");
  command.add_option("--lang", lingua, "Language of the output: it (default) or en")
      ->check(CLI::IsMember({"it", "en"}));
  command.add_option("--limit", limite, "Rows shown per list, the rest counted (0: all)")
      ->capture_default_str();
}

// "zav5 1.0.0 (Windows, 32 bit)": which build this is matters on Windows, where the Access driver
// is found by programs of its own bitness only.
std::string VersionText() {
#ifdef _WIN32
  constexpr std::string_view kSistema = "Windows";
#else
  constexpr std::string_view kSistema = "Linux";
#endif
  return fmt::format("zav5 {} ({}, {} bit)", ZAV5_VERSION, kSistema, sizeof(void*) * 8);
}

}  // namespace

CommandLineResult ParseCommandLine(int argc, const char* const* argv) {
  CLI::App app{
      "zav5: takes expired promotional offers off the store's price list and tells the "
      "electronic shelf labels.",
      "zav5"};
  // Options begin with "-" on every system: on Windows too "/srv/store" is a folder.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", VersionText(), "Print the version and the build, and exit");
  Options options;
  std::vector<std::string> drives;
  std::string current;
  std::string today;
  app.add_option("--drive", drives,
                 "Maps a Windows drive onto a folder of this machine, e.g. C=/srv/store "
                 "(repeatable)");
  app.add_option("--current-drive", current,
                 "The drive the program runs on (default: on Windows the drive of the folder it "
                 "starts in, elsewhere C)");
  app.add_flag("--once", options.once, "Stop after start-up and one processing cycle");
  app.add_option("--today", today,
                 "The day the processing cycle takes for today, YYYY-MM-DD (tests and previews)");
  app.add_option("--odbc-driver", options.engine_options.driver_access,
                 "The ODBC driver that opens Access (Jet) files")
      ->capture_default_str();
  app.add_option("--odbc", options.engine_options.odbc_connection,
                 "Open every database through ODBC with this connection string, in which {path} "
                 "stands for the database file, e.g. \"Driver=SQLite3;Database={path};\"");
  CLI::App* demo = app.add_subcommand("demo", "Create a demo store under DIR");
  std::string demo_dir;
  demo->add_option("DIR", demo_dir, "Folder for the demo store")->required();
  CLI::App* run_batch = app.add_subcommand(
      "run-batch", "Run a batch script (a Windows path) the way the command interpreter would");
  run_batch->add_option("SCRIPT", options.script, "The script, e.g. C:\\sulvo\\frontalini.bat")
      ->required();

  std::string lingua = "it";
  std::size_t limite = options.output.limit;
  CLI::App* status = app.add_subcommand(
      "status",
      "Is it working? The store found, whether zav5 runs on it, the expired offers waiting, the "
      "offers and label systems failing, the label deliveries waiting and the last cycle. Exit "
      "code 0 all well, 1 something waits too long, 2 an error, 3 unknown. Changes nothing.\n"
      "Example: zav5 --drive C=/srv/store/c --drive Z=/srv/store/z status --json");
  AddCheckOptions(*status, today, lingua, limite);
  status->add_flag("--json", options.output.json, "The same data as one JSON object");
  status->add_flag("--allow-stopped", options.allow_stopped,
                   "zav5 runs from a scheduled task with --once: its not running is no warning");
  int minuti = static_cast<int>(options.max_wait.count());
  status
      ->add_option("--max-wait", minuti,
                   "Minutes an expired offer or a label delivery may wait before it counts as "
                   "late")
      ->check(CLI::Range(1, 10080))
      ->capture_default_str();
  std::string offer;
  std::string folder;
  CLI::App* preview = app.add_subcommand(
      "preview",
      "What the next cycles (every expired offer, in their order) or one offer would do: each "
      "row's article restored or left alone, and every active label system's import lines. Runs "
      "the real deactivation in a transaction that is always rolled back: changes nothing.\n"
      "Example: zav5 preview --today 2026-12-10 --offer 101/2026 --out /tmp/anteprima");
  AddCheckOptions(*preview, today, lingua, limite);
  preview->add_option("--offer", offer, "This offer alone, NUMBER/YEAR, e.g. 101/2026");
  preview->add_option("--out", folder,
                      "Also write the import files, as they would be, into this folder");
  CLI::App* audit = app.add_subcommand(
      "audit",
      "Price check: articles still on a promotion whose last day has passed or whose offer is "
      "deactivated, and rows of active offers whose article is not in the price list. Exit code "
      "0 nothing found, 1 something found, 2 the check could not be made. Changes nothing.\n"
      "Example: zav5 audit --lang en --limit 0");
  AddCheckOptions(*audit, today, lingua, limite);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    std::ostringstream out;
    std::ostringstream err;
    int code = app.exit(error, out, err);
    // A monitoring agent reads a status it could not ask for as unknown.
    if (code != 0 && status->parsed()) {
      code = static_cast<int>(checks::Verdict::kUnknown);
    }
    return {std::nullopt, code, out.str() + err.str()};
  }

  // A wrong value ends the run with 2; the status, whose codes a monitoring agent reads, with 3.
  const int errata = status->parsed() ? static_cast<int>(checks::Verdict::kUnknown) : 2;
  if (demo->parsed()) {
    options.command = Options::Command::kDemo;
    options.demo_folder = demo_dir;
    return {options, 0, {}};
  }
  for (const std::string& mapping : drives) {
    const std::size_t equals = mapping.find('=');
    const auto letter =
        equals == std::string::npos ? std::nullopt : DriveLetter(mapping.substr(0, equals));
    if (!letter || equals + 1 == mapping.size()) {
      return {std::nullopt, errata,
              fmt::format("--drive {}: expected a drive letter and a folder, e.g. C=/srv/store\n",
                          mapping)};
    }
    options.drives[*letter] = mapping.substr(equals + 1);
  }
  if (app.count("--current-drive") > 0) {
    options.current_drive = DriveLetter(current);
    if (!options.current_drive) {
      return {std::nullopt, errata,
              fmt::format("--current-drive {}: expected one drive letter\n", current)};
    }
  }
  if (run_batch->parsed()) {
    options.command = Options::Command::kRunBatch;
    return {options, 0, {}};
  }
  options.output.language =
      lingua == "en" ? checks::Language::kEnglish : checks::Language::kItalian;
  options.output.limit = limite;
  options.max_wait = std::chrono::minutes{minuti};
  if (status->parsed()) {
    options.command = Options::Command::kStatus;
  } else if (preview->parsed()) {
    options.command = Options::Command::kPreview;
    if (!offer.empty()) {
      options.offer = ParseOfferNumber(offer);
      if (!options.offer) {
        return {std::nullopt, errata,
                fmt::format("--offer {}: expected NUMBER/YEAR, e.g. 101/2026\n", offer)};
      }
    }
    if (!folder.empty()) {
      options.preview_folder = folder;
    }
  } else if (audit->parsed()) {
    options.command = Options::Command::kAudit;
  }
  if (!options.engine_options.odbc_connection.empty() &&
      options.engine_options.odbc_connection.find("{path}") == std::string::npos) {
    return {std::nullopt, errata,
            fmt::format("--odbc {}: the connection string must name the database as {{path}}\n",
                        options.engine_options.odbc_connection)};
  }
  if (!today.empty()) {
    options.today = IsoDate(today);
    if (!options.today) {
      return {std::nullopt, errata,
              fmt::format("--today {}: expected a date as YYYY-MM-DD\n", today)};
    }
  }
  return {options, 0, {}};
}

char ProgramDrive(const Options& options) {
  return options.current_drive ? *options.current_drive : platform::ProcessCurrentDrive();
}

std::vector<std::string> ScriptCommand(const std::filesystem::path& programma,
                                       const Options& options) {
  std::vector<std::string> command{programma.string()};
  for (const auto& [lettera, folder] : options.drives) {
    command.emplace_back("--drive");
    command.push_back(fmt::format("{}={}", lettera, std::filesystem::absolute(folder).string()));
  }
  command.emplace_back("--current-drive");
  command.emplace_back(1, ProgramDrive(options));
  command.emplace_back("run-batch");
  return command;
}

std::string DemoCommand(const std::filesystem::path& programma,
                        const std::filesystem::path& drive_c,
                        const std::filesystem::path& drive_z) {
  return fmt::format("{} --drive C={} --drive Z={}", programma.string(), drive_c.string(),
                     drive_z.string());
}

}  // namespace zav5::app
