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
  explicit Avvio(const AmbienteAvvio& a) : a_(a), c_(a.contesto) {}

  EsitoAvvio Esegui();

 private:
  // Binds `var` to a database and a query and runs it; true when the query gave a row.
  bool Interroga(const std::string& database, const std::string& sql) {
    a_.var.DatabaseName = database;
    a_.var.RecordSource = sql;
    a_.var.Refresh();
    return !a_.var.Recordset().Eof();
  }
  data::Recordset& Riga() { return a_.var.Recordset(); }

  std::string QuerySocieta() const {
    return fmt::format("select * from società where codute = {} ", c_.CodiceSocieta);
  }
  void LeggiUtente();
  void LeggiAutoma();
  void LeggiPuntoVendita();
  void Passi8a20(const std::string& percorso_azienda);

  AmbienteAvvio a_;
  ContestoNegozio& c_;
};

EsitoAvvio Avvio::Esegui() {
  c_.PercorsoLog = LogPath(a_.env.Now());
  a_.log.ApriLog(c_.PercorsoLog);
  c_.CodiceSocieta = 1;
  c_.LetteraUnita = std::string(1, a_.unita_corrente);
  a_.log.ScriviRigaDatata("- Avvio programma");

  const std::string percorso_azienda = c_.LetteraUnita.str() + ":\\dorn\\sulvo.mdb";
  if (!platform::FileExists(a_.env, percorso_azienda)) {
    a_.env.MessageBox(MessaggioAziendaMancante(percorso_azienda), "ZAV5");
    return EsitoAvvio::kAziendaMancante;
  }

  try {
    Passi8a20(percorso_azienda);
    return EsitoAvvio::kCompleto;
  } catch (const Interrotto& stop) {
    a_.log.ScriviRiga(stop.riga);
  } catch (const Errore& error) {
    // A database that does not open, a missing table or field, a value that does not convert.
    a_.log.ScriviRiga(RigaErrore(error.what()));
  }
  return EsitoAvvio::kInterrotto;
}

void Avvio::Passi8a20(const std::string& percorso_azienda) {
  if (!Interroga(percorso_azienda, QuerySocieta())) {
    throw Interrotto{std::string(kErroreSocieta)};
  }
  const std::string database = data::FieldText(Riga(), "società", "database");
  c_.CartellaDati = CartellaDaPercorso(database, c_.LetteraUnita.str()[0]);
  c_.PercorsoDati = c_.CartellaDati + "dati.mdb";
  c_.PercorsoVendite = c_.CartellaDati + "vendite.mdb";
  c_.PercorsoFidel = c_.CartellaDati + "fidel.mdb";
  a_.log.ScriviRigaDatata(std::string(kAproDb) + c_.PercorsoDati);
  a_.log.ScriviRigaDatata(std::string(kAproDb) + c_.PercorsoVendite);

  if (!Interroga(percorso_azienda,
                 fmt::format("select * from inizio where codute = {} ", c_.CodiceSocieta))) {
    throw Interrotto{std::string(kErroreSocieta)};
  }
  a_.log.ScriviRigaDatata(std::string(kAproDb) + percorso_azienda);

  // The company record is read once more; from here on the store database is the upper-cased
  // `database` value itself.
  if (!Interroga(percorso_azienda, QuerySocieta())) {
    throw Interrotto{std::string(kErroreSocieta)};
  }
  c_.PercorsoDati = platform::UpperCase(data::FieldText(Riga(), "società", "database"));
  if (!platform::FileExists(a_.env, c_.PercorsoDati)) {
    throw Interrotto{std::string(kErroreDb)};
  }
  a_.log.ScriviRiga("DB OK  ");

  LeggiUtente();
  LeggiAutoma();
  a_.log.ScriviRiga("CONTROLLO DB SULVO OK");
  a_.log.ScriviRigaDatata("- Controllo  DB  OK");
  LeggiPuntoVendita();
  a_.log.ScriviRiga("CONTROLLO COLLEGAMENTO CASSE");
  a_.log.ScriviRigaDatata("- Controllo  collegamento casse");
  c_.ContatoreCicli = 1;
}

void Avvio::LeggiUtente() {
  if (!Interroga(c_.PercorsoDati,
                 fmt::format("select * from utenti where codutente = {} ", c_.CodiceSocieta))) {
    return;
  }
  data::Recordset& riga = Riga();
  // Each setting is taken only when the field holds a value; a Null leaves it as it was.
  if (!riga.Field("nrpos").IsNull()) {
    c_.NumeroPos = data::FieldLong(riga, "utenti", "nrpos");
  }
  if (!riga.Field("artico").IsNull()) {
    c_.FlagArtico = data::FieldText(riga, "utenti", "artico");
  }
  if (!riga.Field("chiusura").IsNull()) {
    c_.FlagChiusura = data::FieldText(riga, "utenti", "chiusura");
  }
  if (!riga.Field("fid_rep").IsNull()) {
    const double numero = data::LeadingNumber(data::FieldText(riga, "utenti", "fid_rep"));
    try {
      c_.RepartoFid = data::Value::Double(numero).ToInteger();
    } catch (const ConversionError& error) {
      throw ConversionError(std::string("campo utenti.fid_rep: ") + error.what());
    }
  }
  c_.FlagCF = false;
  const data::Value& flag_cf = riga.Field("Flag_CF");
  if (!flag_cf.IsNull() && data::FieldText(riga, "utenti", "Flag_CF") == "S") {
    c_.FlagCF = true;
  }
}

void Avvio::LeggiAutoma() {
  c_.EscludoCaselle.clear();
  if (Interroga(c_.PercorsoDati, "select * from automa where codice = 1 ") &&
      !Riga().Field("escludocaselle").IsNull()) {
    c_.EscludoCaselle = data::FieldText(Riga(), "automa", "escludocaselle");
  }
}

void Avvio::LeggiPuntoVendita() {
  if (Interroga(c_.PercorsoDati, "select * from pv where proprio = '1' ")) {
    c_.CodicePv = data::FieldLong(Riga(), "pv", "codice");
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
