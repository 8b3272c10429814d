#include "cycle/elabora_offerte_scadute.h"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "data/field_reading.h"
#include "data/value.h"
#include "errors.h"
#include "labels/consegne.h"
#include "offers/disattiva.h"
#include "platform/case_fold.h"

namespace zav5::cycle {

namespace {

using data::Recordset;
using data::Value;

constexpr std::string_view kNomeDbNonEsiste = "ERRORE :NOME DB NON ESISTE....";

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

// An offer's state as the store's engine compares it, without regard to letter case: the scan's
// query finds "a" as well as "A".
bool StatoE(const Value& stato, std::string_view lettera) {
  return !stato.IsNull() && platform::EqualsIgnoringCase(stato.ToText(), lettera);
}

// Reads the offer's row again inside the transaction: another program of the suite may have
// closed or extended the offer since the query ran, and then it is not taken off the shelves.
bool AncoraScaduta(Recordset& offerta, std::int32_t oggi) {
  offerta.Edit();
  offerta.CancelUpdate();
  return StatoE(offerta.Field("stato"), "A") && data::FieldDouble(offerta, "offte", "data2") < oggi;
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
  ciclo.work.sources().CloseAll();
  ciclo.work.engine().CloseAll();
}

// Settles the label files made for the offer after a failed transaction. The store database
// decides on a connection of its own whether the offer committed, as after a commit whose outcome
// is not known: committed, they are owed; not committed, they go; when it cannot tell, they stay
// prepared for a later cycle to settle. Returns the database's answer.
std::optional<bool> SistemaConsegneDopoErrore(Ciclo& ciclo, std::int32_t numero,
                                              std::int32_t anno) noexcept {
  const std::optional<bool> disattivata = OffertaDisattivata(ciclo, numero, anno);
  try {
    labels::Consegne& consegne = ciclo.outbox;
    const std::string& negozio = ciclo.work.contesto().PercorsoDati;
    if (disattivata == true) {
      consegne.Conferma(negozio, numero, anno);
    } else if (disattivata == false) {
      consegne.Scarta(negozio, numero, anno);
    }
  } catch (const std::exception&) {
    // Left prepared: the next cycle settles them.
  }
  return disattivata;
}

}  // namespace

std::optional<bool> OffertaDisattivata(Ciclo& ciclo, std::int32_t numero, std::int32_t anno) {
  try {
    // Within the cycle's bound: the new connection waits only for the time the cycle has left.
    data::OpzioniMotore opzioni = ciclo.work.engine().Opzioni();
    if (const auto rimasto = ciclo.work.engine().TempoRimasto()) {
      opzioni.attesa_blocchi = std::max(std::chrono::milliseconds{0},
                                        std::chrono::ceil<std::chrono::milliseconds>(*rimasto));
    }
    data::DbEngine motore(ciclo.work.env(), std::move(opzioni));
    data::DataSource offerta(motore, "verifica", "verifica");
    offerta.DatabaseName = ciclo.work.contesto().PercorsoDati;
    offerta.RecordSource =
        fmt::format("SELECT * FROM offte WHERE numero = {} AND anno = {}", numero, anno);
    offerta.Refresh();
    Recordset& riga = offerta.Recordset();
    return !riga.Eof() && StatoE(riga.Field("stato"), "D");
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

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
  if (ciclo.work.contesto().PercorsoDati.empty()) {
    ciclo.log.ScriviRiga(kNomeDbNonEsiste);
    ciclo.Timer2.SetEnabled(true);
    return EsitoCiclo::kDatabaseMancante;
  }
  const std::int32_t oggi = GiornoScansione(ciclo.work.env(), ciclo.oggi);
  const TimerFermo fermo(ciclo.Timer2);

  // From the scan's query to the commit or the rollback, every wait for another program's lock
  // (the commit's and the cache spills' included) shares one bound, `attesa_blocchi`. Within a
  // whole cycle (EseguiCiclo) the bound began already and goes on over the hand-over.
  const data::LimiteAttese limite = ciclo.work.engine().LimitaAttese();
  Recordset& offerte = ciclo.work.PointSource("var2", TestoOfferteScadute(oggi)).Recordset();
  if (offerte.Eof()) {
    return EsitoCiclo::kNessunaOfferta;
  }
  const std::string offerta = VaiAllOffertaDiTurno(offerte, ciclo.turno);

  // The offer's whole change is one transaction on the store database's one connection, which
  // every data source and cursor of the work below shares: the restored articles and EAN rows,
  // listipro, the offer rows, the supplier codes the label writer stores, and the offer's "D".
  // The import files are made inside the transaction too, into the outbox; they reach the label
  // systems after the commit (ConsegnaEtichette).
  const std::shared_ptr<data::Database> database =
      ciclo.work.engine().OpenDatabase(ciclo.work.contesto().PercorsoDati);
  labels::Consegne& consegne = ciclo.outbox;
  const std::string& negozio = ciclo.work.contesto().PercorsoDati;
  std::optional<std::pair<std::int32_t, std::int32_t>> preparata;
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
    // Files of an earlier attempt that did not commit must never go out beside these.
    consegne.Scarta(negozio, numero, anno);
    preparata.emplace(numero, anno);
    offers::Disattiva(ciclo.work, ciclo.outbox, numero, anno, data1, data2);

    offerte.Edit();
    offerte.SetField("stato", Value::Text("D"));
    offerte.Update();
    database->CommitTrans();
  } catch (const std::exception& error) {
    Annulla(ciclo, *database);
    const std::optional<bool> disattivata =
        preparata ? SistemaConsegneDopoErrore(ciclo, preparata->first, preparata->second) : false;
    if (disattivata == true) {
      // The commit reached the file although it reported a failure.
      ciclo.turno.Riuscita(offerta);
      throw Errore(fmt::format(
          "offerta {}: la conferma ha segnalato un errore, ma l'offerta risulta disattivata e le "
          "sue etichette partono: {}",
          offerta, error.what()));
    }
    ciclo.turno.Fallita(offerta);
    if (!disattivata) {
      throw Errore(fmt::format(
          "offerta {}: esito incerto (il database non si legge ora), sarà verificato al prossimo "
          "ciclo: {}",
          offerta, error.what()));
    }
    throw Errore(
        fmt::format("offerta {} non disattivata, modifiche annullate: {}", offerta, error.what()));
  }
  // Committed: the files are owed. Were they not recorded as such now (a full disk), the next
  // cycle asks the database and finds the offer deactivated.
  try {
    consegne.Conferma(negozio, preparata->first, preparata->second);
  } catch (const Errore&) {
    // Settled by the next cycle, as above.
  }
  ciclo.turno.Riuscita(offerta);
  return EsitoCiclo::kOffertaDisattivata;
}

}  // namespace zav5::cycle
