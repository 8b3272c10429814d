// The import line, byte for byte: both kinds written out in full, then field by field.
#include "labels/import_line.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "data/value_text.h"
#include "platform/codepage.h"

namespace zav5::labels {
namespace {

// The article of a price line, as the caller fills it from the price list.
ImportLine PriceLine() {
  ImportLine line;
  line.supplier_code = "AB1001          ";  // as stored: padded to 16
  line.ean = "8001234567890";
  line.descrizione = "SPAGHETTI N.5 500G";
  line.unit_of_measure = "KG";
  line.quantity = 0.5;
  line.vat_code = "";
  line.supplier = "PASTIFICIO ROSSI SPA";
  line.department = "ALIMENTARI";
  line.group = "";
  line.subgroup = "PASTA SECCA";
  line.price = data::Currency{19900};
  line.unit_price = "3,98";
  line.provenienza = "Italia";
  line.categoria = "I";
  return line;
}

// An article on promotion; the fields a promotion line leaves out are filled all the same.
ImportLine PromotionLine() {
  ImportLine line;
  line.promotion = true;
  line.supplier_code = "2345678";
  line.ean = "8009876543210";
  line.descrizione = "CAFF\xC3\x88 MACINATO MOKA 250G";  // CAFFÈ
  line.unit_of_measure = "PZ";
  line.quantity = 2;
  line.vat_code = "4";
  line.supplier = "TORREFAZIONE BIANCHI";
  line.department = "BEVANDE";
  line.group = "CAFFE";
  line.subgroup = "MACINATO";
  line.end_date = "07-12-2026";
  line.label_code = "P";
  line.price = data::Currency{22500};
  line.unit_price = "1,13";
  line.normal_price = "2,50";
  line.normal_unit_price = "1,25";
  line.sconto = data::Currency{100000};
  line.offer_description = "VOLANTINO DICEMBRE";
  return line;
}

// Field `numero` (from 1) of a line.
std::string FieldOf(const std::string& line, int numero) {
  std::size_t inizio = 0;
  for (int i = 1; i < numero; ++i) {
    inizio = line.find(';', inizio);
    if (inizio == std::string::npos) {
      ADD_FAILURE() << "la riga ha meno di " << numero << " campi";
      return {};
    }
    ++inizio;
  }
  return line.substr(inizio, line.find(';', inizio) - inizio);
}

TEST(ImportLineTextTest, WritesAPriceLine) {
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
  const std::string line = ImportLineText(PriceLine());
  EXPECT_EQ(line, atteso);
  EXPECT_EQ(std::count(line.begin(), line.end(), ';'), 53);
  EXPECT_EQ(line.back(), ';');  // field 54 is empty
}

TEST(ImportLineTextTest, WritesAPromotionLine) {
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
  const std::string line = ImportLineText(PromotionLine());
  EXPECT_EQ(line, atteso);
  EXPECT_EQ(std::count(line.begin(), line.end(), ';'), 53);
  EXPECT_EQ(line.back(), ';');
}

TEST(ImportLineTextTest, FitsFixedFieldsInCharacters) {
  ImportLine lunga = PriceLine();
  lunga.supplier_code = "  1234567890123456789";
  lunga.ean = "800123456789012";
  lunga.descrizione = std::string(60, 'D');
  lunga.vat_code = "10%";
  lunga.supplier = std::string(50, 'F');
  lunga.department = std::string(31, 'R');
  lunga.group = std::string(40, 'G');
  lunga.subgroup = std::string(40, 'S');
  lunga.label_code = "AB";
  lunga.offer_description = std::string(26, 'O');
  const std::string line = ImportLineText(lunga);

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
    EXPECT_EQ(FieldOf(line, numero), atteso);
  }
}

TEST(ImportLineTextTest, CountsAnAccentedLetterAsOneCharacter) {
  ImportLine line = PriceLine();
  line.descrizione = std::string(49, 'x') + "\xC3\xA0" + "yz";  // à is the 50th character
  line.department = "CITT\xC3\x80";                             // CITTÀ
  line.label_code = "\xC3\xA8";                                 // è
  const std::string testo = ImportLineText(line);
  EXPECT_EQ(FieldOf(testo, 4), std::string(49, 'x') + "\xC3\xA0");
  EXPECT_EQ(FieldOf(testo, 14), "CITT\xC3\x80" + std::string(25, ' '));
  EXPECT_EQ(FieldOf(testo, 22), "\xC3\xA8");
}

TEST(ImportLineTextTest, FixedFieldsKeepTheirWidthInTheCodePageWhenATextIsNotUtf8) {
  // A stray continuation byte, a euro sign cut short and an overlong "/": the file gets a "?" for
  // each of their five bytes, and the fields count them so.
  const std::string guasti = "\x80 \xE2\x82 \xC0\xAF";
  ImportLine line = PriceLine();
  line.descrizione = "CAFF\xC3\x88 " + guasti + std::string(60, 'X');
  EXPECT_EQ(FieldOf(platform::Utf8ToWindows1252(ImportLineText(line)), 4),
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
    line.supplier_code = line.ean = line.descrizione = line.vat_code = line.supplier = testo;
    line.department = line.group = line.subgroup = line.label_code = testo;
    line.offer_description = testo;
    const std::string scritta = platform::Utf8ToWindows1252(ImportLineText(line));
    EXPECT_EQ(std::count(scritta.begin(), scritta.end(), ';'), 53);
    for (const auto& [numero, width] : fissi) {
      EXPECT_EQ(FieldOf(scritta, numero).size(), width) << "campo " << numero;
    }
    for (const auto& [numero, width] : codici) {
      EXPECT_LE(FieldOf(scritta, numero).size(), width) << "campo " << numero;
    }
  }
  // The field of 13 cut right after the well-formed è, never through it.
  EXPECT_EQ(FieldOf(platform::Utf8ToWindows1252(ImportLineText(line)), 2),
            std::string(12, '?') + "\xE8");
}

TEST(ImportLineTextTest, TrimsTheCodesAfterFittingThem) {
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
    ImportLine line = PriceLine();
    line.supplier_code = codice;
    line.ean = " " + codice;
    const std::string testo = ImportLineText(line);
    EXPECT_EQ(FieldOf(testo, 1), atteso);
  }
  ImportLine line = PriceLine();
  line.ean = "  800123  ";
  EXPECT_EQ(FieldOf(ImportLineText(line), 2), "800123");
  EXPECT_EQ(FieldOf(ImportLineText(line), 3), "800123");
}

