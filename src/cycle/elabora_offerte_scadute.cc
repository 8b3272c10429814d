#include "cycle/elabora_offerte_scadute.h"

#include <fmt/core.h>

#include <exception>
#include <memory>
#include <vector>

#include "data/field_reading.h"
#include "data/value.h"
#include "errors.h"
#include "offers/disattiva.h"

namespace zav5::cycle {

namespace {

using data::Recordset;
using data::Value;

constexpr std::string_view kNomeDbNonEsiste = "ERRORE :NOME DB NON ESISTE....";

// Stops the timer while the scan works; starts a fresh interval when the scan leaves, whichever
// way it leaves, so that the cycles go on after an error.
class TimerFermo {
 public:
  explicit TimerFermo(Timer& timer) : timer_(timer) { timer_.SetEnabled(false); }
  ~TimerFermo() { timer_.SetEnabled(true); }
  TimerFermo(const TimerFermo&) = delete;
  TimerFermo& operator=(const TimerFermo&) = delete;

 private:
  Timer& timer_;
};

std::string TestoCampo(const Value& value) {
  return value.IsNull() ? "Null" : value.ToText();
}

// The offer of the current row as the operator knows it, "101/2026": for the log and for the
// rotation. Built from the stored values, so that a row whose number cannot be read is still
// named (and passed over in its turn).
std::string NomeOfferta(const Recordset& offerta) {
  return TestoCampo(offerta.Field("numero")) + "/" + TestoCampo(offerta.Field("anno"));
}

// Moves to the offer whose turn it is and returns its name.
std::string VaiAllOffertaDiTurno(Recordset& offerte, TurnoOfferte& turno) {
  std::vector<std::string> scadute;
  for (offerte.MoveFirst(); !offerte.Eof(); offerte.MoveNext()) {
    scadute.push_back(NomeOfferta(offerte));
  }
  const std::size_t scelta = turno.Scegli(scadute);
  offerte.MoveFirst();
  for (std::size_t i = 0; i < scelta; ++i) {
    offerte.MoveNext();
  }
  return scadute[scelta];
}

// Reads the offer's row again inside the transaction: another program of the suite may have
// closed or extended the offer since the query ran, and then it is not taken off the shelves.
bool AncoraScaduta(Recordset& offerta, std::int32_t oggi) {
  offerta.Edit();
  offerta.CancelUpdate();
  const Value& stato = offerta.Field("stato");
  return !stato.IsNull() && stato.ToText() == "A" &&
         data::FieldDouble(offerta, "offte", "data2") < oggi;
}

// Undoes the transaction. A connection that cannot roll back (its link to the file is broken,
// say) is closed instead: the engine undoes what a closed connection left unfinished. Every data
// source lets go of it, so that the next cycle opens a new one.
void Annulla(Ciclo& ciclo, data::Database& database) noexcept {
  try {
    if (database.connection().InTransaction()) {
      database.Rollback();
    }
    return;
  } catch (const std::exception&) {
    // Falls through to closing the connection.
  }
  ciclo.finestra.sorgenti.CloseAll();
  ciclo.finestra.engine.CloseAll();
}

}  // namespace

std::string TestoOfferteScadute(std::int32_t oggi) {
  return "select * from offte where  data2 < " + std::to_string(oggi) + "  and stato = 'A' ";
}

std::int32_t GiornoScansione(platform::Env& env,
                             const std::optional<std::chrono::year_month_day>& oggi) {
  if (oggi) {
    return data::DayNumber(*oggi);
  }
  return data::DayNumber(
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env.Now())});
}

EsitoCiclo ElaboraOfferteScadute(Ciclo& ciclo) {
  if (ciclo.contesto.PercorsoDati.empty()) {
    ciclo.log.ScriviRiga(kNomeDbNonEsiste);
    ciclo.Timer2.SetEnabled(true);
    return EsitoCiclo::kDatabaseMancante;
  }
  const std::int32_t oggi = GiornoScansione(ciclo.finestra.env, ciclo.oggi);
  const TimerFermo fermo(ciclo.Timer2);

  // From the scan's query to the commit or the rollback, every wait for another program's lock
  // (the commit's and the cache spills' included) shares one bound, `attesa_blocchi`.
  const data::LimiteAttese limite = ciclo.finestra.engine.LimitaAttese();
  Recordset& offerte =
      labels::PuntaSorgente(ciclo.finestra, "var2", TestoOfferteScadute(oggi)).Recordset();
  if (offerte.Eof()) {
    return EsitoCiclo::kNessunaOfferta;
  }
  const std::string offerta = VaiAllOffertaDiTurno(offerte, ciclo.turno);

  // The offer's whole change is one transaction on the store database's one connection, which
  // every data source and cursor of the work below shares: the restored articles and EAN rows,
  // listipro, the offer rows, the supplier codes the label writer stores, and the offer's "D".
  const std::shared_ptr<data::Database> database =
      ciclo.finestra.engine.OpenDatabase(ciclo.contesto.PercorsoDati);
  try {
    database->BeginTrans();
    if (!AncoraScaduta(offerte, oggi)) {
      database->Rollback();
      return EsitoCiclo::kNessunaOfferta;
    }
    std::int32_t data1 = data::FieldLong(offerte, "offte", "data1");
    std::int32_t data2 = data::FieldLong(offerte, "offte", "data2");
    std::int32_t numero = data::FieldLong(offerte, "offte", "numero");
    std::int32_t anno = data::FieldLong(offerte, "offte", "anno");
    offers::Disattiva(ciclo.finestra, numero, anno, data1, data2);

    offerte.Edit();
    offerte.SetField("stato", Value::Text("D"));
    offerte.Update();
    database->CommitTrans();
  } catch (const std::exception& error) {
    Annulla(ciclo, *database);
    ciclo.turno.Fallita(offerta);
    throw Errore(
        fmt::format("offerta {} non disattivata, modifiche annullate: {}", offerta, error.what()));
  }
  ciclo.turno.Riuscita(offerta);
  return EsitoCiclo::kOffertaDisattivata;
}

}  // namespace zav5::cycle
