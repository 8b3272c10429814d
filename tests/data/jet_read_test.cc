// Real Access (Jet) files read through Debian's MDB Tools ODBC driver ("MDBTools"), as a site
// would with --odbc, checked field by field against what MDB Tools' own mdb-export gives for the
// same tables. The files are the MDB Tools project's test databases (a Jet 3 and a Jet 4 file; see
// README.md in their folder). The driver is read-only: this proves the read path, the mapping of
// Jet's types and the catalog calls on real files, not the writes.
//
// Both sides are MDB Tools' libmdb, so where it reads a value wrong both give the same wrong
// value (the dates below). Texts: libmdb converts Jet 3's code page and Jet 4's UTF-16 to UTF-8
// for the driver's narrow calls, which the program speaks on unixODBC, and for mdb-export alike;
// so texts compare byte for byte, and a few accented ones are also checked as written here.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "data/database.h"
#include "data/odbc/installed_drivers.h"
#include "data/recordset.h"
#include "data/value_calendar.h"
#include "platform/host_env.h"
#include "support/error_message.h"

namespace zav5::data {
namespace {

using namespace std::chrono;

// --- mdb-export's side ---------------------------------------------------------------------------

// `text` as one word of a POSIX shell command.
std::string ShellWord(std::string_view text) {
  std::string word = "'";
  for (const char c : text) {
    word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return word + "'";
}

// The standard output of a shell command; nothing when it does not end with status 0.
std::optional<std::string> Output(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return std::nullopt;
  }
  std::string output;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    output.append(buffer, n);
  }
  return pclose(pipe) == 0 ? std::optional(output) : std::nullopt;
}

// A field of mdb-export's CSV. Texts and dates are always quoted, so an empty field that is not
// quoted is a Null.
struct CsvField {
  std::string text;
  bool quoted = false;
};
using CsvRecord = std::vector<CsvField>;

// The records of mdb-export's CSV: "\n" ends a record; a quoted field may hold commas, line breaks
// (a memo's "\r\n") and quotes doubled.
std::vector<CsvRecord> ParseCsv(std::string_view csv) {
  std::vector<CsvRecord> records;
  CsvRecord record;
  CsvField field;
  bool in_quotes = false;
  for (std::size_t i = 0; i < csv.size(); ++i) {
    const char c = csv[i];
    if (in_quotes && c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
      field.text += c;
      ++i;
    } else if (c == '"') {
      in_quotes = !in_quotes;
      field.quoted = true;
    } else if (!in_quotes && (c == ',' || c == '\n')) {
      record.push_back(std::move(field));
      field = {};
      if (c == '\n') {
        records.push_back(std::move(record));
        record.clear();
      }
    } else {
      field.text += c;
    }
  }
  EXPECT_FALSE(in_quotes) << "mdb-export's CSV ends inside a quoted field";
  EXPECT_TRUE(record.empty() && field.text.empty()) << "mdb-export's CSV ends without a newline";
  return records;
}

// --- One text form per column kind, for both sides -----------------------------------------------

constexpr std::string_view kNull = "(Null)";

// The kind of value the program gives for a column of each kind, in ColumnKind's order (a Null
// aside; kOther gives none).
constexpr ValueKind kValueKindOf[] = {ValueKind::kInteger,  ValueKind::kLong, ValueKind::kDouble,
                                      ValueKind::kCurrency, ValueKind::kDate, ValueKind::kBoolean,
                                      ValueKind::kText,     ValueKind::kText, ValueKind::kNull};
static_assert(std::size(kValueKindOf) == std::size_t(ColumnKind::kOther) + 1);

std::string CalendarText(sys_days day, long seconds) {
  const year_month_day date{day};
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", int(date.year()),
                     unsigned(date.month()), unsigned(date.day()), seconds / 3600,
                     seconds / 60 % 60, seconds % 60);
}

// The program's value as mdb-export writes it with the options of ExportCommand: numbers in
// digits, currency with four decimals, dates as yyyy-mm-dd hh:mm:ss, yes/no as 0/1.
std::string ProgramForm(const Value& value) {
  switch (value.Kind()) {
    case ValueKind::kNull:
      return std::string(kNull);
    case ValueKind::kInteger:
      return std::to_string(value.AsInteger());
    case ValueKind::kLong:
      return std::to_string(value.AsLong());
    case ValueKind::kDouble:
      return fmt::format("{:.17g}", value.AsDouble());
    case ValueKind::kCurrency: {
      const std::int64_t amount = value.AsCurrency().ten_thousandths;
      const std::uint64_t magnitude = amount < 0 ? 0 - std::uint64_t(amount) : amount;
      return fmt::format("{}{}.{:04}", amount < 0 ? "-" : "", magnitude / Currency::kScale,
                         magnitude % Currency::kScale);
    }
    case ValueKind::kDate: {
      // OLE days: before day 0 the time of day still counts forwards from midnight.
      const double days = value.AsDate().ole_days;
      const double whole = std::trunc(days);
      return CalendarText(sys_days{DayFromNumber(std::int32_t(whole))},
                          std::lround(std::fabs(days - whole) * 86400));
    }
    case ValueKind::kBoolean:
      return value.AsBoolean() ? "1" : "0";
    case ValueKind::kText:
      return value.AsText();
  }
  return "?";
}

