#include "window/semafori.h"

#include <string_view>

#include <fmt/format.h>

#include "data/field_reading.h"
#include "data/recordset.h"
#include "errors.h"

namespace zav5::window {

namespace {

// Reading and clearing send the engine texts a trailing blank apart; each goes out exactly as
// written here.
constexpr std::string_view kReadQuery = "SELECT * FROM Semafori ";
constexpr std::string_view kResetQuery = "SELECT * FROM Semafori";

constexpr std::string_view kTable = "Semafori";
constexpr std::string_view kField = "Flag1";

// The path of till `NumeroCassa`'s database. Throws RangeError for a number without an entry.
const std::string& TillPath(const Tills& casse, std::int16_t NumeroCassa) {
  if (NumeroCassa < 0 || static_cast<std::size_t>(NumeroCassa) >= casse.PercorsiCasse.size()) {
    throw RangeError(fmt::format("numero di cassa {} fuori intervallo: le casse vanno da 0 a {}",
                                 NumeroCassa, casse.PercorsiCasse.size() - 1));
  }
  return casse.PercorsiCasse[static_cast<std::size_t>(NumeroCassa)];
}

// Points the data source at till `NumeroCassa`'s database with `sql`, hidden, and opens it.
// Returns its recordset, or nothing after telling the operator that the till's table is empty.
data::Recordset* OpenSemaphore(Tills& casse, std::int16_t NumeroCassa, std::string_view sql) {
  const std::string& path = TillPath(casse, NumeroCassa);
  casse.Semafori.DatabaseName = path;
  casse.Semafori.RecordSource = std::string(sql);
  casse.Semafori.Visible = false;
  casse.Semafori.Refresh();
  data::Recordset& flags = casse.Semafori.Recordset();
  if (flags.Eof()) {
    casse.env.MessageBox(fmt::format("Semaforo cassa {} non inizializzato!", NumeroCassa), "ZAV5");
    return nullptr;
  }
  flags.MoveFirst();
  return &flags;
}

bool IsFree(std::int16_t flag) {
  return flag == 0 || flag == 2;
}

}  // namespace

std::int16_t LeggiSemaforo(Tills& casse, std::int16_t NumeroCassa) {
  data::Recordset* flags = OpenSemaphore(casse, NumeroCassa, kReadQuery);
  if (flags == nullptr) {
    return 0;
  }
  return IsFree(data::FieldInteger(*flags, kTable, kField)) ? 0 : 1;
}

std::int16_t AzzeraSemaforo(Tills& casse, std::int16_t NumeroCassa) {
  // The one place in the program that swallows every error. Clearing a till's flag is a tidy-up
  // that the caller cannot act on when it fails (a till switched off, its share unreachable, a
  // table never set up): the flag simply stays as it was and the next call tries again. So
  // nothing of the failure, not even its kind, is allowed to reach the caller's work.
  try {
    data::Recordset* flags = OpenSemaphore(casse, NumeroCassa, kResetQuery);
    if (flags != nullptr && IsFree(data::FieldInteger(*flags, kTable, kField))) {
      flags->Edit();
      // Edit reads the row again: a till that turned busy since the first read keeps its flag.
      if (!IsFree(data::FieldInteger(*flags, kTable, kField))) {
        flags->CancelUpdate();
        return 0;
      }
      flags->SetField(kField, data::Value::Integer(0));
      flags->Update();
    }
  } catch (...) {
  }
  return 0;
}

std::int16_t ControllaSemaforo(std::int16_t /*NumeroCassa*/) {
  return 0;
}

}  // namespace zav5::window
