#include "startup/run_startup.h"

#include <algorithm>
#include <array>
#include <vector>

#include <fmt/format.h>

#include "data/field_reading.h"
#include "data/value_text.h"
#include "errors.h"
#include "platform/case_fold.h"
#include "startup/log_format.h"

namespace zav5::startup {

namespace {

constexpr std::string_view kCompanyError = "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ";
constexpr std::string_view kNoDatabaseError = "ERRORE : DB NON ESISTE ";
constexpr std::string_view kOpeningDatabase = "- Apro DB  ";

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
struct StartupStopped {
  std::string line;
};

class StartupRun {
 public:
  explicit StartupRun(const StartupEnvironment& a)
      : environment_(a), store_context_(a.store_context) {}

  StartupOutcome Run();

 private:
  // Binds `var` to a database and a query and runs it; true when the query gave a row.
  bool RunQuery(const std::string& database, const std::string& sql) {
    environment_.var.DatabaseName = database;
    environment_.var.RecordSource = sql;
    environment_.var.Refresh();
    return !environment_.var.Recordset().Eof();
  }
  data::Recordset& CurrentRow() { return environment_.var.Recordset(); }

  std::string CompanyQuery() const {
    return fmt::format("select * from società where codute = {} ", store_context_.CodiceSocieta);
  }
  void ReadUser();
  void ReadAutoma();
  void ReadPointOfSale();
  void FindStoreAndLoadSettings(const std::string& percorso_azienda);

