#include "app/demo_store.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <fstream>
#include <string_view>
#include <vector>

#include "data/sql_text.h"
#include "data/sqlite/sqlite_create.h"
#include "data/value.h"
#include "errors.h"
#include "schema_texts.h"

namespace zav5::app {

namespace {

// A product line of the demo catalogue; every line comes in each brand below.
struct Prodotto {
  std::string_view descrizione;
  std::string_view reparto;
  std::string_view gruppo;
  std::string_view sottogruppo;
  std::string_view unit;  // unit of measure and its code in unitam
  double quantita;         // in that unit
  double prezzo;           // public price of the cheapest brand
  std::string_view iva;
};

constexpr std::array<Prodotto, 30> kProdotti = {{
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

struct Marca {
  std::string_view nome;
  std::string_view fornitore;
  double fattore_prezzo;
};

constexpr std::array<Marca, 10> kMarche = {{
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

struct Offerta {
  int numero;
  std::string_view descrizione;
  int inizio;  // days from today
  int fine;
  int primo_articolo;  // index into the catalogue
  int articoli;
  int tipo;  // offtab code
};

constexpr std::array<Offerta, 3> kOfferte = {{
    {101, "VOLANTINO DI NOVEMBRE", -20, -6, 10, 12, 2},
    {102, "SOTTOCOSTO SETTIMANALE", -9, -1, 40, 8, 1},
    {103, "OFFERTE DI DICEMBRE", -3, 11, 70, 10, 3},
}};

// The check digit of an EAN-13 from its first twelve digits.
char CifraControllo(std::string_view dodici) {
  int somma = 0;
  for (std::size_t i = 0; i < dodici.size(); ++i) {
    const int cifra = dodici[i] - '0';
    somma += (i % 2 == 0) ? cifra : 3 * cifra;
  }
  return static_cast<char>('0' + (10 - somma % 10) % 10);
}

std::string Ean(int articolo, int variante) {
  const std::string dodici = fmt::format("80{:05}{:05}", 12345 + variante * 7, articolo);
  return dodici + CifraControllo(dodici);
}

std::string Testo(std::string_view text) {
  return data::SqlLiteral(text);
}

std::string Prezzo(double valore) {
  return fmt::format("{:.2f}", std::round(valore * 100) / 100);
}

int ArticleCodeAt(int indice) {
  return 1001 + indice;
}

class Generatore {
 public:
  explicit Generatore(std::chrono::year_month_day oggi)
      : oggi_(data::DayNumber(oggi)), anno_(static_cast<int>(oggi.year())) {}

  std::string Genera(int* articoli) {
    Impostazioni();
    const int totale = static_cast<int>(kProdotti.size() * kMarche.size());
    for (int i = 0; i < totale; ++i) {
      Articolo(i);
    }
    for (const Offerta& offerta : kOfferte) {
      Promozione(offerta);
    }
    if (articoli != nullptr) {
      *articoli = totale;
    }
    return sql_;
  }

 private:
  void Riga(std::string_view text) {
    sql_ += text;
    sql_ += ";\n";
  }

  void Impostazioni() {
    Riga(
        "INSERT INTO utenti (codutente, nome, nrpos, artico, chiusura, fid_rep, Flag_CF) "
        "VALUES (1, 'NEGOZIO DEMO', 4, 'S', 'N', '12', 'S')");
    Riga("INSERT INTO automa (codice, escludocaselle) VALUES (1, '')");
    Riga("INSERT INTO pv (codice, descrizione, proprio) VALUES (1, 'PUNTO VENDITA CENTRO', '1')");
    Riga("INSERT INTO pv (codice, descrizione, proprio) VALUES (2, 'MAGAZZINO', '0')");
    for (const auto& [codice, descrizione, fattore] :
         std::array<std::tuple<std::string_view, std::string_view, int>, 5>{{
             {"KG", "CHILOGRAMMO", 1},
             {"GR", "GRAMMO", 1000},
             {"LT", "LITRO", 1},
             {"ML", "MILLILITRO", 1000},
             {"PZ", "PEZZO", 1},
         }}) {
      Riga(fmt::format("INSERT INTO unitam (coduni, descrizione, fatxmul) VALUES ({}, {}, {})",
                       Testo(codice), Testo(descrizione), fattore));
    }
    Riga("INSERT INTO offtab (codice, descrizione, codelettro) VALUES (1, 'SOTTOCOSTO', 'S')");
    Riga("INSERT INTO offtab (codice, descrizione, codelettro) VALUES (2, 'VOLANTINO', 'V')");
    Riga("INSERT INTO offtab (codice, descrizione, codelettro) VALUES (3, 'PREZZI BLOCCATI', 'B')");
    // Two active label systems, one per layout, and one switched off.
    Riga(
        "INSERT INTO elettro (codice, descrizione, attivato, ftp, vexular, percorsoint) "
        "VALUES (1, 'ETICHETTE CORSIE', '1', '0', NULL, 'C:\\sulvo\\')");
    Riga(
        "INSERT INTO elettro (codice, descrizione, attivato, ftp, vexular, percorsoint) "
        "VALUES (2, 'ETICHETTE BANCO FRESCHI', '1', '1', 'ESL', 'C:\\sulvo\\esl\\')");
    Riga(
        "INSERT INTO elettro (codice, descrizione, attivato, ftp, vexular, percorsoint) "
        "VALUES (3, 'VECCHIO IMPIANTO', '0', '0', NULL, 'C:\\sulvo\\old\\')");
  }

  void Articolo(int indice) {
    const Prodotto& p = kProdotti[static_cast<std::size_t>(indice) % kProdotti.size()];
    const Marca& m = kMarche[static_cast<std::size_t>(indice) / kProdotti.size()];
    const int codice = ArticleCodeAt(indice);
    const std::string descrizione = fmt::format("{} {}", p.descrizione, m.nome);
    // Some articles have no supplier code yet; the label writer gives them one.
    const std::string codafo =
        indice % 7 == 3 ? "NULL" : Testo(fmt::format("F{:02}{:07}", indice % 10, 30000 + indice));
    Riga(fmt::format(
        "INSERT INTO listi01 (codart, desart, przpub, przsal, cosoff, data1, data2, escludo, "
        "fl2art, taglia, stapro, numpro, codpro, AA_offerta, NR_offerta, descom, codafo, umart, "
        "umquaco, quaco, ivart, desfor, desrep, desgru, dessot, provenienza, categoria) VALUES "
        "({}, {}, {}, 0, 0, 0, 0, 0, ' ', ' ', ' ', 0, 0, 0, 0, NULL, {}, {}, {}, {}, {}, {}, {}, "
        "{}, {}, {}, {})",
        codice, Testo(descrizione.substr(0, 50)), Prezzo(p.prezzo * m.fattore_prezzo), codafo,
        Testo(p.unit), Testo(p.unit), p.quantita, Testo(p.iva), Testo(m.fornitore),
        Testo(p.reparto), Testo(p.gruppo), Testo(p.sottogruppo),
        Testo(indice % 3 == 0 ? "ITALIA" : "UE"), Testo(indice % 2 == 0 ? "I" : "II")));
    Riga(
        fmt::format("INSERT INTO codean (eanare, codare, soglia, sconto, scoval, omaggio, puntif, "
                    "mix, codpro, nrcard, descom, przpro, numpro) "
                    "VALUES ({}, {}, 0, 0, 0, 0, 0, 0, 0, 0, NULL, 0, 0)",
                    Testo(Ean(codice, 0)), codice));
    if (indice % 5 == 0) {  // a second pack size sold under its own EAN
      Riga(
          fmt::format("INSERT INTO codean (eanare, codare, soglia, sconto, scoval, omaggio, "
                      "puntif, mix, codpro, nrcard, descom, przpro, numpro) "
                      "VALUES ({}, {}, 0, 0, 0, 0, 0, 0, 0, 0, NULL, 0, 0)",
                      Testo(Ean(codice, 1)), codice));
    }
  }

  void Promozione(const Offerta& o) {
    const int inizio = oggi_ + o.inizio;
    const int fine = oggi_ + o.fine;
    Riga(
        fmt::format("INSERT INTO offte (numero, anno, descrizione, data1, data2, stato) "
                    "VALUES ({}, {}, {}, {}, {}, 'A')",
                    o.numero, anno_, Testo(o.descrizione), inizio, fine));
    for (int riga = 0; riga < o.articoli; ++riga) {
      const int indice = o.primo_articolo + riga;
      const int codice = ArticleCodeAt(indice);
      const Prodotto& p = kProdotti[static_cast<std::size_t>(indice) % kProdotti.size()];
      const Marca& m = kMarche[static_cast<std::size_t>(indice) / kProdotti.size()];
      const double pubblico = std::round(p.prezzo * m.fattore_prezzo * 100) / 100;
      const std::string promozionale = Prezzo(pubblico * 0.8);
      const int sconto = riga % 4 == 1 ? 10 : 0;  // some rows give a further discount at the till
      const std::string descom = Testo(o.descrizione.substr(0, 30));
      Riga(fmt::format(
          "UPDATE listi01 SET przsal = {}, cosoff = {}, data1 = {}, data2 = {}, stapro = 'A', "
          "numpro = {}, codpro = {}, AA_offerta = {}, NR_offerta = {}, descom = {} "
          "WHERE codart = {}",
          promozionale, Prezzo(pubblico * 0.6), inizio, fine, o.numero, o.tipo, anno_, o.numero,
          descom, codice));
      Riga(
          fmt::format("UPDATE codean SET przpro = {}, numpro = {}, codpro = {}, descom = {} "
                      "WHERE codare = {}",
                      promozionale, o.numero, o.tipo, descom, codice));
      Riga(
          fmt::format("INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, "
                      "codafo, stato, bflag2) VALUES ({}, {}, {}, {}, {}, {}, NULL, 'A', ' ')",
                      o.numero, anno_, riga + 1, Testo(Ean(codice, 0)), codice, sconto));
    }
  }

  int oggi_;
  int anno_;
  std::string sql_;
};

// The site's hand-over script of the one-file label system: it sends the files of its folder to
// the drop folder on drive Z: and removes them, only once they have been copied.
void ScriviScriptSito(const std::filesystem::path& path) {
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

std::string DatiNegozioDemo(std::chrono::year_month_day oggi, int* articoli) {
  return Generatore(oggi).Genera(articoli);
}

NegozioDemo CreaNegozioDemo(const std::filesystem::path& folder, std::chrono::year_month_day oggi) {
  NegozioDemo demo;
  const std::filesystem::path root = std::filesystem::absolute(folder).lexically_normal();
  demo.unita_c = root / "c";
  demo.unita_z = root / "z";
  std::error_code error;
  for (const auto& dir :
       {demo.unita_c / "dorn", demo.unita_c / "sulvo" / "bkp", demo.unita_c / "sulvo" / "neg01",
        demo.unita_c / "sulvo" / "esl", demo.unita_z}) {
    std::filesystem::create_directories(dir, error);
    if (error) {
      throw FileError("cartella " + dir.string() + " non creata: " + error.message());
    }
  }

  const std::string azienda =
      "INSERT INTO società (codute, ragsoc, database) "
      "VALUES (1, 'SUPERMERCATO DEMO SRL', 'C:\\sulvo\\neg01\\dati.mdb');\n"
      "INSERT INTO inizio (codute, descrizione) VALUES (1, 'AVVIO AUTOMATICO');\n";
  data::CreateSqliteDatabase((demo.unita_c / "dorn" / "sulvo.mdb").string(),
                             std::string(schema::k_azienda) + azienda);
  data::CreateSqliteDatabase((demo.unita_c / "sulvo" / "neg01" / "dati.mdb").string(),
                             std::string(schema::k_negozio) + "BEGIN;\n" +
                                 DatiNegozioDemo(oggi, &demo.articoli) + "COMMIT;\n");
  ScriviScriptSito(demo.unita_c / "sulvo" / "comandoP.bat");
  demo.offerte_scadute = 2;
  return demo;
}

}  // namespace zav5::app
