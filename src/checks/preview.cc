#include "checks/preview.h"

#include <exception>
#include <map>
#include <memory>

#include <fmt/core.h>

#include "checks/store_session.h"
#include "checks/store_text.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/data_source.h"
#include "data/field_reading.h"
#include "errors.h"
#include "labels/outbox.h"
#include "offers/disattiva.h"
#include "platform/windows_path.h"
#include "work/work_context.h"

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
std::vector<OfferKey> ExpiredOffers(work::WorkContext& work, std::int32_t today) {
  std::vector<OfferKey> keys;
  data::Recordset& offers = work.PointSource("var2", cycle::ExpiredOffersQuery(today)).Recordset();
  for (; !offers.Eof(); offers.MoveNext()) {
    keys.emplace_back(data::FieldLong(offers, "offte", "numero"),
                      data::FieldLong(offers, "offte", "anno"));
  }
  return keys;
}

void EmptyOutbox(platform::MemEnv& memory, const labels::Outbox& outbox) {
  memory.MakeFolder(outbox.Folder());
  memory.DeleteFiles(outbox.Folder() + "*.*");
}

// The label files the deactivation made for the offer, from the outbox in memory, which is
// emptied for the next offer.
std::vector<PreviewedFile> FilesMade(platform::MemEnv& memory, labels::Outbox& outbox,
                                     const std::string& store, const OfferKey& key,
                                     platform::LocalTime now) {
  std::vector<PreviewedFile> files;
  outbox.Confirm(store, key.first, key.second);
  for (const labels::Delivery& delivery : outbox.Pending(store)) {
    if (delivery.offer != key.first || delivery.anno != key.second) {
      continue;
    }
    for (const labels::DeliveryFile& file : delivery.file) {
      const std::string name = labels::ImportFileName(delivery.system, file.kind, now);
      files.push_back({labels::SystemName(delivery.system),
                       std::string(platform::ParseWindowsPath(name, 'c').Name()),
                       memory.FileBytes(outbox.DataFilePath(delivery, file.kind)).value_or("")});
    }
  }
  EmptyOutbox(memory, outbox);
  return files;
}

// Deactivates the offer as the cycle does, inside the open transaction. False when offte does
// not have it.
bool Deactivate(work::WorkContext& work, labels::Outbox& outbox, const OfferKey& key,
                PreviewedOffer& previewed) {
  previewed.number = key.first;
  previewed.year = key.second;
  previewed.offer = fmt::format("{}/{}", key.first, key.second);
  data::Recordset& offer =
      work.PointSource("var2", fmt::format("SELECT * FROM offte WHERE numero = {} AND anno = {}",
                                           key.first, key.second))
          .Recordset();
  if (offer.Eof()) {
    return false;
  }
  previewed.description = Shown(offer.Field("descrizione"));
  previewed.state = Shown(offer.Field("stato"));
  const std::int32_t data1 = data::FieldLong(offer, "offte", "data1");
  const std::int32_t data2 = data::FieldLong(offer, "offte", "data2");
  previewed.first_day = data1;
  previewed.last_day = data2;
  offers::Disattiva(
      work, outbox, key.first, key.second, data1, data2,
      [&previewed](const offers::RowOutcome& row) { previewed.rows.push_back(Watched(row)); });
  // The offer's "D", written on its row as the cycle writes it (the deactivation leaves the data
  // source var2 alone): an offer after it sees the store as it would be.
  offer.Edit();
  offer.SetField("stato", data::Value::Text("D"));
  offer.Update();
  return true;
}

}  // namespace

PreviewResult RunPreview(platform::Env& env, const data::EngineOptions& engine_options,
                         const PreviewOptions& options) {
  PreviewResult result;
  StoreSession session(env, engine_options);
  result.store_found = session.lookup().StoreFound();
  if (!result.store_found) {
    result.error = session.lookup().problem;
    return result;
  }
  const std::string& store = session.store();
  work::WorkContext& work = session.work();
  const platform::LocalTime now = session.env().Now();
  result.today = session.ScanDay(options.today);
  // The scan takes no lock, as the cycle's: nothing expired, nothing locked.
  std::vector<OfferKey> keys;
  try {
    keys =
        options.offer ? std::vector<OfferKey>{*options.offer} : ExpiredOffers(work, result.today);
  } catch (const std::exception& error) {
    result.error = error.what();
    return result;
  }

  // The offers in one transaction, each on the store as the ones before it leave it, as the
  // cycles take them. An offer that fails is passed over, as the cycles pass it over until the
  // others have had their turn: the others are then previewed again without it.
  std::map<OfferKey, PreviewedOffer> failed;
  for (bool again = true; again;) {
    again = false;
    result.offers.clear();
    EmptyOutbox(session.memory(), session.outbox());
    std::shared_ptr<data::Database> database;
    try {
      database = session.engine().OpenDatabase(store);
      database->BeginTrans();
      for (const OfferKey& key : keys) {
        if (const auto known = failed.find(key); known != failed.end()) {
          result.offers.push_back(known->second);
          continue;
        }
        PreviewedOffer previewed;
        try {
          if (!Deactivate(work, session.outbox(), key, previewed)) {
            result.error = fmt::format("offerta {} non trovata in offte", previewed.offer);
            continue;
          }
          previewed.files = FilesMade(session.memory(), session.outbox(), store, key, now);
          result.offers.push_back(std::move(previewed));
        } catch (const std::exception& error) {
          previewed.error = fmt::format("offerta {} non disattivata, modifiche annullate: {}",
                                        previewed.offer, error.what());
          failed.emplace(key, std::move(previewed));
          again = true;
          break;
        }
      }
    } catch (const std::exception& error) {
      result.error = error.what();
    }
    // Always undone. A connection that cannot roll back is closed, which undoes it as well.
    try {
      if (database && database->connection().InTransaction()) {
        database->Rollback();
      }
    } catch (const std::exception&) {
      session.CloseAll();
    }
  }
  session.CloseAll();
  return result;
}

}  // namespace zav5::checks
