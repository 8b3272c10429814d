#include "support/motore_di_prova.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace zav5::test {

data::OpzioniMotore MotoreDiProva() {
  data::OpzioniMotore opzioni;
  const char* odbc = std::getenv("ZAV5_PROVA_ODBC");
  if (odbc == nullptr || *odbc == '\0') {
    return opzioni;
  }
  std::string testo = odbc;
  // "...:access": the driver with what Access's lacks hidden from the backend.
  constexpr std::string_view kComeAccess = ":access";
  if (testo.ends_with(kComeAccess)) {
    testo.resize(testo.size() - kComeAccess.size());
    opzioni.profilo_odbc = data::DriverProfile::kAccess;
  }
  // A driver's name alone stands for the SQLite ODBC driver's connection string (CTest's
  // environment cannot carry the ";" of a full one).
  opzioni.connessione_odbc = testo.find("{path}") != std::string::npos
                                 ? testo
                                 : "Driver=" + testo + ";Database={path};Timeout=5000;NoCreat=1;";
  return opzioni;
}

bool ProvaSuOdbc() {
  return !MotoreDiProva().connessione_odbc.empty();
}

}  // namespace zav5::test