TEST(ImportLineTextTest, PadsEmptyFixedFieldsWithBlanks) {
  ImportLine vuota;
  const std::string line = ImportLineText(vuota);
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
    EXPECT_EQ(FieldOf(line, numero), atteso);
  }
}

TEST(ImportLineTextTest, LeavesOutWhatTheOtherKindOfLineCarries) {
  // A price line drops the end date and the regular prices even when they are filled.
  ImportLine price = PromotionLine();
  price.promotion = false;
  const std::string riga_prezzo = ImportLineText(price);
  EXPECT_EQ(FieldOf(riga_prezzo, 13), "TORREFAZIONE BIANCHI" + std::string(25, ' '));
  EXPECT_EQ(FieldOf(riga_prezzo, 15), "CAFFE" + std::string(25, ' '));
  EXPECT_EQ(FieldOf(riga_prezzo, 16), "MACINATO" + std::string(22, ' '));
  EXPECT_EQ(FieldOf(riga_prezzo, 19), "");
  EXPECT_EQ(FieldOf(riga_prezzo, 25), "");
  EXPECT_EQ(FieldOf(riga_prezzo, 26), "");
  EXPECT_EQ(FieldOf(riga_prezzo, 33), "0");

  // A promotion line drops the supplier name and the subgroup, and writes "0" for the group.
  ImportLine promotion = PriceLine();
  promotion.promotion = true;
  promotion.group = "PASTA";
  const std::string riga_promozione = ImportLineText(promotion);
  EXPECT_EQ(FieldOf(riga_promozione, 13), "");
  EXPECT_EQ(FieldOf(riga_promozione, 15), "0");
  EXPECT_EQ(FieldOf(riga_promozione, 16), "");
  EXPECT_EQ(FieldOf(riga_promozione, 25), "0");
  EXPECT_EQ(FieldOf(riga_promozione, 26), "0");
  EXPECT_EQ(FieldOf(riga_promozione, 33), "1");
}

TEST(ImportLineTextTest, WritesNumbersInTheirRegionalForms) {
  struct Caso {
    double quantity;
    std::int64_t price, sconto;
    data::RegionalSettings regionale;
    std::string quantita_testo, prezzo_testo, sconto_testo;
  };
  const std::vector<Caso> casi = {
      {0.5, 19900, 0, data::kItalianSettings, "0,5", "1,99", "0"},
      {2, 30000, 125000, data::kItalianSettings, "2", "3", "12,5"},
      {1.25, 12345000, 2250, data::kItalianSettings, "1,25", "1234,5", "0,225"},
      {0.5, 19900, 125000, data::RegionalSettings{'.', ','}, "0.5", "1.99", "12.5"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.quantita_testo);
    ImportLine line = PriceLine();
    line.quantity = caso.quantity;
    line.price = data::Currency{caso.price};
    line.sconto = data::Currency{caso.sconto};
    const std::string testo = ImportLineText(line, caso.regionale);
    EXPECT_EQ(FieldOf(testo, 11), caso.quantita_testo);
    EXPECT_EQ(FieldOf(testo, 35), caso.quantita_testo);
    EXPECT_EQ(FieldOf(testo, 23), caso.prezzo_testo);
    EXPECT_EQ(FieldOf(testo, 32), caso.sconto_testo);
  }
}

TEST(ImportLineTextTest, ASeparatorOrLineBreakInAStoreTextCannotShiftTheFields) {
  ImportLine line = PriceLine();
  line.descrizione = "OLIO; EXTRA\r\nVERGINE";
  line.supplier = "ROSSI;BIANCHI";
  line.categoria = "A;B";
  const std::string testo = ImportLineText(line);
  EXPECT_EQ(std::count(testo.begin(), testo.end(), ';'), 53);
  EXPECT_EQ(testo.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(FieldOf(testo, 4), data::FitText("OLIO, EXTRA  VERGINE", 50));
  EXPECT_EQ(FieldOf(testo, 13), data::FitText("ROSSI,BIANCHI", 45));
  EXPECT_EQ(FieldOf(testo, 23), FieldOf(ImportLineText(PriceLine()), 23));
  EXPECT_EQ(FieldOf(testo, 40), "A,B");
}

}  // namespace
}  // namespace zav5::labels
