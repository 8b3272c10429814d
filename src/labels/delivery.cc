#include "labels/delivery.h"

#include <charconv>
#include <map>

#include <fmt/core.h>

#include "errors.h"
#include "labels/import_file_names.h"

namespace zav5::labels {

namespace {

constexpr std::string_view kRecordHeader = "zav5 consegna 1";

std::string Escape(std::string_view valore) {
  std::string testo;
  for (const char c : valore) {
    switch (c) {
      case '%':
        testo += "%25";
        break;
      case '\r':
        testo += "%0D";
        break;
      case '\n':
        testo += "%0A";
        break;
      default:
        testo += c;
    }
  }
  return testo;
}

std::string Unescape(std::string_view testo) {
  std::string valore;
  for (std::size_t i = 0; i < testo.size(); ++i) {
    if (testo[i] == '%') {
      if (i + 2 >= testo.size()) {
        throw Error(fmt::format("\"{}\" finisce a metà di un codice %", testo));
      }
      const std::string_view codice = testo.substr(i + 1, 2);
      if (codice == "25") {
        valore += '%';
      } else if (codice == "0D") {
        valore += '\r';
      } else if (codice == "0A") {
        valore += '\n';
      } else {
        throw Error(fmt::format("codice %{} sconosciuto", codice));
      }
      i += 2;
    } else {
      valore += testo[i];
    }
  }
  return valore;
}

template <typename IntAt>
IntAt NumberFrom(std::string_view testo, std::string_view campo) {
  IntAt valore{};
  const auto [end_day, errore] = std::from_chars(testo.data(), testo.data() + testo.size(), valore);
  if (errore != std::errc() || end_day != testo.data() + testo.size()) {
    throw Error(fmt::format("{}: \"{}\" non è un numero", campo, testo));
  }
  return valore;
}

bool IsYes(std::string_view testo, std::string_view campo) {
  if (testo != "0" && testo != "1") {
    throw Error(fmt::format("{}: \"{}\" non è 0 né 1", campo, testo));
  }
  return testo == "1";
}

ImportKind KindFromSuffix(std::string_view sigla) {
  for (const ImportKind kind :
       {ImportKind::kPrices, ImportKind::kPromotions, ImportKind::kSingle}) {
    if (ImportSuffix(kind) == sigla) {
      return kind;
    }
  }
  throw Error(fmt::format("tipo di file \"{}\" sconosciuto", sigla));
}

}  // namespace

std::string_view ImportSuffix(ImportKind kind) {
  switch (kind) {
    case ImportKind::kPrices:
      return "VPA";
    case ImportKind::kPromotions:
      return "PRO";
    case ImportKind::kSingle:
      break;
  }
  return "UNI";
}

std::string ImportFileName(const LabelSystem& system, ImportKind kind, platform::LocalTime t) {
  switch (kind) {
    case ImportKind::kPrices:
      return PriceFileName(system.folder, t);
    case ImportKind::kPromotions:
      return PromotionFileName(system.folder, t);
    case ImportKind::kSingle:
      break;
  }
  return SingleFileName(system.folder, system.prefix, t);
}

std::string Delivery::Offer() const {
  return fmt::format("{}/{}", offer, anno);
}

bool Delivery::HandedOver() const {
  for (const DeliveryFile& f : file) {
    if (!f.placed) {
      return false;
    }
  }
  return script ? script_started : folder_cleaned;
}

std::string DeliveryText(const Delivery& c) {
  std::string testo(kRecordHeader);
  testo += '\n';
  const auto line = [&testo](std::string_view name, std::string_view valore) {
    testo += fmt::format("{}={}\n", name, Escape(valore));
  };
  line("numero", std::to_string(c.sequence));
  line("negozio", c.store);
  line("offerta", std::to_string(c.offer));
  line("anno", std::to_string(c.anno));
  line("cartella", c.system.folder);
  line("tracciato", c.system.layout == FileLayout::kOneFile ? "1" : "0");
  line("prefisso", c.system.prefix);
  line("script", c.script ? "1" : "0");
  line("preparata", FileStamp(c.prepared_at));
  line("stato", c.state == DeliveryState::kConfirmed ? "confermata" : "preparata");
  for (const DeliveryFile& f : c.file) {
    line("file", fmt::format("{} {} {}", ImportSuffix(f.kind), f.placed ? 1 : 0, f.name));
  }
  line("avviato", c.script_started ? "1" : "0");
  return testo;
}

Delivery ParseDelivery(std::string_view testo) {
  if (!testo.starts_with(kRecordHeader) || !testo.ends_with('\n')) {
    throw Error("non è un registro di consegna, o è incompleto");
  }
  std::multimap<std::string, std::string, std::less<>> campi;
  testo.remove_prefix(kRecordHeader.size() + 1);
  while (!testo.empty()) {
    const std::size_t end_day = testo.find('\n');
    const std::string_view line = testo.substr(0, end_day);
    testo.remove_prefix(end_day + 1);
    const std::size_t uguale = line.find('=');
    if (uguale == std::string_view::npos) {
      throw Error(fmt::format("riga \"{}\" senza \"=\"", line));
    }
    campi.emplace(std::string(line.substr(0, uguale)), Unescape(line.substr(uguale + 1)));
  }
  const auto campo = [&campi](std::string_view name) -> const std::string& {
    const auto trovato = campi.find(name);
    if (trovato == campi.end()) {
      throw Error(fmt::format("manca il campo {}", name));
    }
    return trovato->second;
  };

  Delivery c;
  c.sequence = NumberFrom<std::uint64_t>(campo("numero"), "numero");
  c.store = campo("negozio");
  c.offer = NumberFrom<std::int32_t>(campo("offerta"), "offerta");
  c.anno = NumberFrom<std::int32_t>(campo("anno"), "anno");
  c.system.folder = campo("cartella");
  c.system.layout =
      IsYes(campo("tracciato"), "tracciato") ? FileLayout::kOneFile : FileLayout::kTwoFiles;
  c.system.prefix = campo("prefisso");
  c.script = IsYes(campo("script"), "script");
  const std::optional<platform::LocalTime> prepared_at = ParseFileStamp(campo("preparata"));
  if (!prepared_at) {
    throw Error(fmt::format("preparata: \"{}\" non è una data", campo("preparata")));
  }
  c.prepared_at = *prepared_at;
  const std::string& stato = campo("stato");
  if (stato != "preparata" && stato != "confermata") {
    throw Error(fmt::format("stato \"{}\" sconosciuto", stato));
  }
  c.state = stato == "confermata" ? DeliveryState::kConfirmed : DeliveryState::kPrepared;
  const auto [primo, ultimo] = campi.equal_range("file");
  for (auto f = primo; f != ultimo; ++f) {
    // "VPA 1 C:\sulvo\Import_VPA_20261207114930.txt": kind, placed, name (may hold blanks).
    const std::string& valore = f->second;
    if (valore.size() < 6 || valore[3] != ' ' || valore[5] != ' ') {
      throw Error(fmt::format("file: \"{}\" non è tipo, stato e nome", valore));
    }
    DeliveryFile file;
    file.kind = KindFromSuffix(std::string_view(valore).substr(0, 3));
    file.placed = IsYes(std::string_view(valore).substr(4, 1), "file");
    file.name = valore.substr(6);
    c.file.push_back(std::move(file));
  }
  c.script_started = IsYes(campo("avviato"), "avviato");
  return c;
}

}  // namespace zav5::labels
