#include "app/demo_store.h"

#include <array>
#include <cmath>
#include <fstream>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "data/sql_text.h"
#include "data/sqlite/sqlite_create.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "schema_texts.h"

namespace zav5::app {

namespace {

// A product line of the demo catalogue; every line comes in each brand below.
struct Product {
  std::string_view descrizione;
  std::string_view department;
  std::string_view group;
  std::string_view subgroup;
  std::string_view unit;  // unit of measure and its code in unitam
  double quantity;        // in that unit
  double price;           // public price of the cheapest brand
  std::string_view vat_code;
};

constexpr std::array<Product, 30> kProducts = {{
    {"SPAGHETTI N.5", "ALIMENTARI", "PASTA", "PASTA SECCA", "GR", 500, 0.89, "04"},
    {"PENNE RIGATE", "ALIMENTARI", "PASTA", "PASTA SECCA", "GR", 500, 0.89, "04"},
    {"FUSILLI", "ALIMENTARI", "PASTA", "PASTA SECCA", "GR", 500, 0.95, "04"},
    {"RISO CARNAROLI", "ALIMENTARI", "RISO", "RISO", "KG", 1, 2.49, "04"},
    {"PASSATA DI POMODORO", "ALIMENTARI", "CONSERVE", "POMODORO", "GR", 700, 0.99, "04"},
    {"OLIO EXTRAVERGINE DI OLIVA", "ALIMENTARI", "CONDIMENTI", "OLIO", "LT", 1, 7.90, "04"},
    {"ACETO DI VINO BIANCO", "ALIMENTARI", "CONDIMENTI", "ACETO", "LT", 1, 0.79, "22"},
    {"TONNO ALL'OLIO DI OLIVA 3X80G", "ALIMENTARI", "CONSERVE", "ITTICO", "GR", 240, 3.49, "10"},
    {"CAFFE' MACINATO MOKA", "DROGHERIA", "CAFFE'", "MACINATO", "GR", 250, 3.29, "22"},
    {"BISCOTTI FROLLINI", "DROGHERIA", "DOLCIARIO", "BISCOTTI", "GR", 350, 1.89, "10"},
    {"FETTE BISCOTTATE", "DROGHERIA", "DOLCIARIO", "PRIMA COLAZIONE", "GR", 315, 1.59, "04"},
    {"MARMELLATA DI ALBICOCCHE", "DROGHERIA", "DOLCIARIO", "CONFETTURE", "GR", 340, 2.19, "10"},
    {"ZUCCHERO SEMOLATO", "DROGHERIA", "ZUCCHERO", "ZUCCHERO", "KG", 1, 1.15, "10"},
    {"LATTE INTERO UHT", "FRESCHI", "LATTICINI", "LATTE", "LT", 1, 1.19, "04"},
    {"LATTE PARZIALMENTE SCREMATO", "FRESCHI", "LATTICINI", "LATTE", "LT", 1, 1.09, "04"},
    {"YOGURT BIANCO INTERO 2X125G", "FRESCHI", "LATTICINI", "YOGURT", "GR", 250, 0.99, "04"},
    {"MOZZARELLA FIOR DI LATTE", "FRESCHI", "LATTICINI", "FORMAGGI FRESCHI", "GR", 125, 0.89, "04"},
    {"PARMIGIANO REGGIANO 24 MESI", "FRESCHI", "FORMAGGI", "STAGIONATI", "GR", 300, 6.90, "04"},
    {"PROSCIUTTO COTTO AFFETTATO", "FRESCHI", "SALUMI", "AFFETTATI", "GR", 120, 2.49, "10"},
    {"BURRO", "FRESCHI", "LATTICINI", "BURRO", "GR", 250, 2.39, "04"},
    {"ACQUA MINERALE NATURALE 6X1,5L", "BEVANDE", "ACQUE", "NATURALE", "LT", 9, 1.99, "22"},
    {"ACQUA MINERALE FRIZZANTE 6X1,5L", "BEVANDE", "ACQUE", "FRIZZANTE", "LT", 9, 1.99, "22"},
    {"SUCCO DI ARANCIA", "BEVANDE", "BIBITE", "SUCCHI", "LT", 1, 1.49, "22"},
    {"BIRRA LAGER 66CL", "BEVANDE", "BIRRE", "LAGER", "ML", 660, 1.29, "22"},
    {"VINO ROSSO DOC", "BEVANDE", "VINI", "ROSSI", "ML", 750, 4.90, "22"},
    {"DETERSIVO PIATTI LIMONE", "IGIENE CASA", "DETERSIVI", "PIATTI", "ML", 1000, 1.39, "22"},
    {"DETERSIVO LAVATRICE 25 LAVAGGI", "IGIENE CASA", "DETERSIVI", "BUCATO", "PZ", 1, 5.99, "22"},
    {"CARTA IGIENICA 8 ROTOLI", "IGIENE CASA", "CARTA", "IGIENICA", "PZ", 8, 3.19, "22"},
    {"SHAMPOO CAPELLI NORMALI", "IGIENE PERSONA", "CAPELLI", "SHAMPOO", "ML", 250, 2.29, "22"},
    {"DENTIFRICIO PROTEZIONE CARIE", "IGIENE PERSONA", "ORALE", "DENTIFRICI", "ML", 75, 1.79, "22"},
}};

struct Brand {
  std::string_view name;
  std::string_view supplier;
  double price_factor;
};

constexpr std::array<Brand, 10> kBrands = {{
    {"PRIMO PREZZO", "DISTRIBUZIONE NORD SRL", 1.00},
    {"BUONGUSTO", "BUONGUSTO ALIMENTARE SPA", 1.25},
    {"VALLE VERDE", "COOPERATIVA VALLE VERDE", 1.35},
    {"CASA NOSTRA", "CASA NOSTRA INDUSTRIE SPA", 1.15},
    {"SOLEADO", "SOLEADO FOOD SRL", 1.40},
    {"ANTICA BOTTEGA", "ANTICA BOTTEGA DI CAMPAGNA", 1.60},
    {"BIOLOGICO ITALIA", "BIO ITALIA CONSORZIO", 1.75},
    {"MARE AZZURRO", "MARE AZZURRO SPA", 1.20},
    {"FRATELLI BIANCHI", "F.LLI BIANCHI & C. SNC", 1.30},
    {"SELEZIONE ORO", "SELEZIONE ORO GOURMET SRL", 1.90},
}};

struct Offer {
  int numero;
  std::string_view descrizione;
  int inizio;  // days from today
  int end_day;
  int first_article;  // index into the catalogue
  int articoli;
  int kind;  // offtab code
};

constexpr std::array<Offer, 3> kDemoOffers = {{
    {101, "VOLANTINO DI NOVEMBRE", -20, -6, 10, 12, 2},
    {102, "SOTTOCOSTO SETTIMANALE", -9, -1, 40, 8, 1},
    {103, "OFFERTE DI DICEMBRE", -3, 11, 70, 10, 3},
}};

// The check digit of an EAN-13 from its first twelve digits.
char CheckDigit(std::string_view dodici) {
  int somma = 0;
  for (std::size_t i = 0; i < dodici.size(); ++i) {
    const int cifra = dodici[i] - '0';
    somma += (i % 2 == 0) ? cifra : 3 * cifra;
  }
  return static_cast<char>('0' + (10 - somma % 10) % 10);
}

std::string Ean(int article, int variante) {
  const std::string dodici = fmt::format("80{:05}{:05}", 12345 + variante * 7, article);
  return dodici + CheckDigit(dodici);
}

std::string TextValue(std::string_view text) {
  return data::SqlLiteral(text);
}

std::string PriceText(double valore) {
  return fmt::format("{:.2f}", std::round(valore * 100) / 100);
}

int ArticleCodeAt(int index) {
  return 1001 + index;
}

class Generator {
 public:
  explicit Generator(std::chrono::year_month_day today)
      : today_(data::DayNumber(today)), year_(static_cast<int>(today.year())) {}

