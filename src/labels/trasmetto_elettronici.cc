#include "labels/trasmetto_elettronici.h"

#include <optional>
#include <string_view>

#include <fmt/core.h>

#include "data/field_reading.h"
#include "data/sql_text.h"
#include "data/value.h"
#include "errors.h"
#include "labels/nomi_file_import.h"
#include "labels/riga_import.h"
#include "labels/testi_etichette.h"
#include "labels/tracciato.h"
#include "labels/trasferimento.h"

namespace zav5::labels {

namespace {

using data::DataSource;
using data::Recordset;
using data::Value;

constexpr std::size_t kLunghezzaCodiceFornitore = 16;

// The files of one call, each opened before the first line it receives and at most once.
//
// Their lines are handed to the Env in blocks, one WriteLine for many lines joined by CR LF (the
// line end WriteLine adds after each), which puts in the file the bytes that a WriteLine per line
// would: an offer of ten thousand rows is a few dozen writes instead of twenty thousand. Scarica()
// hands over the lines still held; it runs before the files are closed and handed over, so the
// transfer script always finds them complete, and a failing write is thrown from it as from
// WriteLine. Only the import files are written this way: the run log still reaches the disk line
// by line.
class FileImport {
 public:
  // Lines held for a file before they are handed over.
  static constexpr std::size_t kBlocco = 64 * 1024;

  FileImport(platform::Env& env, Tracciato tracciato, const std::string& cartella,
             const std::string& prefisso)
      : env_(env), tracciato_(tracciato) {
    // The two names read the clock one after the other, so they may differ by a second.
    if (tracciato == Tracciato::kFileUnico) {
      unico_.nome = NomeFileUnico(cartella, prefisso, env.Now());
    } else {
      prezzi_.nome = NomeFilePrezzi(cartella, env.Now());
      promozioni_.nome = NomeFilePromozioni(cartella, env.Now());
    }
  }

  // Makes sure the file that receives a line of this kind is open (creating it).
  void Apri(bool promozione) {
    File& file = Di(promozione);
    if (!file.handle) {
      file.handle = env_.OpenTextFile(file.nome, platform::OpenMode::kOutput);
    }
  }

  // Adds `riga` to the file of its kind. REQUIRES: Apri(promozione) was called.
  void Scrivi(bool promozione, std::string_view riga) {
    File& file = Di(promozione);
    if (!file.righe.empty()) {
      file.righe += "\r\n";
    }
    file.righe += riga;
    if (file.righe.size() >= kBlocco) {
      Consegna(file);
    }
  }

  // Hands every line still held to the Env. Throws FileError when a write fails.
  void Scarica() {
    for (File* file : {&unico_, &prezzi_, &promozioni_}) {
      Consegna(*file);
    }
  }

  // After a failure: writes what it can of the lines still held, so that the files keep every
  // line made before the failure, as when each line was written at once.
  void ScaricaDopoErrore() noexcept {
    for (File* file : {&unico_, &prezzi_, &promozioni_}) {
      try {
        Consegna(*file);
      } catch (const std::exception&) {
        file->righe.clear();  // the failure being reported matters more
      }
    }
  }

 private:
  struct File {
    std::string nome;
    std::optional<platform::FileHandle> handle;
    std::string righe;  // lines not yet handed over, joined by CR LF
  };
  File& Di(bool promozione) {
    if (tracciato_ == Tracciato::kFileUnico) {
      return unico_;
    }
    return promozione ? promozioni_ : prezzi_;
  }
  void Consegna(File& file) {
    if (file.righe.empty() || !file.handle) {
      return;
    }
    env_.WriteLine(*file.handle, file.righe);
    file.righe.clear();
  }

