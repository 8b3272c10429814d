// An ODBC data source behind the Connection interface: the store's Access files through the Access
// driver on Windows, any ODBC driver elsewhere (the tests use Debian's SQLite driver).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/backend.h"
#include "data/lock_waits.h"
#include "data/odbc/driver_profile.h"

namespace zav5::data {

// An ODBC connection, shared by every data source of one database file.
//
// The driver as it is. At connect SQLGetFunctions says which catalog calls it has, and a driver
// that does not count "?" markers (SQLNumParams) is tried with one: MDB Tools takes a binding and
// fails at execute. A driver without parameters can read a table's rows; a statement that needs
// them (Seek, Fetch, a change) fails with a DatabaseError that says so. The result of every
// catalog call is checked for the columns read from it before a row is fetched: MDB Tools answers
// SQLStatistics and SQLSpecialColumns with success and no columns, and fetching from that crashes
// in the driver. Such a call counts as missing from then on (no indexes, no row id); a driver
// that cannot list tables or columns is an error.
//
// Rows. A "SELECT * FROM <one table> ..." (see ParseSelectAllFrom) gives rows that can be changed;
// every other text is run as given and its rows cannot. A row is found again through its RowKey,
// whose `values` take one of two forms:
//  - key form: the values of the table's key columns, in the key's order. The key is the primary
//    key (SQLPrimaryKeys; where the driver has no such call, the unique index named PrimaryKey),
//    else the first unique index (SQLStatistics).
//  - full form: the values of every column of the table, the key's columns first (in the key's
//    order) and then the others in the table's order. Used for a table without a key, and for a
//    row whose key has a Null part (which several rows may share). A table without a key whose
//    driver names a row-id pseudo-column (SQLSpecialColumns; SQLite's _ROWID_) has it selected
//    after its columns ("SELECT *, _ROWID_ FROM ..."), and the key's `rowid` holds it: the row is
//    found by it at once, and its values are still matched. Otherwise `rowid` is 0.
//  A key holds a value as the driver gave it, so that bound back it compares equal to what is
//  stored: a currency amount with more than four decimals (written by another program into a
//  SQLite file) stays its text.
//
// Changing a row. Update and Delete find the row by its key: in full form by every original value
// ("col IS NULL" for Nulls), and by the row id where there is one, so that a row another program
// changed since it was read is not found and is reported as such (DatabaseError: the row is gone
// or was changed by another program), never overwritten. Rows of a table without a key may be
// equal in every column. Plain SQL cannot change one of them alone (a row id can), and refusing
// would stop the program on lists that hold repeats (the numbers of listipro), so such a change
// counts the equal rows first, then deletes them all and adds back all but one (with the change,
// for an Update): indistinguishable rows are interchangeable (only their order in the table
// changes). That runs in a transaction of its own, or in the caller's: a failure midway then
// leaves the caller's transaction to be rolled back.
//
// Adding a row. Insert gives the key from the key columns written; without them it reads the row
// back: by last_insert_rowid() from SQLite, a counter by @@IDENTITY from Access. A table without
// a key whose every column was written has the full form of what was written; elsewhere the row
// is the first that holds the values written.
//
// Queries. A table's "SELECT *" is prepared once for its shape (ShapeOf), its literals bound as
// parameters, where the driver takes them: the texts that differ only in their literals are one
// statement for the driver.
//
// Values. Integers, texts (in full, of any length, NUL characters included where the driver keeps
// them), doubles as SQL_C_DOUBLE, currency as text (exact to the fourth decimal), yes/no as -1/0,
// dates as OLE day numbers through SQL_TIMESTAMP_STRUCT, rounded to the second.
//
// A SQLite database (SQL_DBMS_NAME "SQLite") is a file the SQLite backend reads too, so it keeps
// that backend's forms: dates are REAL day numbers both ways (the program's SQL compares them as
// numbers: "data2 < 46363"), and a column's kind comes from its declared type alone. The SQLite
// driver gives numbers back through their text with 15 significant digits, so a double (or a date
// with a time) is matched to a key within that precision. It keeps a text's NUL characters when
// one is stored, but gives the text back cut at the first NUL: thirty NULs come back as an empty
// text.
//
// Connects with SQLDriverConnect, never showing a dialog. `connection_string` goes to the driver
// as it is, so a lock wait (SQLite driver: "Timeout=5000") belongs there. During a processing
// cycle of `waits` (when given) each statement gets the time left of the cycle's bound as its
// query timeout, where the driver has one; the driver's own waits (its lock retries, the
// commit) are not bounded otherwise, and a stop is not looked for. Throws DatabaseError with
// the driver's SQLSTATE and message when the connection fails.
// `profile` says what the backend takes of the driver.
std::unique_ptr<Connection> OpenOdbcConnection(const std::string& connection_string,
                                               std::shared_ptr<LockWaits> waits = nullptr,
                                               DriverProfile profile = DriverProfile::kAsProbed);

namespace odbc {

// The name of the data source for messages: the file (Dbq, Database) or the DSN of a connection
// string, never its password; "ODBC" when it names none.
std::string DataSourceName(std::string_view connection_string);

}  // namespace odbc

}  // namespace zav5::data