  std::string Generate(int* articoli) {
    Settings();
    const int totale = static_cast<int>(kProducts.size() * kBrands.size());
    for (int i = 0; i < totale; ++i) {
      Article(i);
    }
    for (const Offer& offer : kDemoOffers) {
      Promotion(offer);
    }
    if (articoli != nullptr) {
      *articoli = totale;
    }
    return sql_;
  }

 private:
  void CurrentRow(std::string_view text) {
    sql_ += text;
    sql_ += ";\n";
  }

  void Settings() {
    CurrentRow(
        "INSERT INTO utenti (codutente, nome, nrpos, artico, chiusura, fid_rep, Flag_CF) "
        "VALUES (1, 'NEGOZIO DEMO', 4, 'S', 'N', '12', 'S')");
    CurrentRow("INSERT INTO automa (codice, escludocaselle) VALUES (1, '')");
    CurrentRow(
        "INSERT INTO pv (codice, descrizione, proprio) VALUES (1, 'PUNTO VENDITA CENTRO', '1')");
    CurrentRow("INSERT INTO pv (codice, descrizione, proprio) VALUES (2, 'MAGAZZINO', '0')");
    for (const auto& [codice, descrizione, fattore] :
         std::array<std::tuple<std::string_view, std::string_view, int>, 5>{{
             {"KG", "CHILOGRAMMO", 1},
             {"GR", "GRAMMO", 1000},
             {"LT", "LITRO", 1},
             {"ML", "MILLILITRO", 1000},
             {"PZ", "PEZZO", 1},
         }}) {
      CurrentRow(
          fmt::format("INSERT INTO unitam (coduni, descrizione, fatxmul) VALUES ({}, {}, {})",
                      TextValue(codice), TextValue(descrizione), fattore));
    }
    CurrentRow(
        "INSERT INTO offtab (codice, descrizione, codelettro) VALUES (1, 'SOTTOCOSTO', 'S')");
    CurrentRow("INSERT INTO offtab (codice, descrizione, codelettro) VALUES (2, 'VOLANTINO', 'V')");
    CurrentRow(
        "INSERT INTO offtab (codice, descrizione, codelettro) VALUES (3, 'PREZZI BLOCCATI', 'B')");
    // Two active label systems, one per layout, and one switched off.
    CurrentRow(
        "INSERT INTO elettro (codice, descrizione, attivato, ftp, vexular, percorsoint) "
        "VALUES (1, 'ETICHETTE CORSIE', '1', '0', NULL, 'C:\\sulvo\\')");
    CurrentRow(
        "INSERT INTO elettro (codice, descrizione, attivato, ftp, vexular, percorsoint) "
        "VALUES (2, 'ETICHETTE BANCO FRESCHI', '1', '1', 'ESL', 'C:\\sulvo\\esl\\')");
    CurrentRow(
        "INSERT INTO elettro (codice, descrizione, attivato, ftp, vexular, percorsoint) "
        "VALUES (3, 'VECCHIO IMPIANTO', '0', '0', NULL, 'C:\\sulvo\\old\\')");
  }