  platform::Env& env_;
  Tracciato tracciato_;
  File unico_;
  File prezzi_;
  File promozioni_;
};

// Where an offer row stands, for messages.
struct Posizione {
  std::int32_t numero;
  std::int32_t anno;
  int riga;  // counted from 1 in the order the rows are read
};

// A field that the line cannot do without; Null is an error that names the offer and the row.
const Value& Obbligatorio(const data::RowEditor& row, std::string_view table,
                          std::string_view field, const Posizione& dove) {
  const Value& value = row.Field(field);
  if (value.IsNull()) {
    throw ConversionError(fmt::format("offerta {}/{}, riga {}: il campo {}.{} è vuoto (Null)",
                                      dove.numero, dove.anno, dove.riga, table, field));
  }
  return value;
}

// Copies a text field into `target` unless it is Null.
void TestoSePresente(const Recordset& row, std::string_view field, std::string& target) {
  const Value& value = row.Field(field);
  if (value.Kind() == data::ValueKind::kText) {
    target = value.AsText();  // its own text form, without a copy in between
  } else if (!value.IsNull()) {
    target = value.ToText();
  }
}

// The factor of the unit of measure for unit prices; 0 for a unit that unitam does not have.
double FattoreUnita(Finestra& finestra, const std::string& codice_unita) {
  Recordset& unita = PuntaSorgente(finestra, "unita2",
                                   "SELECT * FROM unitam WHERE  coduni = '" +
                                       data::DoubleQuotes(codice_unita) + "' ")
                         .Recordset();
  return unita.Eof() ? 0 : data::FieldDouble(unita, "unitam", "fatxmul");
}

// Stores the supplier code into a codafo field with all its 16 characters, as the suite keeps it.
// Where the store's column is narrower, only trailing blanks give way; a code that does not fit
// even then is refused by the column.
void ScriviCodiceFornitore(data::RowEditor& row, const std::string& codice) {
  std::size_t lunghezza = kLunghezzaCodiceFornitore;
  const data::Column& colonna = row.FieldColumn("codafo");
  if (colonna.kind == data::ColumnKind::kText && colonna.size < lunghezza) {
    const std::string_view codice_stretto(codice.data(), codice.find_last_not_of(' ') + 1);
    lunghezza = std::max(colonna.size, data::CharacterCount(codice_stretto));
  }
  row.Edit();
  row.SetField("codafo", Value::Text(data::FitText(codice, lunghezza)));
  row.Update();
}

// Whether the article of the current row of `articolo` is on promotion: its promotional price is
// not 0 (a Null price counts as a promotion).
bool InPromozione(const Recordset& articolo) {
  return articolo.Field("przsal").IsNull() || data::FieldDouble(articolo, "listi01", "przsal") != 0;
}

// The line of the current offer row, whose article is the current row of `articolo`. Stores the
// supplier code when the article has none.
RigaImport RigaDellArticolo(Finestra& finestra, Recordset& offerta, Recordset& articolo,
                            const std::string& ean, const Posizione& dove) {
  RigaImport riga;
  riga.ean = ean;
  riga.descrizione =
      DescrizioneArticolo(Obbligatorio(articolo, "listi01", "desart", dove).ToText());
  const Value& codafo = articolo.Field("codafo");
  if (!codafo.IsNull()) {
    riga.codice_fornitore = data::MidText(codafo.ToText(), 3, 7);
  }
  std::string codice_unita;
  TestoSePresente(articolo, "umart", riga.unita_misura);
  TestoSePresente(articolo, "umquaco", codice_unita);
  if (!articolo.Field("quaco").IsNull()) {
    riga.quantita = data::FieldDouble(articolo, "listi01", "quaco");
  }
  TestoSePresente(articolo, "ivart", riga.iva);
  TestoSePresente(articolo, "desfor", riga.fornitore);
  TestoSePresente(articolo, "desrep", riga.reparto);
  TestoSePresente(articolo, "desgru", riga.gruppo);
  TestoSePresente(articolo, "dessot", riga.sottogruppo);

  double prezzo_normale = 0;
  if (!articolo.Field("przpub").IsNull()) {
    const double przpub = data::FieldDouble(articolo, "listi01", "przpub");
    riga.prezzo = PrezzoDueDecimali(przpub);
    riga.prezzo_normale = Importo(przpub);
    prezzo_normale = riga.prezzo.ToDouble();
  }
  const double fattore = FattoreUnita(finestra, codice_unita);
  if (riga.quantita != 0) {
    riga.prezzo_unitario = PrezzoUnitario(riga.prezzo.ToDouble(), riga.quantita, fattore);
    riga.prezzo_unitario_normale = PrezzoUnitario(prezzo_normale, riga.quantita, fattore);
  }

  if (!offerta.Field("sconto").IsNull()) {
    riga.sconto = data::FieldCurrency(offerta, "offmo", "sconto");
  }

  if (Rifilato(data::FitText(riga.codice_fornitore, kLunghezzaCodiceFornitore)).empty()) {
    const std::string codice = data::FitText("AB" + data::FieldText(articolo, "listi01", "codart"),
                                             kLunghezzaCodiceFornitore);
    riga.codice_fornitore = codice;
    ScriviCodiceFornitore(articolo, codice);
    ScriviCodiceFornitore(offerta, codice);
  }

  TestoSePresente(articolo, "provenienza", riga.provenienza);
  TestoSePresente(articolo, "categoria", riga.categoria);

  if (!InPromozione(articolo)) {
    return riga;  // a price line
  }
  riga.promozione = true;
  std::int32_t codice_promozione = 0;
  if (!articolo.Field("codpro").IsNull()) {
    codice_promozione = data::FieldLong(articolo, "listi01", "codpro");
  }
  Recordset& tipo =
      PuntaSorgente(
          finestra, "offtab",
          "SELECT * FROM offtab WHERE  codice = " + std::to_string(codice_promozione) + " ")
          .Recordset();
  if (!tipo.Eof()) {
    TestoSePresente(tipo, "descrizione", riga.descrizione_offerta);
    TestoSePresente(tipo, "codelettro", riga.codice_etichetta);
  }
  if (!articolo.Field("przsal").IsNull()) {
    riga.prezzo = PrezzoDueDecimali(data::FieldDouble(articolo, "listi01", "przsal"));
    if (!articolo.Field("data2").IsNull()) {
      riga.data_fine = DataFine(data::FieldLong(articolo, "listi01", "data2"));
    }
    riga.prezzo = PrezzoScontato(riga.prezzo, riga.sconto);
    if (riga.quantita != 0) {
      riga.prezzo_unitario = PrezzoUnitario(riga.prezzo.ToDouble(), riga.quantita, fattore);
    }
  }
  return riga;
}

}  // namespace

void Trasmetto_Elettronici(Finestra& finestra, const std::string& PercorsoElettro,
                           std::int32_t Numpro, std::int32_t AnnoPro) {
  platform::Env& env = finestra.env;
  Recordset& offerta =
      PuntaSorgente(finestra, "Data1",
                    "SELECT * FROM offmo WHERE bnumer =  " + std::to_string(Numpro) +
                        " and bannoc = " + std::to_string(AnnoPro) + " ",
                    true)
          .Recordset();
  offerta.LockEdits(false);

  const std::string pulizia = ModelloPulizia(PercorsoElettro);
  if (!env.FindFiles(pulizia).empty()) {
    env.DeleteFiles(pulizia);
  }
  if (offerta.Eof()) {
    return;
  }

  const Tracciato tracciato = TracciatoDa(finestra.FtpElettro);
  FileImport file(env, tracciato, PercorsoElettro, finestra.VexularElettro);
  env.CloseAll();

  Posizione dove{Numpro, AnnoPro, 0};
  try {
    offerta.MoveFirst();
    while (!offerta.Eof()) {
      ++dove.riga;
      const std::string ean =
          data::FitText(Obbligatorio(offerta, "offmo", "eanrig", dove).ToText(), 13);
      const std::int32_t codice_articolo = [&] {
        Obbligatorio(offerta, "offmo", "articoli", dove);
        return data::FieldLong(offerta, "offmo", "articoli");
      }();
      Recordset& articolo =
          PuntaSorgente(
              finestra, "listi01",
              "SELECT * FROM listi01 WHERE  codart = " + std::to_string(codice_articolo) + " ")
              .Recordset();
      if (!articolo.Eof()) {
        const bool promozione = InPromozione(articolo);
        file.Apri(promozione);
        const RigaImport riga = RigaDellArticolo(finestra, offerta, articolo, ean, dove);
        file.Scrivi(promozione, TestoRigaImport(riga));
      }
      offerta.MoveNext();
    }
    file.Scarica();
  } catch (...) {
    file.ScaricaDopoErrore();
    throw;
  }
  env.CloseAll();
  Trasferisci(env, tracciato);
}

}  // namespace zav5::labels