// mdb-export's field in the same form. Its dates are read with day 0 of a month allowed, as the
// day before the 1st: that is what MDB Tools gives for the dates it cannot read (see below).
std::string ExportForm(const CsvField& field, ColumnKind kind) {
  if (field.text.empty() && !field.quoted) {
    return std::string(kNull);
  }
  int y = 0;
  unsigned mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (kind == ColumnKind::kDate &&
      std::sscanf(field.text.c_str(), "%d-%u-%u %u:%u:%u", &y, &mo, &d, &h, &mi, &s) == 6) {
    return CalendarText(sys_days{year{y} / month{mo} / 1} + days{d} - days{1},
                        long(h) * 3600 + mi * 60 + s);
  }
  return field.text;
}

// Doubles (Jet's Single and Double) as numbers: mdb-export writes a Single with the digits a
// float has (0.15000001), the program holds it widened to a double.
bool Same(ColumnKind kind, const std::string& program, const std::string& exported) {
  if (kind != ColumnKind::kDouble || program == kNull || exported == kNull) {
    return program == exported;
  }
  const double a = std::strtod(program.c_str(), nullptr);
  const double b = std::strtod(exported.c_str(), nullptr);
  return std::fabs(a - b) <= 1e-6 * std::max(std::fabs(a), std::fabs(b));
}

// --- The files -----------------------------------------------------------------------------------

const std::vector<std::string> kFiles = {"nwind.mdb", "DateTestDatabase.mdb"};

class OdbcJetReadTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(folder_)) {
      GTEST_SKIP() << "no folder of Jet test files at " << folder_
                   << "; ZAV5_JET_DIR may name the folder that holds " << kFiles[0] << " and "
                   << kFiles[1];
    }
  }

  // Why the driver or mdb-export cannot be used here; empty when both can.
  static std::string MissingTool() {
    if (odbc::DriverInstalled("MDBTools") != true) {
      return "the MDB Tools ODBC driver \"MDBTools\" (odbc-mdbtools) is not installed";
    }
    if (!Output("mdb-export --version >/dev/null 2>&1")) {
      return "mdb-export (mdbtools) is not installed";
    }
    return {};
  }

  static std::filesystem::path Folder() {
    const char* named = std::getenv("ZAV5_JET_DIR");
    return named != nullptr && *named != '\0'
               ? std::filesystem::path(named)
               : std::filesystem::path(ZAV5_SOURCE_DIR) / ".." / "shared" / "jet";
  }

  static EngineOptions ThroughMdbTools() {
    EngineOptions options;
    // As a site would give it with --odbc. MDB Tools reads "DBQ" only in capitals.
    options.odbc_connection = "Driver=MDBTools;DBQ={path};";
    return options;
  }

  // Compares every row of `table` that the program reads with what mdb-export gives.
  void CompareTable(const std::string& file, const std::string& table) {
    const std::string where = fmt::format("{}, table {}", file, table);
    const std::optional<std::string> csv = Output(fmt::format(
        "mdb-export -q '\"' -X '\"' -b strip -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' {} {}",
        ShellWord((folder_ / file).string()), ShellWord(table)));
    ASSERT_TRUE(csv.has_value()) << "mdb-export failed on " << where;
    const std::vector<CsvRecord> records = ParseCsv(*csv);
    ASSERT_FALSE(records.empty()) << where;
    const CsvRecord& header = records[0];

    std::shared_ptr<Database> database = engine_.OpenDatabase("C:\\" + file);
    const std::vector<Column> catalog = database->connection().TableColumns(table);
    ASSERT_EQ(catalog.size(), header.size()) << where;
    Recordset rows(database, "SELECT * FROM [" + table + "]");
    for (std::size_t c = 0; c < header.size(); ++c) {
      EXPECT_EQ(catalog[c].name, header[c].text) << where;
      EXPECT_EQ(catalog[c].kind, rows.FieldColumn(header[c].text).kind)
          << where << ", column " << header[c].text << ": the catalog and the query disagree";
      // Jet's OLE objects (pictures) are binary, for which the program has no kind: it takes the
      // driver's text, and MDB Tools gives an empty one (libmdb has no text for binary data).
      // There is nothing to compare them with.
      if (catalog[c].kind == ColumnKind::kOther) {
        skipped_.push_back(fmt::format("{} {}.{}", file, table, header[c].text));
      }
    }

    int differences = 0;
    std::size_t row = 1;
    for (; !rows.Eof() && row < records.size() && differences < 10; rows.MoveNext(), ++row) {
      ASSERT_EQ(records[row].size(), header.size()) << where << ", row " << row;
      for (std::size_t c = 0; c < header.size(); ++c) {
        const Column& column = catalog[c];
        if (column.kind == ColumnKind::kOther) {
          continue;
        }
        const Value& value = rows.Field(column.name);
        const std::string program = ProgramForm(value);
        const std::string exported = ExportForm(records[row][c], column.kind);
        if ((!value.IsNull() && value.Kind() != kValueKindOf[std::size_t(column.kind)]) ||
            !Same(column.kind, program, exported)) {
          ++differences;
          ADD_FAILURE() << where << ", row " << row << ", column " << column.name
                        << ": the program gives " << Describe(value) << " (" << program
                        << "), mdb-export " << exported;
        }
      }
    }
    if (differences == 0) {
      EXPECT_TRUE(rows.Eof() && row == records.size())
          << where << ": the program and mdb-export give different numbers of rows";
    }
  }

  std::filesystem::path folder_ = Folder();
  platform::HostEnv env_{platform::DriveMap{{'C', folder_}}};
  DbEngine engine_{env_, ThroughMdbTools()};
  std::vector<std::string> skipped_;
};

