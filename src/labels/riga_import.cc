#include "labels/riga_import.h"

#include <string>
#include <string_view>

#include "labels/testi_etichette.h"
#include "platform/utf8.h"

namespace zav5::labels {

namespace {

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

// The fields of a line, each appended after a ";" but the first.
class Campi {
 public:
  explicit Campi(std::string& riga) : riga_(riga) {}

  // A text as it stands.
  void Testo(std::string_view testo) {
    Separa();
    AggiungiCampo(riga_, testo);
  }

  // A fixed-length text: its first `lunghezza` characters, padded with blanks (data::FitText).
  void Fisso(std::string_view testo, std::size_t lunghezza) {
    Separa();
    std::size_t caratteri = 0;
    const std::string_view parte = Primi(testo, lunghezza, caratteri);
    AggiungiCampo(riga_, parte);
    riga_.append(lunghezza - caratteri, ' ');
  }

  // A fixed-length code, stored padded, then written without its blanks.
  void FissoRifilato(std::string_view testo, std::size_t lunghezza) {
    Separa();
    std::size_t caratteri = 0;
    AggiungiCampo(riga_, Rifilato(Primi(testo, lunghezza, caratteri)));
  }

  // `quanti` empty fields.
  void Vuoti(int quanti) {
    for (int i = 0; i < quanti; ++i) {
      Separa();
    }
  }

 private:
  void Separa() {
    if (primo_) {
      primo_ = false;
    } else {
      riga_ += ';';
    }
  }

  // The first `lunghezza` characters of `testo` (fewer when it is shorter), counted as FitText
  // counts them: the file is written in the store's code page, where each byte that is not
  // well-formed UTF-8 becomes a "?" of its own. `caratteri` receives how many they are.
  static std::string_view Primi(std::string_view testo, std::size_t lunghezza,
                                std::size_t& caratteri) {
    std::size_t fine = 0;
    caratteri = 0;
    while (fine < testo.size() && caratteri < lunghezza) {
      fine = platform::SkipUtf8Character(testo, fine);
      ++caratteri;
    }
    return testo.substr(0, fine);
  }

  std::string& riga_;
  bool primo_ = true;
};

}  // namespace

std::string TestoRigaImport(const RigaImport& riga, const data::RegionalSettings& regionale) {
  const bool p = riga.promozione;
  const std::string quantita = data::Value::Double(riga.quantita).ToText(regionale);

  // The fields numbered as the label system numbers them; the two kinds of line differ only in
  // 13 to 21 and in 25 to 26.
  std::string testo;
  testo.reserve(320);
  Campi campi(testo);
  campi.FissoRifilato(riga.codice_fornitore, 16);  // 1 supplier code
  campi.FissoRifilato(riga.ean, 13);               // 2 EAN
  campi.FissoRifilato(riga.ean, 13);               // 3 EAN again
  campi.Fisso(riga.descrizione, 50);               // 4 description
  campi.Vuoti(5);                                  // 5 to 9
  campi.Testo(riga.unita_misura);                  // 10 unit of measure
  campi.Testo(quantita);                           // 11 quantity
  campi.Fisso(riga.iva, 2);                        // 12 VAT code
  if (p) {
    campi.Testo("");  // 13 supplier name
  } else {
    campi.Fisso(riga.fornitore, 45);
  }
  campi.Fisso(riga.reparto, 30);  // 14 department
  if (p) {
    campi.Testo("0");  // 15 group
    campi.Testo("");   // 16 subgroup
  } else {
    campi.Fisso(riga.gruppo, 30);
    campi.Fisso(riga.sottogruppo, 30);
  }
  campi.Vuoti(2);                                                        // 17, 18
  campi.Testo(p ? std::string_view(riga.data_fine) : "");                // 19 end date
  campi.Vuoti(2);                                                        // 20, 21
  campi.Fisso(riga.codice_etichetta, 1);                                 // 22 label code
  campi.Testo(Denaro(riga.prezzo, regionale));                           // 23 price
  campi.Testo(riga.prezzo_unitario);                                     // 24 unit price
  campi.Testo(p ? std::string_view(riga.prezzo_normale) : "");           // 25 regular price
  campi.Testo(p ? std::string_view(riga.prezzo_unitario_normale) : "");  // 26 regular unit price
  campi.Vuoti(5);                                                        // 27 to 31
  campi.Testo(Denaro(riga.sconto, regionale));                           // 32 discount
  campi.Testo(p ? "1" : "0");                                            // 33 kind flag
  campi.Fisso(riga.descrizione_offerta, 25);                             // 34 offer description
  campi.Testo(quantita);                                                 // 35 quantity again
  campi.Vuoti(3);                                                        // 36 to 38
  campi.Testo(riga.provenienza);                                         // 39 provenance
  campi.Testo(riga.categoria);                                           // 40 category
  campi.Vuoti(14);                                                       // 41 to 54
  return testo;
}

}  // namespace zav5::labels