  StartupEnvironment environment_;
  ContestoNegozio& store_context_;
};

StartupOutcome StartupRun::Run() {
  store_context_.PercorsoLog = LogPath(environment_.env.Now());
  environment_.log.ApriLog(store_context_.PercorsoLog);
  store_context_.CodiceSocieta = 1;
  store_context_.LetteraUnita = std::string(1, environment_.current_drive);
  environment_.log.ScriviRigaDatata("- Avvio programma");

  const std::string percorso_azienda = store_context_.LetteraUnita.str() + ":\\dorn\\sulvo.mdb";
  if (!platform::FileExists(environment_.env, percorso_azienda)) {
    environment_.env.MessageBox(MissingCompanyMessage(percorso_azienda), "ZAV5");
    return StartupOutcome::kNoCompanyDatabase;
  }

  try {
    FindStoreAndLoadSettings(percorso_azienda);
    return StartupOutcome::kComplete;
  } catch (const StartupStopped& stop) {
    environment_.log.ScriviRiga(stop.line);
  } catch (const Error& error) {
    // A database that does not open, a missing table or field, a value that does not convert.
    environment_.log.ScriviRiga(ErrorLine(error.what()));
  }
  return StartupOutcome::kCheckFailed;
}

void StartupRun::FindStoreAndLoadSettings(const std::string& percorso_azienda) {
  if (!RunQuery(percorso_azienda, CompanyQuery())) {
    throw StartupStopped{std::string(kCompanyError)};
  }
  const std::string database = data::FieldText(CurrentRow(), "società", "database");
  store_context_.CartellaDati = DataFolderFromPath(database, store_context_.LetteraUnita.str()[0]);
  store_context_.PercorsoDati = store_context_.CartellaDati + "dati.mdb";
  store_context_.PercorsoVendite = store_context_.CartellaDati + "vendite.mdb";
  store_context_.PercorsoFidel = store_context_.CartellaDati + "fidel.mdb";
  environment_.log.ScriviRigaDatata(std::string(kOpeningDatabase) + store_context_.PercorsoDati);
  environment_.log.ScriviRigaDatata(std::string(kOpeningDatabase) + store_context_.PercorsoVendite);

  if (!RunQuery(percorso_azienda, fmt::format("select * from inizio where codute = {} ",
                                              store_context_.CodiceSocieta))) {
    throw StartupStopped{std::string(kCompanyError)};
  }
  environment_.log.ScriviRigaDatata(std::string(kOpeningDatabase) + percorso_azienda);

  // The company record is read once more; from here on the store database is the upper-cased
  // `database` value itself.
  if (!RunQuery(percorso_azienda, CompanyQuery())) {
    throw StartupStopped{std::string(kCompanyError)};
  }
  store_context_.PercorsoDati =
      platform::UpperCase(data::FieldText(CurrentRow(), "società", "database"));
  if (!platform::FileExists(environment_.env, store_context_.PercorsoDati)) {
    throw StartupStopped{std::string(kNoDatabaseError)};
  }
  environment_.log.ScriviRiga("DB OK  ");

  ReadUser();
  ReadAutoma();
  environment_.log.ScriviRiga("CONTROLLO DB SULVO OK");
  environment_.log.ScriviRigaDatata("- Controllo  DB  OK");
  ReadPointOfSale();
  environment_.log.ScriviRiga("CONTROLLO COLLEGAMENTO CASSE");
  environment_.log.ScriviRigaDatata("- Controllo  collegamento casse");
  store_context_.ContatoreCicli = 1;
}

void StartupRun::ReadUser() {
  if (!RunQuery(store_context_.PercorsoDati,
                fmt::format("select * from utenti where codutente = {} ",
                            store_context_.CodiceSocieta))) {
    return;
  }
  data::Recordset& line = CurrentRow();
  // Each setting is taken only when the field holds a value; a Null leaves it as it was.
  if (!line.Field("nrpos").IsNull()) {
    store_context_.NumeroPos = data::FieldLong(line, "utenti", "nrpos");
  }
  if (!line.Field("artico").IsNull()) {
    store_context_.FlagArtico = data::FieldText(line, "utenti", "artico");
  }
  if (!line.Field("chiusura").IsNull()) {
    store_context_.FlagChiusura = data::FieldText(line, "utenti", "chiusura");
  }
  if (!line.Field("fid_rep").IsNull()) {
    const double numero = data::LeadingNumber(data::FieldText(line, "utenti", "fid_rep"));
    try {
      store_context_.RepartoFid = data::Value::Double(numero).ToInteger();
    } catch (const ConversionError& error) {
      throw ConversionError(std::string("campo utenti.fid_rep: ") + error.what());
    }
  }
  store_context_.FlagCF = false;
  const data::Value& flag_cf = line.Field("Flag_CF");
  if (!flag_cf.IsNull() && data::FieldText(line, "utenti", "Flag_CF") == "S") {
    store_context_.FlagCF = true;
  }
}

void StartupRun::ReadAutoma() {
  store_context_.EscludoCaselle.clear();
  if (RunQuery(store_context_.PercorsoDati, "select * from automa where codice = 1 ") &&
      !CurrentRow().Field("escludocaselle").IsNull()) {
    store_context_.EscludoCaselle = data::FieldText(CurrentRow(), "automa", "escludocaselle");
  }
}

void StartupRun::ReadPointOfSale() {
  if (RunQuery(store_context_.PercorsoDati, "select * from pv where proprio = '1' ")) {
    store_context_.CodicePv = data::FieldLong(CurrentRow(), "pv", "codice");
  }
}

}  // namespace

std::string DataFolderFromPath(std::string_view database, char lettera_unita) {
  static constexpr std::array<std::string_view, 3> kNomiDati = {"dati.mdb", "Dati.mdb", "DATI.MDB"};
  const std::vector<std::string_view> elements = Elements(database);
  std::string folder;
  // At most the first eleven elements are looked at.
  for (std::size_t i = 0; i < elements.size() && i <= 10; ++i) {
    const std::string_view name = TrimSpaces(elements[i]);
    if (std::find(kNomiDati.begin(), kNomiDati.end(), name) != kNomiDati.end()) {
      break;
    }
    folder.append(elements[i]).append("\\");
  }
  if (folder.empty()) {
    folder = std::string(1, lettera_unita) + ":\\sulvo\\";
  }
  return folder;
}

std::string MissingCompanyMessage(std::string_view percorso_azienda) {
  return "ERRORE : FILE " + std::string(percorso_azienda) + " NON ESISTE ";
}

StartupOutcome RunStartup(const StartupEnvironment& ambiente) {
  return StartupRun(ambiente).Run();
}

}  // namespace zav5::startup
