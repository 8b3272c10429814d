#include "labels/consegna.h"

#include <charconv>
#include <map>

#include <fmt/core.h>

#include "errors.h"
#include "labels/nomi_file_import.h"

namespace zav5::labels {

namespace {

constexpr std::string_view kIntestazione = "zav5 consegna 1";

std::string Codifica(std::string_view valore) {
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

std::string Decodifica(std::string_view testo) {
  std::string valore;
  for (std::size_t i = 0; i < testo.size(); ++i) {
    if (testo[i] == '%') {
      if (i + 2 >= testo.size()) {
        throw Errore(fmt::format("\"{}\" finisce a metà di un codice %", testo));
      }
      const std::string_view codice = testo.substr(i + 1, 2);
      if (codice == "25") {
        valore += '%';
      } else if (codice == "0D") {
        valore += '\r';
      } else if (codice == "0A") {
        valore += '\n';
      } else {
        throw Errore(fmt::format("codice %{} sconosciuto", codice));
      }
      i += 2;
    } else {
      valore += testo[i];
    }
  }
  return valore;
}

template <typename Intero>
Intero Numero(std::string_view testo, std::string_view campo) {
  Intero valore{};
  const auto [fine, errore] = std::from_chars(testo.data(), testo.data() + testo.size(), valore);
  if (errore != std::errc() || fine != testo.data() + testo.size()) {
    throw Errore(fmt::format("{}: \"{}\" non è un numero", campo, testo));
  }
  return valore;
}

bool Si(std::string_view testo, std::string_view campo) {
  if (testo != "0" && testo != "1") {
    throw Errore(fmt::format("{}: \"{}\" non è 0 né 1", campo, testo));
  }
  return testo == "1";
}

TipoImport TipoDaSigla(std::string_view sigla) {
  for (const TipoImport tipo : {TipoImport::kPrezzi, TipoImport::kPromozioni, TipoImport::kUnico}) {
    if (SiglaImport(tipo) == sigla) {
      return tipo;
    }
  }
  throw Errore(fmt::format("tipo di file \"{}\" sconosciuto", sigla));
}

}  // namespace

std::string_view SiglaImport(TipoImport tipo) {
  switch (tipo) {
    case TipoImport::kPrezzi:
      return "VPA";
    case TipoImport::kPromozioni:
      return "PRO";
    case TipoImport::kUnico:
      break;
  }
  return "UNI";
}

std::string NomeImport(const SistemaEtichette& sistema, TipoImport tipo, platform::LocalTime t) {
  switch (tipo) {
    case TipoImport::kPrezzi:
      return NomeFilePrezzi(sistema.cartella, t);
    case TipoImport::kPromozioni:
      return NomeFilePromozioni(sistema.cartella, t);
    case TipoImport::kUnico:
      break;
  }
  return NomeFileUnico(sistema.cartella, sistema.prefisso, t);
}

std::string Consegna::Offerta() const {
  return fmt::format("{}/{}", offerta, anno);
}

bool Consegna::Consegnata() const {
  for (const FileConsegna& f : file) {
    if (!f.posto) {
      return false;
    }
  }
  return script ? avviato : pulita;
}

std::string TestoConsegna(const Consegna& c) {
  std::string testo(kIntestazione);
  testo += '\n';
  const auto riga = [&testo](std::string_view nome, std::string_view valore) {
    testo += fmt::format("{}={}\n", nome, Codifica(valore));
  };
  riga("numero", std::to_string(c.sequence));
  riga("negozio", c.negozio);
  riga("offerta", std::to_string(c.offerta));
  riga("anno", std::to_string(c.anno));
  riga("cartella", c.sistema.cartella);
  riga("tracciato", c.sistema.tracciato == Tracciato::kFileUnico ? "1" : "0");
  riga("prefisso", c.sistema.prefisso);
  riga("script", c.script ? "1" : "0");
  riga("preparata", TimbroFile(c.preparata));
  riga("stato", c.state == StatoConsegna::kConfermata ? "confermata" : "preparata");
  for (const FileConsegna& f : c.file) {
    riga("file", fmt::format("{} {} {}", SiglaImport(f.tipo), f.posto ? 1 : 0, f.nome));
  }
  riga("avviato", c.avviato ? "1" : "0");
  return testo;
}

Consegna LeggiConsegna(std::string_view testo) {
  if (!testo.starts_with(kIntestazione) || !testo.ends_with('\n')) {
    throw Errore("non è un registro di consegna, o è incompleto");
  }
  std::multimap<std::string, std::string, std::less<>> campi;
  testo.remove_prefix(kIntestazione.size() + 1);
  while (!testo.empty()) {
    const std::size_t fine = testo.find('\n');
    const std::string_view riga = testo.substr(0, fine);
    testo.remove_prefix(fine + 1);
    const std::size_t uguale = riga.find('=');
    if (uguale == std::string_view::npos) {
      throw Errore(fmt::format("riga \"{}\" senza \"=\"", riga));
    }
    campi.emplace(std::string(riga.substr(0, uguale)), Decodifica(riga.substr(uguale + 1)));
  }
  const auto campo = [&campi](std::string_view nome) -> const std::string& {
    const auto trovato = campi.find(nome);
    if (trovato == campi.end()) {
      throw Errore(fmt::format("manca il campo {}", nome));
    }
    return trovato->second;
  };

  Consegna c;
  c.sequence = Numero<std::uint64_t>(campo("numero"), "numero");
  c.negozio = campo("negozio");
  c.offerta = Numero<std::int32_t>(campo("offerta"), "offerta");
  c.anno = Numero<std::int32_t>(campo("anno"), "anno");
  c.sistema.cartella = campo("cartella");
  c.sistema.tracciato =
      Si(campo("tracciato"), "tracciato") ? Tracciato::kFileUnico : Tracciato::kDueFile;
  c.sistema.prefisso = campo("prefisso");
  c.script = Si(campo("script"), "script");
  const std::optional<platform::LocalTime> preparata = LeggiTimbro(campo("preparata"));
  if (!preparata) {
    throw Errore(fmt::format("preparata: \"{}\" non è una data", campo("preparata")));
  }
  c.preparata = *preparata;
  const std::string& stato = campo("stato");
  if (stato != "preparata" && stato != "confermata") {
    throw Errore(fmt::format("stato \"{}\" sconosciuto", stato));
  }
  c.state = stato == "confermata" ? StatoConsegna::kConfermata : StatoConsegna::kPreparata;
  const auto [primo, ultimo] = campi.equal_range("file");
  for (auto f = primo; f != ultimo; ++f) {
    // "VPA 1 C:\sulvo\Import_VPA_20261207114930.txt": kind, placed, name (may hold blanks).
    const std::string& valore = f->second;
    if (valore.size() < 6 || valore[3] != ' ' || valore[5] != ' ') {
      throw Errore(fmt::format("file: \"{}\" non è tipo, stato e nome", valore));
    }
    FileConsegna file;
    file.tipo = TipoDaSigla(std::string_view(valore).substr(0, 3));
    file.posto = Si(std::string_view(valore).substr(4, 1), "file");
    file.nome = valore.substr(6);
    c.file.push_back(std::move(file));
  }
  c.avviato = Si(campo("avviato"), "avviato");
  return c;
}

}  // namespace zav5::labels
