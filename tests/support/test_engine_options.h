// The database engine the scenario tests run on. By default the program's own choice (SQLite
// files opened directly); with ZAV5_PROVA_ODBC set to an ODBC connection string holding "{path}",
// or to the name of the SQLite ODBC driver ("SQLite3"), every database goes through ODBC instead,
// so that the same scenarios check the ODBC backend. With ":access" after it ("SQLite3:access") the
// backend does without what Microsoft's Access driver lacks (see DriverProfile::kAccess).
#pragma once

#include "data/database.h"

namespace zav5::test {

data::EngineOptions TestEngineOptions();

// True when the tests run through ODBC.
bool TestsRunOnOdbc();

}  // namespace zav5::test