TEST_F(OdbcJetReadTest, FilesAreJetByTheirSignature) {
  for (const std::string& file : kFiles) {
    EXPECT_EQ(ReadSignature((folder_ / file).string()), FileSignature::kJet) << file;
  }
}

TEST_F(OdbcJetReadTest, EveryTableReadsAsMdbExportGivesIt) {
  if (const std::string missing = MissingTool(); !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  for (const std::string& file : kFiles) {
    const std::optional<std::string> listing =
        Output("mdb-tables -1 " + ShellWord((folder_ / file).string()));
    ASSERT_TRUE(listing.has_value()) << "mdb-tables failed on " << file;
    std::istringstream tables(*listing);
    int count = 0;
    for (std::string table; std::getline(tables, table); ++count) {
      SCOPED_TRACE(file + ", table " + table);
      CompareTable(file, table);
    }
    EXPECT_GT(count, 0) << file;
  }
  EXPECT_EQ(skipped_, (std::vector<std::string>{"nwind.mdb Categories.Picture",
                                                "nwind.mdb Employees.Photo"}));
}

TEST_F(OdbcJetReadTest, AccentsAndDatesAsTheFilesHoldThem) {
  if (const std::string missing = MissingTool(); !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  Recordset customer(engine_.OpenDatabase("C:\\nwind.mdb"),
                     "SELECT * FROM Customers WHERE CustomerID = 'BERGS'");
  ASSERT_FALSE(customer.Eof());
  EXPECT_EQ(customer.Field("CompanyName"), Value::Text("Berglunds snabbköp"));
  EXPECT_EQ(customer.Field("City"), Value::Text("Luleå"));

  // Row 3 holds 1 January 1898, 1899 and 1900 (row 2 holds 9999, row 4 years 632 to 634). MDB
  // Tools 1.0.0 (libmdb's mdb_date_to_tm) leaves every date before 30 December 1899 or past day
  // 1000000 as a zeroed struct tm, "1900-01-00": so mdb-export writes it, and so the driver gives
  // the timestamp, which the program reads as the day before 1 January 1900, day 1. The comparison
  // with mdb-export above expects that too; this check fails once MDB Tools reads them right.
  Recordset dates(engine_.OpenDatabase("C:\\DateTestDatabase.mdb"),
                  "SELECT * FROM DateTest WHERE IDCol = 3");
  ASSERT_FALSE(dates.Eof());
  EXPECT_EQ(dates.Field("DateTimeCol"), Value::Day(Date{1}));
  EXPECT_EQ(dates.Field("TimeCol"), Value::Day(Date{2}));
}

// MDB Tools answers SQLStatistics with success and no columns, and takes a parameter's binding
// only to fail at execute: the program reads all the same, and what needs the missing parts says
// why it cannot, never crashes in the driver.
TEST_F(OdbcJetReadTest, WhatTheDriverLacksIsAnErrorThatSaysSoNotACrash) {
  if (const std::string missing = MissingTool(); !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  std::shared_ptr<Database> database = engine_.OpenDatabase("C:\\nwind.mdb");
  Connection& connection = database->connection();
  const std::string index =
      test::DatabaseErrorOf([&] { connection.IndexColumns("Customers", "PrimaryKey"); });
  EXPECT_NE(index.find("non ha l'indice PrimaryKey"), std::string::npos) << index;

  const std::string seek = test::DatabaseErrorOf(
      [&] { connection.Seek("Customers", {"CustomerID"}, {Value::Text("BERGS")}); });
  EXPECT_NE(seek.find("non accetta parametri"), std::string::npos) << seek;

  Recordset customer(database, "SELECT * FROM Customers WHERE CustomerID = 'BERGS'");
  ASSERT_FALSE(customer.Eof());
  const std::string edit = test::DatabaseErrorOf([&] { customer.Edit(); });
  EXPECT_NE(edit.find("non accetta parametri"), std::string::npos) << edit;
}

}  // namespace
}  // namespace zav5::data
