#include "checks/preview.h"

#include <exception>

#include <fmt/core.h>

#include "checks/store_session.h"
#include "checks/store_text.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/data_source.h"
#include "data/field_reading.h"
#include "errors.h"
#include "labels/consegne.h"
#include "labels/finestra.h"
#include "offers/disattiva.h"
#include "platform/windows_path.h"

namespace zav5::checks {

namespace {

using OfferKey = std::pair<std::int32_t, std::int32_t>;

PreviewedRow Watched(const offers::RowOutcome& outcome) {
  PreviewedRow row;
  row.row = outcome.row;
  row.ean = outcome.ean;
  row.article = outcome.article;
  row.outcome = outcome.restored        ? PreviewedRow::Outcome::kRestored
                : outcome.in_price_list ? PreviewedRow::Outcome::kNotCovered
                                        : PreviewedRow::Outcome::kNotInPriceList;
  if (const data::RowEditor* article = outcome.price_list_row) {
    row.description = Shown(article->Field("desart"));
    row.regular_price = FormatPrice(article->Field("przpub"));
    row.promotional_price = FormatPrice(article->Field("przsal"));
    row.promotion = FormatPromotion(*article);
  }
  return row;
}

// The offers the cycles would take, in their order: the scan's.
std::vector<OfferKey> ExpiredOffers(labels::Finestra& finestra, std::int32_t today) {
  std::vector<OfferKey> keys;
  data::Recordset& offers =
      labels::PuntaSorgente(finestra, "var2", cycle::TestoOfferteScadute(today)).Recordset();
  for (; !offers.Eof(); offers.MoveNext()) {
    keys.emplace_back(data::FieldLong(offers, "offte", "numero"),
                      data::FieldLong(offers, "offte", "anno"));
  }
  return keys;
}

// The label files the deactivation made for the offer, from the outbox in memory.
std::vector<PreviewedFile> FilesMade(platform::MemEnv& memory, labels::Consegne& outbox,
                                     const std::string& store, const OfferKey& key,
                                     platform::LocalTime now) {
  std::vector<PreviewedFile> files;
  outbox.Conferma(store, key.first, key.second);
  for (const labels::Consegna& delivery : outbox.InAttesa(store)) {
    if (delivery.offerta != key.first || delivery.anno != key.second) {
      continue;
    }
    for (const labels::FileConsegna& file : delivery.file) {
      const std::string name = labels::NomeImport(delivery.sistema, file.tipo, now);
      files.push_back({labels::NomeSistema(delivery.sistema),
                       std::string(platform::ParseWindowsPath(name, 'c').Name()),
                       memory.FileBytes(outbox.PercorsoDati(delivery, file.tipo)).value_or("")});
    }
  }
  return files;
}

// Deactivates the offer as the cycle does, inside the open transaction.
void Deactivate(labels::Finestra& finestra, const OfferKey& key, PreviewedOffer& previewed) {
  previewed.number = key.first;
  previewed.year = key.second;
  previewed.offer = fmt::format("{}/{}", key.first, key.second);
  data::Recordset& offer =
      labels::PuntaSorgente(
          finestra, "var2",
          fmt::format("SELECT * FROM offte WHERE numero = {} AND anno = {}", key.first, key.second))
          .Recordset();
  if (offer.Eof()) {
    throw Errore(fmt::format("offerta {} non trovata in offte", previewed.offer));
  }
  previewed.description = Shown(offer.Field("descrizione"));
  previewed.state = Shown(offer.Field("stato"));
  const std::int32_t data1 = data::FieldLong(offer, "offte", "data1");
  const std::int32_t data2 = data::FieldLong(offer, "offte", "data2");
  previewed.first_day = data1;
  previewed.last_day = data2;
  offers::Disattiva(
      finestra, key.first, key.second, data1, data2,
      [&previewed](const offers::RowOutcome& row) { previewed.rows.push_back(Watched(row)); });
  // The offer's "D", as the cycle writes it: an offer after it sees the store as it would be.
  data::Recordset& again =
      labels::PuntaSorgente(
          finestra, "var2",
          fmt::format("SELECT * FROM offte WHERE numero = {} AND anno = {}", key.first, key.second))
          .Recordset();
  again.Edit();
  again.SetField("stato", data::Value::Text("D"));
  again.Update();
}

}  // namespace

PreviewResult RunPreview(platform::Env& env, const data::OpzioniMotore& motore,
                         const PreviewOptions& options) {
  PreviewResult result;
  StoreSession session(env, motore);
  result.store_found = session.lookup().StoreFound();
  if (!result.store_found) {
    result.error = session.lookup().problem;
    return result;
  }
  const std::string& store = session.store();
  labels::Finestra& finestra = session.finestra();
  const platform::LocalTime now = session.env().Now();
  result.today = session.ScanDay(options.today);
  std::shared_ptr<data::Database> database;
  try {
    database = session.engine().OpenDatabase(store);
    database->BeginTrans();
    const std::vector<OfferKey> keys = options.offer ? std::vector<OfferKey>{*options.offer}
                                                     : ExpiredOffers(finestra, result.today);
    for (const OfferKey& key : keys) {
      PreviewedOffer& previewed = result.offers.emplace_back();
      try {
        Deactivate(finestra, key, previewed);
      } catch (const std::exception& error) {
        throw Errore(fmt::format("offerta {} non disattivata, modifiche annullate: {}",
                                 previewed.offer, error.what()));
      }
      previewed.files = FilesMade(session.memory(), session.outbox(), store, key, now);
    }
  } catch (const std::exception& error) {
    result.error = error.what();
  }
  // Always undone. A connection that cannot roll back is closed, which undoes it as well.
  if (database) {
    try {
      if (database->connection().InTransaction()) {
        database->Rollback();
      }
    } catch (const std::exception&) {
      // Closed below.
    }
  }
  session.CloseAll();
  return result;
}

}  // namespace zav5::checks