  void Article(int index) {
    const Product& p = kProducts[static_cast<std::size_t>(index) % kProducts.size()];
    const Brand& m = kBrands[static_cast<std::size_t>(index) / kProducts.size()];
    const int codice = ArticleCodeAt(index);
    const std::string descrizione = fmt::format("{} {}", p.descrizione, m.name);
    // Some articles have no supplier code yet; the label writer gives them one.
    const std::string codafo =
        index % 7 == 3 ? "NULL" : TextValue(fmt::format("F{:02}{:07}", index % 10, 30000 + index));
    CurrentRow(fmt::format(
        "INSERT INTO listi01 (codart, desart, przpub, przsal, cosoff, data1, data2, escludo, "
        "fl2art, taglia, stapro, numpro, codpro, AA_offerta, NR_offerta, descom, codafo, umart, "
        "umquaco, quaco, ivart, desfor, desrep, desgru, dessot, provenienza, categoria) VALUES "
        "({}, {}, {}, 0, 0, 0, 0, 0, ' ', ' ', ' ', 0, 0, 0, 0, NULL, {}, {}, {}, {}, {}, {}, {}, "
        "{}, {}, {}, {})",
        codice, TextValue(descrizione.substr(0, 50)), PriceText(p.price * m.price_factor), codafo,
        TextValue(p.unit), TextValue(p.unit), p.quantity, TextValue(p.vat_code),
        TextValue(m.supplier), TextValue(p.department), TextValue(p.group), TextValue(p.subgroup),
        TextValue(index % 3 == 0 ? "ITALIA" : "UE"), TextValue(index % 2 == 0 ? "I" : "II")));
    CurrentRow(
        fmt::format("INSERT INTO codean (eanare, codare, soglia, sconto, scoval, omaggio, puntif, "
                    "mix, codpro, nrcard, descom, przpro, numpro) "
                    "VALUES ({}, {}, 0, 0, 0, 0, 0, 0, 0, 0, NULL, 0, 0)",
                    TextValue(Ean(codice, 0)), codice));
    if (index % 5 == 0) {  // a second pack size sold under its own EAN
      CurrentRow(
          fmt::format("INSERT INTO codean (eanare, codare, soglia, sconto, scoval, omaggio, "
                      "puntif, mix, codpro, nrcard, descom, przpro, numpro) "
                      "VALUES ({}, {}, 0, 0, 0, 0, 0, 0, 0, 0, NULL, 0, 0)",
                      TextValue(Ean(codice, 1)), codice));
    }
  }

