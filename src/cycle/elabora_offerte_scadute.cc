#include "cycle/elabora_offerte_scadute.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include <fmt/core.h>

#include "data/field_reading.h"
#include "data/value.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "labels/outbox.h"
#include "offers/disattiva.h"
#include "platform/case_fold.h"

namespace zav5::cycle {

namespace {

using data::Recordset;
using data::Value;

constexpr std::string_view kNoDatabaseNameError = "ERRORE :NOME DB NON ESISTE....";

std::string FieldAsText(const Value& value) {
  return value.IsNull() ? "Null" : value.ToText();
}

// The offer of the current row as the operator knows it, "101/2026": for the log and for the
// rotation. Built from the stored values, so that a row whose number cannot be read is still
// named (and passed over in its turn).
std::string OfferName(const Recordset& offer) {
  return FieldAsText(offer.Field("numero")) + "/" + FieldAsText(offer.Field("anno"));
}

// Moves to the offer whose turn it is and returns its name.
std::string GoToOfferInTurn(Recordset& offerte, OfferTurn& offer_turn) {
  std::vector<std::string> scadute;
  for (offerte.MoveFirst(); !offerte.Eof(); offerte.MoveNext()) {
    scadute.push_back(OfferName(offerte));
  }
  const std::size_t scelta = offer_turn.Choose(scadute);
  offerte.MoveFirst();
  for (std::size_t i = 0; i < scelta; ++i) {
    offerte.MoveNext();
  }
  return scadute[scelta];
}

// An offer's state as the store's engine compares it, without regard to letter case: the scan's
// query finds "a" as well as "A".
bool StateIs(const Value& stato, std::string_view lettera) {
  return !stato.IsNull() && platform::EqualsIgnoringCase(stato.ToText(), lettera);
}

// Reads the offer's row again inside the transaction: another program of the suite may have
// closed or extended the offer since the query ran, and then it is not taken off the shelves.
bool StillExpired(Recordset& offer, std::int32_t today) {
  offer.Edit();
  offer.CancelUpdate();
  return StateIs(offer.Field("stato"), "A") && data::FieldDouble(offer, "offte", "data2") < today;
}

// Undoes the transaction. A connection that cannot roll back (its link to the file is broken,
// say) is closed instead: the engine undoes what a closed connection left unfinished. Every data
// source lets go of it, so that the next cycle opens a new one.
void Undo(CycleContext& cycle_context, data::Database& database) noexcept {
  try {
    if (database.connection().InTransaction()) {
      database.Rollback();
    }
    return;
  } catch (const std::exception&) {
    // Falls through to closing the connection.
  }
  cycle_context.work.sources().CloseAll();
  cycle_context.work.engine().CloseAll();
}

// Settles the label files made for the offer after a failed transaction. The store database
// decides on a connection of its own whether the offer committed, as after a commit whose outcome
// is not known: committed, they are owed; not committed, they go; when it cannot tell, they stay
// prepared for a later cycle to settle. Returns the database's answer.
std::optional<bool> SettleDeliveriesAfterError(CycleContext& cycle_context, std::int32_t numero,
                                               std::int32_t anno) noexcept {
  const std::optional<bool> disattivata = OfferDeactivated(cycle_context, numero, anno);
  try {
    labels::Outbox& outbox = cycle_context.outbox;
    const std::string& store = cycle_context.work.store_context().PercorsoDati;
    if (disattivata == true) {
      outbox.Confirm(store, numero, anno);
    } else if (disattivata == false) {
      outbox.Discard(store, numero, anno);
    }
  } catch (const std::exception&) {
    // Left prepared: the next cycle settles them.
  }
  return disattivata;
}

}  // namespace

std::optional<bool> OfferDeactivated(CycleContext& cycle_context, std::int32_t numero,
                                     std::int32_t anno) {
  try {
    // Within the cycle's bound: the new connection waits only for the time the cycle has left.
    data::EngineOptions options = cycle_context.work.engine().Options();
    if (const auto rimasto = cycle_context.work.engine().TimeLeft()) {
      options.lock_wait = std::max(std::chrono::milliseconds{0},
                                   std::chrono::ceil<std::chrono::milliseconds>(*rimasto));
    }
    data::DbEngine engine_options(cycle_context.work.env(), std::move(options));
    data::DataSource offer(engine_options, "verifica", "verifica");
    offer.DatabaseName = cycle_context.work.store_context().PercorsoDati;
    offer.RecordSource =
        fmt::format("SELECT * FROM offte WHERE numero = {} AND anno = {}", numero, anno);
    offer.Refresh();
    Recordset& line = offer.Recordset();
    return !line.Eof() && StateIs(line.Field("stato"), "D");
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string ExpiredOffersQuery(std::int32_t today) {
  return "select * from offte where  data2 < " + std::to_string(today) + "  and stato = 'A' ";
}

std::int32_t ScanDayNumber(platform::Env& env,
                           const std::optional<std::chrono::year_month_day>& today) {
  if (today) {
    return data::DayNumber(*today);
  }
  return data::DayNumber(
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env.Now())});
}

CycleOutcome ElaboraOfferteScadute(CycleContext& cycle_context) {
  if (cycle_context.work.store_context().PercorsoDati.empty()) {
    cycle_context.log.ScriviRiga(kNoDatabaseNameError);
    cycle_context.Timer2.SetEnabled(true);
    return CycleOutcome::kNoStoreDatabase;
  }
  const std::int32_t today = ScanDayNumber(cycle_context.work.env(), cycle_context.today);
  const TimerPause fermo(cycle_context.Timer2);

  // From the scan's query to the commit or the rollback, every wait for another program's lock
  // (the commit's and the cache spills' included) shares one bound, `lock_wait`. Within a
  // whole cycle (RunCycle) the bound began already and goes on over the hand-over.
  const data::CycleWaitBound limite = cycle_context.work.engine().BoundWaits();
  Recordset& offerte =
      cycle_context.work.PointSource("var2", ExpiredOffersQuery(today)).Recordset();
  if (offerte.Eof()) {
    return CycleOutcome::kNoOffer;
  }
  const std::string offer = GoToOfferInTurn(offerte, cycle_context.offer_turn);

  // The offer's whole change is one transaction on the store database's one connection, which
  // every data source and cursor of the work below shares: the restored articles and EAN rows,
  // listipro, the offer rows, the supplier codes the label writer stores, and the offer's "D".
  // The import files are made inside the transaction too, into the outbox; they reach the label
  // systems after the commit (HandOverLabels).
  const std::shared_ptr<data::Database> database =
      cycle_context.work.engine().OpenDatabase(cycle_context.work.store_context().PercorsoDati);
  labels::Outbox& outbox = cycle_context.outbox;
  const std::string& store = cycle_context.work.store_context().PercorsoDati;
  std::optional<std::pair<std::int32_t, std::int32_t>> prepared_at;
  try {
    database->BeginTrans();
    if (!StillExpired(offerte, today)) {
      database->Rollback();
      return CycleOutcome::kNoOffer;
    }
    std::int32_t data1 = data::FieldLong(offerte, "offte", "data1");
    std::int32_t data2 = data::FieldLong(offerte, "offte", "data2");
    std::int32_t numero = data::FieldLong(offerte, "offte", "numero");
    std::int32_t anno = data::FieldLong(offerte, "offte", "anno");
    // Files of an earlier attempt that did not commit must never go out beside these.
    outbox.Discard(store, numero, anno);
    prepared_at.emplace(numero, anno);
    offers::Disattiva(cycle_context.work, cycle_context.outbox, numero, anno, data1, data2);

    offerte.Edit();
    offerte.SetField("stato", Value::Text("D"));
    offerte.Update();
    database->CommitTrans();
  } catch (const std::exception& error) {
    Undo(cycle_context, *database);
    const std::optional<bool> disattivata =
        prepared_at
            ? SettleDeliveriesAfterError(cycle_context, prepared_at->first, prepared_at->second)
            : false;
    if (disattivata == true) {
      // The commit reached the file although it reported a failure.
      cycle_context.offer_turn.Succeeded(offer);
      throw Error(fmt::format(
          "offerta {}: la conferma ha segnalato un errore, ma l'offerta risulta disattivata e le "
          "sue etichette partono: {}",
          offer, error.what()));
    }
    cycle_context.offer_turn.Failed(offer);
    if (!disattivata) {
      throw Error(fmt::format(
          "offerta {}: esito incerto (il database non si legge ora), sarà verificato al prossimo "
          "ciclo: {}",
          offer, error.what()));
    }
    throw Error(
        fmt::format("offerta {} non disattivata, modifiche annullate: {}", offer, error.what()));
  }
  // Committed: the files are owed. Were they not recorded as such now (a full disk), the next
  // cycle asks the database and finds the offer deactivated.
  try {
    outbox.Confirm(store, prepared_at->first, prepared_at->second);
  } catch (const Error&) {
    // Settled by the next cycle, as above.
  }
  cycle_context.offer_turn.Succeeded(offer);
  return CycleOutcome::kOfferDeactivated;
}

}  // namespace zav5::cycle
