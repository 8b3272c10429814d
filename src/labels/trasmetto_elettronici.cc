#include "labels/trasmetto_elettronici.h"

#include <map>
#include <optional>
#include <string_view>

#include <fmt/core.h>

#include "data/field_reading.h"
#include "data/sql_text.h"
#include "data/value.h"
#include "errors.h"
#include "labels/articolo_ean.h"
#include "labels/consegne.h"
#include "labels/riga_import.h"
#include "labels/testi_etichette.h"
#include "labels/tracciato.h"

namespace zav5::labels {

namespace {

using data::Recordset;
using data::Value;

constexpr std::size_t kLunghezzaCodiceFornitore = 16;

// The kind of file that receives a line of the layout.
TipoImport TipoDi(Tracciato tracciato, bool promozione) {
  if (tracciato == Tracciato::kFileUnico) {
    return TipoImport::kUnico;
  }
  return promozione ? TipoImport::kPromozioni : TipoImport::kPrezzi;
}

// Where an offer row stands, for messages.
struct Posizione {
  std::int32_t numero;
  std::int32_t anno;
  int row;  // counted from 1 in the order the rows are read
};

// A field that the line cannot do without; Null is an error that names the offer and the row.
const Value& Obbligatorio(const data::RowEditor& row, std::string_view table,
                          std::string_view field, const Posizione& dove) {
  const Value& value = row.Field(field);
  if (value.IsNull()) {
    throw ConversionError(fmt::format("offerta {}/{}, riga {}: il campo {}.{} è vuoto (Null)",
                                      dove.numero, dove.anno, dove.row, table, field));
  }
  return value;
}

// The article of the current offer row: its own article code, or, when the row has none (Null),
// the article of its EAN, the one the deactivation restored. Without either the row is an error.
std::int32_t CodiceArticoloDellaRiga(work::WorkContext& work, const Recordset& offerta,
                                     const std::string& ean, const Posizione& dove) {
  if (!offerta.Field("articoli").IsNull()) {
    return data::FieldLong(offerta, "offmo", "articoli");
  }
  if (const std::optional<std::int32_t> articolo = ArticoloDellEan(work, ean)) {
    return *articolo;
  }
  throw ConversionError(fmt::format(
      "offerta {}/{}, riga {}: EAN {} non trovato in codean e campo offmo.articoli vuoto (Null)",
      dove.numero, dove.anno, dove.row, ean));
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

// A text field as text; nothing when it is Null.
std::optional<std::string> TestoDelCampo(const Recordset& row, std::string_view field) {
  if (row.Field(field).IsNull()) {
    return std::nullopt;
  }
  std::string testo;
  TestoSePresente(row, field, testo);
  return testo;
}

// What the promotion type of an offtab row gives the line; nothing for a Null field.
struct TipoPromozione {
  std::optional<std::string> descrizione;
  std::optional<std::string> codelettro;
};

// The rows of the small tables unitam and offtab that the lines of one offer ask for, each read
// once: an offer's articles share a handful of units and promotion types. Each code is looked up
// by the engine the first time, so that it matches as the engine compares (case, blanks).
class TabellePiccole {
 public:
  // The factor of the unit of measure for unit prices; 0 for a unit that unitam does not have.
  double FattoreUnita(work::WorkContext& work, const std::string& codice_unita) {
    if (const auto nota = fattori_.find(codice_unita); nota != fattori_.end()) {
      return nota->second;
    }
    Recordset& unita = work.PointSource("unita2", "SELECT * FROM unitam WHERE  coduni = '" +
                                                      data::DoubleQuotes(codice_unita) + "' ")
                           .Recordset();
    const double fattore = unita.Eof() ? 0 : data::FieldDouble(unita, "unitam", "fatxmul");
    fattori_.emplace(codice_unita, fattore);
    return fattore;
  }

  // The promotion type `codice` of offtab; nothing when offtab does not have it.
  const std::optional<TipoPromozione>& Tipo(work::WorkContext& work, std::int32_t codice) {
    if (const auto nota = tipi_.find(codice); nota != tipi_.end()) {
      return nota->second;
    }
    Recordset& tipo =
        work.PointSource("offtab",
                         "SELECT * FROM offtab WHERE  codice = " + std::to_string(codice) + " ")
            .Recordset();
    std::optional<TipoPromozione> trovato;
    if (!tipo.Eof()) {
      trovato =
          TipoPromozione{TestoDelCampo(tipo, "descrizione"), TestoDelCampo(tipo, "codelettro")};
    }
    return tipi_.emplace(codice, std::move(trovato)).first->second;
  }

 private:
  std::map<std::string, double> fattori_;
  std::map<std::int32_t, std::optional<TipoPromozione>> tipi_;
};

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
RigaImport RigaDellArticolo(work::WorkContext& work, TabellePiccole& tabelle, Recordset& offerta,
                            Recordset& articolo, const std::string& ean, const Posizione& dove) {
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
  const double fattore = tabelle.FattoreUnita(work, codice_unita);
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
  if (const std::optional<TipoPromozione>& tipo = tabelle.Tipo(work, codice_promozione)) {
    riga.descrizione_offerta = tipo->descrizione.value_or(riga.descrizione_offerta);
    riga.codice_etichetta = tipo->codelettro.value_or(riga.codice_etichetta);
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

void Trasmetto_Elettronici(work::WorkContext& work, Consegne& outbox,
                           const std::string& PercorsoElettro, std::int32_t Numpro,
                           std::int32_t AnnoPro) {
  platform::Env& env = work.env();
  Recordset& offerta =
      work.PointSource("Data1",
                       "SELECT * FROM offmo WHERE bnumer =  " + std::to_string(Numpro) +
                           " and bannoc = " + std::to_string(AnnoPro) + " ",
                       true)
          .Recordset();
  offerta.LockEdits(false);

  const SistemaEtichette sistema{PercorsoElettro, TracciatoDa(work.FtpElettro),
                                 std::string(Rifilato(work.VexularElettro))};
  const std::unique_ptr<Preparazione> file =
      outbox.Prepara(work.contesto().PercorsoDati, Numpro, AnnoPro, sistema);
  if (offerta.Eof()) {
    // Nothing to write; the hand-over only cleans the label folder.
    file->Chiudi(false);
    return;
  }
  env.CloseAll();

  Posizione dove{Numpro, AnnoPro, 0};
  TabellePiccole tabelle;
  offerta.MoveFirst();
  while (!offerta.Eof()) {
    ++dove.row;
    const std::string ean =
        data::FitText(Obbligatorio(offerta, "offmo", "eanrig", dove).ToText(), 13);
    const std::int32_t codice_articolo = CodiceArticoloDellaRiga(work, offerta, ean, dove);
    Recordset& articolo = work.PointSource("listi01", "SELECT * FROM listi01 WHERE  codart = " +
                                                          std::to_string(codice_articolo) + " ")
                              .Recordset();
    if (!articolo.Eof()) {
      const bool promozione = InPromozione(articolo);
      const RigaImport riga = RigaDellArticolo(work, tabelle, offerta, articolo, ean, dove);
      file->Scrivi(TipoDi(sistema.tracciato, promozione), TestoRigaImport(riga));
    }
    offerta.MoveNext();
  }
  file->Chiudi(true);
  env.CloseAll();
}

}  // namespace zav5::labels
