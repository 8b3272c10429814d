#include "support/test_engine_options.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace zav5::test {

data::EngineOptions TestEngineOptions() {
  data::EngineOptions options;
  const char* odbc = std::getenv("ZAV5_PROVA_ODBC");
  if (odbc == nullptr || *odbc == '\0') {
    return options;
  }
  std::string testo = odbc;
  // "...:access": the driver with what Access's lacks hidden from the backend.
  constexpr std::string_view kComeAccess = ":access";
  if (testo.ends_with(kComeAccess)) {
    testo.resize(testo.size() - kComeAccess.size());
    options.odbc_profile = data::DriverProfile::kAccess;
  }
  // A driver's name alone stands for the SQLite ODBC driver's connection string (CTest's
  // environment cannot carry the ";" of a full one).
  options.odbc_connection = testo.find("{path}") != std::string::npos
                                ? testo
                                : "Driver=" + testo + ";Database={path};Timeout=5000;NoCreat=1;";
  return options;
}

bool TestsRunOnOdbc() {
  return !TestEngineOptions().odbc_connection.empty();
}

}  // namespace zav5::test
