// The import line, byte for byte: both kinds written out in full, then field by field.
#include "labels/riga_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"

namespace zav5::labels {
namespace {

// The article of a price line, as the caller fills it from the price list.
RigaImport RigaPrezzo() {
  RigaImport riga;
  riga.codice_fornitore = "AB1001          ";  // as stored: padded to 16
  riga.ean = "8001234567890";
  riga.descrizione = "SPAGHETTI N.5 500G";
  riga.unita_misura = "KG";
  riga.quantita = 0.5;
  riga.iva = "";
  riga.fornitore = "PASTIFICIO ROSSI SPA";
  riga.reparto = "ALIMENTARI";
  riga.gruppo = "";
  riga.sottogruppo = "PASTA SECCA";
  riga.prezzo = data::Currency{19900};
  riga.prezzo_unitario = "3,98";
  riga.provenienza = "Italia";
  riga.categoria = "I";
  return riga;
}

// An article on promotion; the fields a promotion line leaves out are filled all the same.
RigaImport RigaPromozione() {
  RigaImport riga;
  riga.promozione = true;
  riga.codice_fornitore = "2345678";
  riga.ean = "8009876543210";
  riga.descrizione = "CAFF\xC3\x88 MACINATO MOKA 250G";  // CAFFÈ
  riga.unita_misura = "PZ";
  riga.quantita = 2;
  riga.iva = "4";
  riga.fornitore = "TORREFAZIONE BIANCHI";
  riga.reparto = "BEVANDE";
  riga.gruppo = "CAFFE";
  riga.sottogruppo = "MACINATO";
  riga.data_fine = "07-12-2026";
  riga.codice_etichetta = "P";
  riga.prezzo = data::Currency{22500};
  riga.prezzo_unitario = "1,13";
  riga.prezzo_normale = "2,50";
  riga.prezzo_unitario_normale = "1,25";
  riga.sconto = data::Currency{100000};
  riga.descrizione_offerta = "VOLANTINO DICEMBRE";
  return riga;
}

// Field `numero` (from 1) of a line.
std::string Campo(const std::string& riga, int numero) {
  std::size_t inizio = 0;
  for (int i = 1; i < numero; ++i) {
    inizio = riga.find(';', inizio);
    if (inizio == std::string::npos) {
      ADD_FAILURE() << "la riga ha meno di " << numero << " campi";
      return {};
    }
    ++inizio;
  }
  return riga.substr(inizio, riga.find(';', inizio) - inizio);
}

TEST(TestoRigaImportTest, WritesAPriceLine) {
  const std::string atteso =
      "AB1001;8001234567890;8001234567890;"
      "SPAGHETTI N.5 500G                                ;"  // 50
      ";;;;;"
      "KG;0,5;  ;"
      "PASTIFICIO ROSSI SPA                         ;"  // 45
      "ALIMENTARI                    ;"                 // 30
      "                              ;"                 // 30, no group
      "PASTA SECCA                   ;"                 // 30
      ";;;;;"
      " ;1,99;3,98;"
      ";;;;;;;"
      "0;0;"
      "                         ;"  // 25
      "0,5;;;;Italia;I;"
      ";;;;;;;;;;;;;";
  const std::string riga = TestoRigaImport(RigaPrezzo());
  EXPECT_EQ(riga, atteso);
  EXPECT_EQ(std::count(riga.begin(), riga.end(), ';'), 53);
  EXPECT_EQ(riga.back(), ';');  // field 54 is empty
}

TEST(TestoRigaImportTest, WritesAPromotionLine) {
  const std::string atteso =
      "2345678;8009876543210;8009876543210;"
      "CAFF\xC3\x88 MACINATO MOKA 250G                          ;"  // 50 characters, 51 bytes
      ";;;;;"
      "PZ;2;4 ;"
      ";"                                // no supplier name
      "BEVANDE                       ;"  // 30
      "0;;;;07-12-2026;;;"
      "P;2,25;1,13;2,50;1,25;"
      ";;;;;"
      "10;1;"
      "VOLANTINO DICEMBRE       ;"  // 25
      "2;;;;;;"
      ";;;;;;;;;;;;;";
  const std::string riga = TestoRigaImport(RigaPromozione());
  EXPECT_EQ(riga, atteso);
  EXPECT_EQ(std::count(riga.begin(), riga.end(), ';'), 53);
  EXPECT_EQ(riga.back(), ';');
}

TEST(TestoRigaImportTest, FitsFixedFieldsInCharacters) {
  RigaImport lunga = RigaPrezzo();
  lunga.codice_fornitore = "  1234567890123456789";
  lunga.ean = "800123456789012";
  lunga.descrizione = std::string(60, 'D');
  lunga.iva = "10%";
  lunga.fornitore = std::string(50, 'F');
  lunga.reparto = std::string(31, 'R');
  lunga.gruppo = std::string(40, 'G');
  lunga.sottogruppo = std::string(40, 'S');
  lunga.codice_etichetta = "AB";
  lunga.descrizione_offerta = std::string(26, 'O');
  const std::string riga = TestoRigaImport(lunga);

  const std::vector<std::pair<int, std::string>> attesi = {
      {1, "12345678901234"},  // cut to 16, then trimmed
      {2, "8001234567890"},
      {3, "8001234567890"},
      {4, std::string(50, 'D')},
      {12, "10"},
      {13, std::string(45, 'F')},
      {14, std::string(30, 'R')},
      {15, std::string(30, 'G')},
      {16, std::string(30, 'S')},
      {22, "A"},
      {34, std::string(25, 'O')},
  };
  for (const auto& [numero, atteso] : attesi) {
    SCOPED_TRACE(numero);
    EXPECT_EQ(Campo(riga, numero), atteso);
  }
}

TEST(TestoRigaImportTest, CountsAnAccentedLetterAsOneCharacter) {
  RigaImport riga = RigaPrezzo();
  riga.descrizione = std::string(49, 'x') + "\xC3\xA0" + "yz";  // à is the 50th character
  riga.reparto = "CITT\xC3\x80";                                // CITTÀ
  riga.codice_etichetta = "\xC3\xA8";                           // è
  const std::string testo = TestoRigaImport(riga);
  EXPECT_EQ(Campo(testo, 4), std::string(49, 'x') + "\xC3\xA0");
  EXPECT_EQ(Campo(testo, 14), "CITT\xC3\x80" + std::string(25, ' '));
  EXPECT_EQ(Campo(testo, 22), "\xC3\xA8");
}

TEST(TestoRigaImportTest, FixedFieldsKeepTheirWidthInTheCodePageWhenATextIsNotUtf8) {
  // A stray continuation byte, a euro sign cut short and an overlong "/": the file gets a "?" for
  // each of their five bytes, and the fields count them so.
  const std::string guasti = "\x80 \xE2\x82 \xC0\xAF";
  RigaImport riga = RigaPrezzo();
  riga.descrizione = "CAFF\xC3\x88 " + guasti + std::string(60, 'X');
  EXPECT_EQ(Campo(platform::Utf8ToWindows1252(TestoRigaImport(riga)), 4),
            "CAFF\xC8 ? ?? ??" + std::string(37, 'X'));

  // Every fixed field, filled with such texts shorter and longer than it, with a well-formed
  // letter at the cut.
  const std::vector<std::pair<int, std::size_t>> fissi = {
      {4, 50}, {12, 2}, {13, 45}, {14, 30}, {15, 30}, {16, 30}, {22, 1}, {34, 25},
  };
  const std::vector<std::pair<int, std::size_t>> codici = {{1, 16}, {2, 13}, {3, 13}};
  for (const std::string& testo :
       {guasti, guasti + guasti + guasti + guasti + guasti + guasti, std::string(60, '\x80'),
        "\xC3\xA0" + guasti, std::string(12, '\xC3') + "\xC3\xA8" + guasti}) {
    SCOPED_TRACE(testing::PrintToString(testo));
    riga.codice_fornitore = riga.ean = riga.descrizione = riga.iva = riga.fornitore = testo;
    riga.reparto = riga.gruppo = riga.sottogruppo = riga.codice_etichetta = testo;
    riga.descrizione_offerta = testo;
    const std::string scritta = platform::Utf8ToWindows1252(TestoRigaImport(riga));
    EXPECT_EQ(std::count(scritta.begin(), scritta.end(), ';'), 53);
    for (const auto& [numero, larghezza] : fissi) {
      EXPECT_EQ(Campo(scritta, numero).size(), larghezza) << "campo " << numero;
    }
    for (const auto& [numero, larghezza] : codici) {
      EXPECT_LE(Campo(scritta, numero).size(), larghezza) << "campo " << numero;
    }
  }
  // The field of 13 cut right after the well-formed è, never through it.
  EXPECT_EQ(Campo(platform::Utf8ToWindows1252(TestoRigaImport(riga)), 2),
            std::string(12, '?') + "\xE8");
}

TEST(TestoRigaImportTest, TrimsTheCodesAfterFittingThem) {
  const std::vector<std::pair<std::string, std::string>> casi = {
      {"AB1001", "AB1001"},
      {"AB1001          ", "AB1001"},
      {"   AB1001", "AB1001"},
      {"AB 1001", "AB 1001"},
      {"", ""},
      {"                ", ""},
      {"               X  Y", "X"},  // the 16th character is X; the rest is cut first
  };
  for (const auto& [codice, atteso] : casi) {
    SCOPED_TRACE(codice);
    RigaImport riga = RigaPrezzo();
    riga.codice_fornitore = codice;
    riga.ean = " " + codice;
    const std::string testo = TestoRigaImport(riga);
    EXPECT_EQ(Campo(testo, 1), atteso);
  }
  RigaImport riga = RigaPrezzo();
  riga.ean = "  800123  ";
  EXPECT_EQ(Campo(TestoRigaImport(riga), 2), "800123");
  EXPECT_EQ(Campo(TestoRigaImport(riga), 3), "800123");
}

TEST(TestoRigaImportTest, PadsEmptyFixedFieldsWithBlanks) {
  RigaImport vuota;
  const std::string riga = TestoRigaImport(vuota);
  const std::vector<std::pair<int, std::string>> attesi = {
      {1, ""},
      {2, ""},
      {3, ""},
      {4, std::string(50, ' ')},
      {10, ""},
      {11, "0"},
      {12, "  "},
      {13, std::string(45, ' ')},
      {14, std::string(30, ' ')},
      {15, std::string(30, ' ')},
      {16, std::string(30, ' ')},
      {22, " "},
      {23, "0"},
      {24, "0"},
      {25, ""},
      {26, ""},
      {32, "0"},
      {33, "0"},
      {34, std::string(25, ' ')},
      {35, "0"},
      {39, ""},
      {40, ""},
  };
  for (const auto& [numero, atteso] : attesi) {
    SCOPED_TRACE(numero);
    EXPECT_EQ(Campo(riga, numero), atteso);
  }
}

TEST(TestoRigaImportTest, LeavesOutWhatTheOtherKindOfLineCarries) {
  // A price line drops the end date and the regular prices even when they are filled.
  RigaImport prezzo = RigaPromozione();
  prezzo.promozione = false;
  const std::string riga_prezzo = TestoRigaImport(prezzo);
  EXPECT_EQ(Campo(riga_prezzo, 13), "TORREFAZIONE BIANCHI" + std::string(25, ' '));
  EXPECT_EQ(Campo(riga_prezzo, 15), "CAFFE" + std::string(25, ' '));
  EXPECT_EQ(Campo(riga_prezzo, 16), "MACINATO" + std::string(22, ' '));
  EXPECT_EQ(Campo(riga_prezzo, 19), "");
  EXPECT_EQ(Campo(riga_prezzo, 25), "");
  EXPECT_EQ(Campo(riga_prezzo, 26), "");
  EXPECT_EQ(Campo(riga_prezzo, 33), "0");

  // A promotion line drops the supplier name and the subgroup, and writes "0" for the group.
  RigaImport promozione = RigaPrezzo();
  promozione.promozione = true;
  promozione.gruppo = "PASTA";
  const std::string riga_promozione = TestoRigaImport(promozione);
  EXPECT_EQ(Campo(riga_promozione, 13), "");
  EXPECT_EQ(Campo(riga_promozione, 15), "0");
  EXPECT_EQ(Campo(riga_promozione, 16), "");
  EXPECT_EQ(Campo(riga_promozione, 25), "0");
  EXPECT_EQ(Campo(riga_promozione, 26), "0");
  EXPECT_EQ(Campo(riga_promozione, 33), "1");
}

TEST(TestoRigaImportTest, WritesNumbersInTheirRegionalForms) {
  struct Caso {
    double quantita;
    std::int64_t prezzo, sconto;
    data::RegionalSettings regionale;
    std::string quantita_testo, prezzo_testo, sconto_testo;
  };
  const std::vector<Caso> casi = {
      {0.5, 19900, 0, data::kItaliano, "0,5", "1,99", "0"},
      {2, 30000, 125000, data::kItaliano, "2", "3", "12,5"},
      {1.25, 12345000, 2250, data::kItaliano, "1,25", "1234,5", "0,225"},
      {0.5, 19900, 125000, data::RegionalSettings{'.', ','}, "0.5", "1.99", "12.5"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.quantita_testo);
    RigaImport riga = RigaPrezzo();
    riga.quantita = caso.quantita;
    riga.prezzo = data::Currency{caso.prezzo};
    riga.sconto = data::Currency{caso.sconto};
    const std::string testo = TestoRigaImport(riga, caso.regionale);
    EXPECT_EQ(Campo(testo, 11), caso.quantita_testo);
    EXPECT_EQ(Campo(testo, 35), caso.quantita_testo);
    EXPECT_EQ(Campo(testo, 23), caso.prezzo_testo);
    EXPECT_EQ(Campo(testo, 32), caso.sconto_testo);
  }
}

TEST(TestoRigaImportTest, ASeparatorOrLineBreakInAStoreTextCannotShiftTheFields) {
  RigaImport riga = RigaPrezzo();
  riga.descrizione = "OLIO; EXTRA\r\nVERGINE";
  riga.fornitore = "ROSSI;BIANCHI";
  riga.categoria = "A;B";
  const std::string testo = TestoRigaImport(riga);
  EXPECT_EQ(std::count(testo.begin(), testo.end(), ';'), 53);
  EXPECT_EQ(testo.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(Campo(testo, 4), data::FitText("OLIO, EXTRA  VERGINE", 50));
  EXPECT_EQ(Campo(testo, 13), data::FitText("ROSSI,BIANCHI", 45));
  EXPECT_EQ(Campo(testo, 23), Campo(TestoRigaImport(RigaPrezzo()), 23));
  EXPECT_EQ(Campo(testo, 40), "A,B");
}

}  // namespace
}  // namespace zav5::labels
