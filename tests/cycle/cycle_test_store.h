// A store for the processing cycle: the store database of WorkingStore, the run log of the example
// day, and the timer, rotation and shared state that the main window would own.
#pragma once

#include <chrono>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/core.h>

#include "cycle/cycle_context.h"
#include "cycle/offer_turn.h"
#include "cycle/timer.h"
#include "startup/run_log.h"
#include "support/temp_dir.h"
#include "support/working_store.h"

namespace zav5::cycle {

class CycleTestStore : public test::WorkingStore {
 public:
  static constexpr std::string_view kPercorsoLog = "C:\\sulvo\\bkp\\logzav3_7122026.txt";

  explicit CycleTestStore(std::string_view rows = {}, data::EngineOptions engine_options = {})
      : WorkingStore(rows, std::move(engine_options)),
        log_(env()),
        timer_(env(), std::chrono::milliseconds{5000}, true),
        cycle_context_{work(), outbox(), log_, timer_, offer_turn_, std::nullopt} {
    store_context().PercorsoLog = kPercorsoLog;
    store_context().ContatoreCicli = 1;
  }

  CycleContext& cycle_context() { return cycle_context_; }
  Timer& timer() { return timer_; }
  startup::RunLog& log() { return log_; }

  // The run log's lines (CR LF removed); empty when there is no log.
  std::vector<std::string> RunLogLines() const {
    std::vector<std::string> lines;
    const auto path = DriveC() / "sulvo" / "bkp" / "logzav3_7122026.txt";
    if (!std::filesystem::exists(path)) {
      return lines;
    }
    std::istringstream in(test::ReadFile(path));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
    }
    return lines;
  }

  // The lines of the run log that report an error.
  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errori;
    for (const std::string& line : RunLogLines()) {
      if (line.starts_with("ERRORE")) {
        errori.push_back(line);
      }
    }
    return errori;
  }

  // The state of each offer, "numero/anno:stato", by number.
  std::vector<std::string> OfferStatuses() const {
    return QueryRows(
        "SELECT numero || '/' || anno || ':' || stato FROM offte ORDER BY numero, anno");
  }

 private:
  startup::RunLog log_;
  Timer timer_;
  OfferTurn offer_turn_;
  CycleContext cycle_context_;
};

// An offer running from `data1` to `data2` (day numbers) in state `stato`.
inline std::string Offer(int numero, int data1, int data2, std::string_view stato = "A",
                         int anno = 2026) {
  return fmt::format(
      "INSERT INTO offte (numero, anno, descrizione, data1, data2, stato) VALUES ({0}, {1},"
      " 'OFFERTA {0}', {2}, {3}, '{4}');",
      numero, anno, data1, data2, stato);
}

// Article `codart` on promotion `numpro` from `data1` to `data2`, with one EAN row, and a row of
// offer `numero` naming it.
inline std::string OfferArticleRows(int codart, int numero, int data1, int data2, int anno = 2026) {
  const std::string ean = fmt::format("80{:011}", codart);
  return fmt::format(
      "INSERT INTO listi01 (codart, desart, przpub, przsal, cosoff, data1, data2, escludo, fl2art,"
      " taglia, stapro, numpro, codpro, AA_offerta, NR_offerta, descom, codafo, umart, umquaco,"
      " quaco, ivart) VALUES ({0}, 'ARTICOLO {0}', 1.99, 1.5, 1.2, {2}, {3}, 0, 'S', 'XL', 'A',"
      " {1}, 3, {4}, {1}, 'SOTTOCOSTO', 'F{0}', 'LT', 'LT', 0.5, '04');"
      "INSERT INTO codean VALUES ('{5}', {0}, 10, 0.5, 0.3, 1, 20, 2, 3, 4, 'SCONTO EAN', 1.25,"
      " {1});"
      "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato, bflag2) VALUES"
      " ({1}, {4}, {0}, '{5}', {0}, 10, 'A', NULL);",
      codart, numero, data1, data2, anno, ean);
}

// An active label system of the two-file layout whose folder is C:\sulvo\esl\.
constexpr std::string_view kLabelSystemRow =
    "INSERT INTO elettro VALUES (1, 'VPA', '1', '0', NULL, 'C:\\sulvo\\esl\\');";

}  // namespace zav5::cycle
