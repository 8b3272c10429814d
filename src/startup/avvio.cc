#include "startup/avvio.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <vector>

#include "data/field_reading.h"
#include "errors.h"
#include "platform/case_fold.h"
#include "startup/log_format.h"

namespace zav5::startup {

namespace {

constexpr std::string_view kErroreSocieta = "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ";
constexpr std::string_view kErroreDb = "ERRORE : DB NON ESISTE ";
constexpr std::string_view kAproDb = "- Apro DB  ";

// Elements of a path split at every backslash, empty ones kept. An empty text has none.
std::vector<std::string_view> Elements(std::string_view path) {
  std::vector<std::string_view> elements;
  if (path.empty()) {
    return elements;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('\\', start);
    elements.push_back(path.substr(start, end - start));
    if (end == std::string_view::npos) {
      return elements;
    }
    start = end + 1;
  }
}

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A check failed: start-up logs why and stops before its last step.
struct Interrotto {
  std::string riga;
};

class Avvio {
 public:
  explicit Avvio(const AmbienteAvvio& a) : environment_(a), store_context_(a.contesto) {}

  EsitoAvvio Esegui();

 private:
  // Binds `var` to a database and a query and runs it; true when the query gave a row.
  bool Interroga(const std::string& database, const std::string& sql) {
    environment_.var.DatabaseName = database;
    environment_.var.RecordSource = sql;
    environment_.var.Refresh();
    return !environment_.var.Recordset().Eof();
  }
  data::Recordset& Riga() { return environment_.var.Recordset(); }

  std::string QuerySocieta() const {
    return fmt::format("select * from società where codute = {} ", store_context_.CodiceSocieta);
  }
  void LeggiUtente();
  void LeggiAutoma();
  void LeggiPuntoVendita();
  void Passi8a20(const std::string& percorso_azienda);

