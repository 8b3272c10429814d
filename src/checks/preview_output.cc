#include "checks/preview_output.h"

#include <fstream>
#include <set>
#include <string>

#include <fmt/core.h>

#include "checks/store_text.h"
#include "checks/text_table.h"
#include "errors.h"
#include "platform/case_fold.h"
#include "platform/codepage.h"

namespace zav5::checks {

namespace {

std::string_view OutcomeText(PreviewedRow::Outcome outcome, Language language) {
  switch (outcome) {
    case PreviewedRow::Outcome::kRestored:
      return Say(language, {"ripristinato al prezzo normale", "restored to its regular price"});
    case PreviewedRow::Outcome::kNotCovered:
      return Say(language, {"lasciato: la sua promozione non copre il periodo dell'offerta",
                            "left alone: its promotion does not cover the offer's period"});
    case PreviewedRow::Outcome::kNotInPriceList:
      break;
  }
  return Say(language, {"lasciato: non è nel listino", "left alone: not in the price list"});
}

void WriteRows(const PreviewedOffer& offer, Language language, std::size_t limit,
               std::ostream& out) {
  TextTable table(
      {{std::string(Say(language, {"riga", "row"})), TextTable::Align::kRight},
       {"EAN"},
       {std::string(Say(language, {"articolo", "article"})), TextTable::Align::kRight},
       {std::string(Say(language, {"descrizione", "description"}))},
       {std::string(Say(language, {"prezzo normale", "regular price"})), TextTable::Align::kRight},
       {std::string(Say(language, {"prezzo promozionale", "promotional price"})),
        TextTable::Align::kRight},
       {std::string(Say(language, {"promozione", "promotion"}))},
       {std::string(Say(language, {"esito", "outcome"}))}});
  std::size_t restored = 0;
  for (const PreviewedRow& row : offer.rows) {
    restored += row.outcome == PreviewedRow::Outcome::kRestored ? 1 : 0;
    table.AddRow({std::to_string(row.row), row.ean, std::to_string(row.article), row.description,
                  row.regular_price, row.promotional_price, row.promotion,
                  std::string(OutcomeText(row.outcome, language))});
  }
  out << "  "
      << fmt::format(fmt::runtime(Say(language, {"righe: {}, ripristinate {}, lasciate {}",
                                                 "rows: {}, restored {}, left alone {}"})),
                     offer.rows.size(), restored, offer.rows.size() - restored)
      << '\n';
  if (!offer.rows.empty()) {
    table.Write(out, limit, language);
  }
}

void WriteFile(const PreviewedFile& file, Language language, std::size_t limit, std::ostream& out) {
  const std::string text = platform::Windows1252ToUtf8(file.bytes);
  std::size_t lines = 0;
  std::size_t shown = 0;
  std::string body;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string_view line(text.data() + start, end - start);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    ++lines;
    if (limit == 0 || shown < limit) {
      body.append("    ").append(line).append("\n");
      ++shown;
    }
    start = end + 1;
  }
  out << "  "
      << fmt::format(fmt::runtime(Say(language, {"sistema di etichette {}: file {}, {} righe",
                                                 "label system {}: file {}, {} lines"})),
                     file.label_system, file.name, lines)
      << '\n'
      << body;
  if (shown < lines) {
    out << "    "
        << fmt::format(
               fmt::runtime(Say(language, {"... e altre {} righe (--limit 0 le mostra tutte)",
                                           "... and {} more lines (--limit 0 shows them all)"})),
               lines - shown)
        << '\n';
  }
}

}  // namespace

void WritePreview(const PreviewResult& preview, Language language, std::size_t limit,
                  std::ostream& out) {
  out << Say(language, {"Anteprima: nulla è stato cambiato nel negozio.",
                        "Preview: nothing in the store was changed."})
      << '\n';
  if (preview.offers.empty() && preview.error.empty()) {
    out << Say(language,
               {"Nessuna offerta scaduta da disattivare.", "No expired offer to deactivate."})
        << '\n';
  }
  for (const PreviewedOffer& offer : preview.offers) {
    out << '\n'
        << fmt::format(fmt::runtime(Say(language, {"Offerta {} \"{}\", dal {} al {}, stato {}",
                                                   "Offer {} \"{}\", from {} to {}, state {}"})),
                       offer.offer, offer.description, FormatDay(offer.first_day),
                       FormatDay(offer.last_day), offer.state)
        << '\n';
    if (platform::EqualsIgnoringCase(offer.state, "D")) {
      out << "  "
          << Say(language, {"già disattivata: il ciclo non la prende più",
                            "already deactivated: the cycle no longer takes it"})
          << '\n';
    } else if (offer.last_day >= preview.today) {
      out << "  "
          << fmt::format(
                 fmt::runtime(Say(language, {"non ancora scaduta: il ciclo la prende dal {}",
                                             "not expired yet: the cycle takes it from {}"})),
                 FormatDay(offer.last_day + 1))
          << '\n';
    }
    WriteRows(offer, language, limit, out);
    if (!offer.error.empty()) {
      out << "  ERRORE : " << offer.error << '\n';
    }
    for (const PreviewedFile& file : offer.files) {
      WriteFile(file, language, limit, out);
    }
  }
  if (!preview.error.empty()) {
    out << '\n'
        << (preview.error.starts_with("ERRORE") ? "" : "ERRORE : ") << preview.error << '\n';
  }
}

std::vector<std::filesystem::path> WritePreviewFiles(const PreviewResult& preview,
                                                     const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> written;
  for (const PreviewedOffer& offer : preview.offers) {
    const std::filesystem::path offer_folder =
        folder / fmt::format("{}-{}", offer.number, offer.year);
    std::error_code error;
    std::filesystem::create_directories(offer_folder, error);
    if (error) {
      throw FileError(fmt::format("impossibile creare la cartella {}: {}", offer_folder.string(),
                                  error.message()));
    }
    std::set<std::string> names;
    std::size_t system = 0;
    std::string last_system;
    for (const PreviewedFile& file : offer.files) {
      if (file.label_system != last_system) {
        ++system;
        last_system = file.label_system;
      }
      std::string name = file.name;
      if (!names.insert(name).second) {
        name = fmt::format("{}-{}", system, name);
        names.insert(name);
      }
      const std::filesystem::path path = offer_folder / name;
      std::ofstream stream(path, std::ios::binary | std::ios::trunc);
      stream << file.bytes;
      stream.close();
      if (!stream) {
        throw FileError(fmt::format("impossibile scrivere {}", path.string()));
      }
      written.push_back(path);
    }
  }
  return written;
}

}  // namespace zav5::checks
