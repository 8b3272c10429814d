#include "labels/riga_import.h"

#include <array>
#include <string>
#include <string_view>

#include "labels/testi_etichette.h"

namespace zav5::labels {

namespace {

std::string Fisso(std::string_view testo, std::size_t lunghezza) {
  return data::FitText(testo, lunghezza);
}

// A fixed-length code is stored padded, then written without its blanks.
std::string FissoRifilato(std::string_view testo, std::size_t lunghezza) {
  return std::string(Rifilato(data::FitText(testo, lunghezza)));
}

// Appends a field's text. The label system splits a line at every ";" and reads one line per
// line end, so a text of the store that holds one of them would shift every field after it (the
// price among them) or cut the line in two: a ";" becomes a ",", a line break a blank. Both keep
// the field's length.
void AggiungiCampo(std::string& riga, std::string_view campo) {
  for (const char c : campo) {
    switch (c) {
      case ';':
        riga += ',';
        break;
      case '\r':
      case '\n':
        riga += ' ';
        break;
      default:
        riga += c;
    }
  }
}

}  // namespace

std::string TestoRigaImport(const RigaImport& riga, const data::RegionalSettings& regionale) {
  const bool p = riga.promozione;
  const std::string ean = FissoRifilato(riga.ean, 13);
  const std::string quantita = data::Value::Double(riga.quantita).ToText(regionale);

  // One entry per field, numbered as the label system numbers them; the two kinds of line differ
  // only in 13 to 21 and in 25 to 26.
  const std::array<std::string, 54> campi = {
      FissoRifilato(riga.codice_fornitore, 16),  // 1 supplier code
      ean,                                       // 2 EAN
      ean,                                       // 3 EAN again
      Fisso(riga.descrizione, 50),               // 4 description
      "",                                        // 5
      "",                                        // 6
      "",                                        // 7
      "",                                        // 8
      "",                                        // 9
      riga.unita_misura,                         // 10 unit of measure
      quantita,                                  // 11 quantity
      Fisso(riga.iva, 2),                        // 12 VAT code
      p ? "" : Fisso(riga.fornitore, 45),        // 13 supplier name
      Fisso(riga.reparto, 30),                   // 14 department
      p ? "0" : Fisso(riga.gruppo, 30),          // 15 group
      p ? "" : Fisso(riga.sottogruppo, 30),      // 16 subgroup
      "",                                        // 17
      "",                                        // 18
      p ? riga.data_fine : "",                   // 19 end date
      "",                                        // 20
      "",                                        // 21
      Fisso(riga.codice_etichetta, 1),           // 22 label code
      Denaro(riga.prezzo, regionale),            // 23 price
      riga.prezzo_unitario,                      // 24 unit price
      p ? riga.prezzo_normale : "",              // 25 regular price
      p ? riga.prezzo_unitario_normale : "",     // 26 regular unit price
      "",                                        // 27
      "",                                        // 28
      "",                                        // 29
      "",                                        // 30
      "",                                        // 31
      Denaro(riga.sconto, regionale),            // 32 discount
      p ? "1" : "0",                             // 33 kind flag
      Fisso(riga.descrizione_offerta, 25),       // 34 offer description
      quantita,                                  // 35 quantity again
      "",                                        // 36
      "",                                        // 37
      "",                                        // 38
      riga.provenienza,                          // 39 provenance
      riga.categoria,                            // 40 category
      "",                                        // 41
      "",                                        // 42
      "",                                        // 43
      "",                                        // 44
      "",                                        // 45
      "",                                        // 46
      "",                                        // 47
      "",                                        // 48
      "",                                        // 49
      "",                                        // 50
      "",                                        // 51
      "",                                        // 52
      "",                                        // 53
      "",                                        // 54
  };

  std::string riga_testo;
  for (std::size_t i = 0; i < campi.size(); ++i) {
    if (i > 0) {
      riga_testo += ';';
    }
    AggiungiCampo(riga_testo, campi[i]);
  }
  return riga_testo;
}

}  // namespace zav5::labels