  AmbienteAvvio environment_;
  ContestoNegozio& store_context_;
};

EsitoAvvio Avvio::Esegui() {
  store_context_.PercorsoLog = LogPath(environment_.env.Now());
  environment_.log.ApriLog(store_context_.PercorsoLog);
  store_context_.CodiceSocieta = 1;
  store_context_.LetteraUnita = std::string(1, environment_.unita_corrente);
  environment_.log.ScriviRigaDatata("- Avvio programma");

  const std::string percorso_azienda = store_context_.LetteraUnita.str() + ":\\dorn\\sulvo.mdb";
  if (!platform::FileExists(environment_.env, percorso_azienda)) {
    environment_.env.MessageBox(MessaggioAziendaMancante(percorso_azienda), "ZAV5");
    return EsitoAvvio::kAziendaMancante;
  }

  try {
    Passi8a20(percorso_azienda);
    return EsitoAvvio::kCompleto;
  } catch (const Interrotto& stop) {
    environment_.log.ScriviRiga(stop.riga);
  } catch (const Errore& error) {
    // A database that does not open, a missing table or field, a value that does not convert.
    environment_.log.ScriviRiga(RigaErrore(error.what()));
  }
  return EsitoAvvio::kInterrotto;
}

void Avvio::Passi8a20(const std::string& percorso_azienda) {
  if (!Interroga(percorso_azienda, QuerySocieta())) {
    throw Interrotto{std::string(kErroreSocieta)};
  }
  const std::string database = data::FieldText(Riga(), "società", "database");
  store_context_.CartellaDati = CartellaDaPercorso(database, store_context_.LetteraUnita.str()[0]);
  store_context_.PercorsoDati = store_context_.CartellaDati + "dati.mdb";
  store_context_.PercorsoVendite = store_context_.CartellaDati + "vendite.mdb";
  store_context_.PercorsoFidel = store_context_.CartellaDati + "fidel.mdb";
  environment_.log.ScriviRigaDatata(std::string(kAproDb) + store_context_.PercorsoDati);
  environment_.log.ScriviRigaDatata(std::string(kAproDb) + store_context_.PercorsoVendite);

  if (!Interroga(percorso_azienda,
                 fmt::format("select * from inizio where codute = {} ", store_context_.CodiceSocieta))) {
    throw Interrotto{std::string(kErroreSocieta)};
  }
  environment_.log.ScriviRigaDatata(std::string(kAproDb) + percorso_azienda);

  // The company record is read once more; from here on the store database is the upper-cased
  // `database` value itself.
  if (!Interroga(percorso_azienda, QuerySocieta())) {
    throw Interrotto{std::string(kErroreSocieta)};
  }
  store_context_.PercorsoDati = platform::UpperCase(data::FieldText(Riga(), "società", "database"));
  if (!platform::FileExists(environment_.env, store_context_.PercorsoDati)) {
    throw Interrotto{std::string(kErroreDb)};
  }
  environment_.log.ScriviRiga("DB OK  ");

  LeggiUtente();
  LeggiAutoma();
  environment_.log.ScriviRiga("CONTROLLO DB SULVO OK");
  environment_.log.ScriviRigaDatata("- Controllo  DB  OK");
  LeggiPuntoVendita();
  environment_.log.ScriviRiga("CONTROLLO COLLEGAMENTO CASSE");
  environment_.log.ScriviRigaDatata("- Controllo  collegamento casse");
  store_context_.ContatoreCicli = 1;
}

void Avvio::LeggiUtente() {
  if (!Interroga(store_context_.PercorsoDati,
                 fmt::format("select * from utenti where codutente = {} ", store_context_.CodiceSocieta))) {
    return;
  }
  data::Recordset& riga = Riga();
  // Each setting is taken only when the field holds a value; a Null leaves it as it was.
  if (!riga.Field("nrpos").IsNull()) {
    store_context_.NumeroPos = data::FieldLong(riga, "utenti", "nrpos");
  }
  if (!riga.Field("artico").IsNull()) {
    store_context_.FlagArtico = data::FieldText(riga, "utenti", "artico");
  }
  if (!riga.Field("chiusura").IsNull()) {
    store_context_.FlagChiusura = data::FieldText(riga, "utenti", "chiusura");
  }
  if (!riga.Field("fid_rep").IsNull()) {
    const double numero = data::LeadingNumber(data::FieldText(riga, "utenti", "fid_rep"));
    try {
      store_context_.RepartoFid = data::Value::Double(numero).ToInteger();
    } catch (const ConversionError& error) {
      throw ConversionError(std::string("campo utenti.fid_rep: ") + error.what());
    }
  }
  store_context_.FlagCF = false;
  const data::Value& flag_cf = riga.Field("Flag_CF");
  if (!flag_cf.IsNull() && data::FieldText(riga, "utenti", "Flag_CF") == "S") {
    store_context_.FlagCF = true;
  }
}

void Avvio::LeggiAutoma() {
  store_context_.EscludoCaselle.clear();
  if (Interroga(store_context_.PercorsoDati, "select * from automa where codice = 1 ") &&
      !Riga().Field("escludocaselle").IsNull()) {
    store_context_.EscludoCaselle = data::FieldText(Riga(), "automa", "escludocaselle");
  }
}

void Avvio::LeggiPuntoVendita() {
  if (Interroga(store_context_.PercorsoDati, "select * from pv where proprio = '1' ")) {
    store_context_.CodicePv = data::FieldLong(Riga(), "pv", "codice");
  }
}

}  // namespace

std::string CartellaDaPercorso(std::string_view database, char lettera_unita) {
  static constexpr std::array<std::string_view, 3> kNomiDati = {"dati.mdb", "Dati.mdb", "DATI.MDB"};
  const std::vector<std::string_view> elements = Elements(database);
  std::string cartella;
  // At most the first eleven elements are looked at.
  for (std::size_t i = 0; i < elements.size() && i <= 10; ++i) {
    const std::string_view nome = TrimSpaces(elements[i]);
    if (std::find(kNomiDati.begin(), kNomiDati.end(), nome) != kNomiDati.end()) {
      break;
    }
    cartella.append(elements[i]).append("\\");
  }
  if (cartella.empty()) {
    cartella = std::string(1, lettera_unita) + ":\\sulvo\\";
  }
  return cartella;
}

std::string MessaggioAziendaMancante(std::string_view percorso_azienda) {
  return "ERRORE : FILE " + std::string(percorso_azienda) + " NON ESISTE ";
}

EsitoAvvio EseguiAvvio(const AmbienteAvvio& ambiente) {
  return Avvio(ambiente).Esegui();
}

}  // namespace zav5::startup