  void Promotion(const Offer& o) {
    const int inizio = today_ + o.inizio;
    const int end_day = today_ + o.end_day;
    CurrentRow(
        fmt::format("INSERT INTO offte (numero, anno, descrizione, data1, data2, stato) "
                    "VALUES ({}, {}, {}, {}, {}, 'A')",
                    o.numero, year_, TextValue(o.descrizione), inizio, end_day));
    for (int line = 0; line < o.articoli; ++line) {
      const int index = o.first_article + line;
      const int codice = ArticleCodeAt(index);
      const Product& p = kProducts[static_cast<std::size_t>(index) % kProducts.size()];
      const Brand& m = kBrands[static_cast<std::size_t>(index) / kProducts.size()];
      const double pubblico = std::round(p.price * m.price_factor * 100) / 100;
      const std::string promozionale = PriceText(pubblico * 0.8);
      const int sconto = line % 4 == 1 ? 10 : 0;  // some rows give a further discount at the till
      const std::string descom = TextValue(o.descrizione.substr(0, 30));
      CurrentRow(fmt::format(
          "UPDATE listi01 SET przsal = {}, cosoff = {}, data1 = {}, data2 = {}, stapro = 'A', "
          "numpro = {}, codpro = {}, AA_offerta = {}, NR_offerta = {}, descom = {} "
          "WHERE codart = {}",
          promozionale, PriceText(pubblico * 0.6), inizio, end_day, o.numero, o.kind, year_,
          o.numero, descom, codice));
      CurrentRow(
          fmt::format("UPDATE codean SET przpro = {}, numpro = {}, codpro = {}, descom = {} "
                      "WHERE codare = {}",
                      promozionale, o.numero, o.kind, descom, codice));
      CurrentRow(
          fmt::format("INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, "
                      "codafo, stato, bflag2) VALUES ({}, {}, {}, {}, {}, {}, NULL, 'A', ' ')",
                      o.numero, year_, line + 1, TextValue(Ean(codice, 0)), codice, sconto));
    }
  }

  int today_;
  int year_;
  std::string sql_;
};

// The site's hand-over script of the one-file label system: it sends the files of its folder to
// the drop folder on drive Z: and removes them, only once they have been copied.
void WriteSiteScript(const std::filesystem::path& path) {
  std::ofstream script(path, std::ios::binary);
  script << "@echo off\r\n"
            "rem Consegna i file delle etichette del banco freschi all'impianto (Z:)\r\n"
            "cd\\sulvo\\esl\r\n"
            "copy ESL*.txt Z:\\*.*\r\n"
            "if not errorlevel 1 del ESL*.txt\r\n";
  if (!script.flush()) {
    throw FileError("script " + path.string() + " non scritto");
  }
}

}  // namespace

std::string DemoStoreRows(std::chrono::year_month_day today, int* articoli) {
  return Generator(today).Generate(articoli);
}

DemoStore CreateDemoStore(const std::filesystem::path& folder, std::chrono::year_month_day today) {
  DemoStore demo;
  const std::filesystem::path root = std::filesystem::absolute(folder).lexically_normal();
  demo.drive_c = root / "c";
  demo.drive_z = root / "z";
  std::error_code error;
  for (const auto& dir :
       {demo.drive_c / "dorn", demo.drive_c / "sulvo" / "bkp", demo.drive_c / "sulvo" / "neg01",
        demo.drive_c / "sulvo" / "esl", demo.drive_z}) {
    std::filesystem::create_directories(dir, error);
    if (error) {
      throw FileError("cartella " + dir.string() + " non creata: " + error.message());
    }
  }

  const std::string azienda =
      "INSERT INTO società (codute, ragsoc, database) "
      "VALUES (1, 'SUPERMERCATO DEMO SRL', 'C:\\sulvo\\neg01\\dati.mdb');\n"
      "INSERT INTO inizio (codute, descrizione) VALUES (1, 'AVVIO AUTOMATICO');\n";
  data::CreateSqliteDatabase((demo.drive_c / "dorn" / "sulvo.mdb").string(),
                             std::string(schema::k_azienda) + azienda);
  data::CreateSqliteDatabase((demo.drive_c / "sulvo" / "neg01" / "dati.mdb").string(),
                             std::string(schema::k_negozio) + "BEGIN;\n" +
                                 DemoStoreRows(today, &demo.articoli) + "COMMIT;\n");
  WriteSiteScript(demo.drive_c / "sulvo" / "comandoP.bat");
  demo.expired_offers = 2;
  return demo;
}

}  // namespace zav5::app
