#include "labels/consegne.h"

#include <algorithm>
#include <utility>

#include <fmt/core.h>

#include "errors.h"
#include "labels/nomi_file_import.h"
#include "labels/trasferimento.h"
#include "platform/case_fold.h"
#include "platform/whole_file.h"
#include "platform/windows_path.h"
#include "startup/log_format.h"

namespace zav5::labels {

namespace {

constexpr std::string_view kEstensioneRegistro = "consegna";
// The last time stamp given to a set of files: names are never used twice and keep their order,
// also across runs and when the clock goes back (the end of daylight saving time).
constexpr std::string_view kUltimoTimbro = "ultimo_timbro.txt";
// The label systems' drop folder, where the scripts copy the files with their names.
constexpr std::string_view kUnitaEtichette = "Z:\\";
// A file name that keeps being taken: something is wrong with the folder.
constexpr int kTentativiNome = 100;

bool StessoNegozio(std::string_view a, std::string_view b) {
  return platform::EqualsIgnoringCase(a, b);
}

bool StessaOfferta(const Consegna& c, std::string_view negozio, std::int32_t offerta,
                   std::int32_t anno) {
  return c.offerta == offerta && c.anno == anno && StessoNegozio(c.negozio, negozio);
}

std::string Avviso(const Consegna& c) {
  return fmt::format("etichette dell'offerta {} non consegnate al sistema {}", c.Offerta(),
                     NomeSistema(c.sistema));
}

}  // namespace

std::string CartellaConsegne(char unita) {
  return fmt::format("{}:\\dorn\\zav5\\consegne\\", static_cast<char>(unita & ~0x20));
}

// --- Preparazione --------------------------------------------------------------------------------

Preparazione::Preparazione(Consegne& consegne, Consegna consegna)
    : consegne_(consegne), consegna_(std::move(consegna)) {}

Preparazione::~Preparazione() {
  if (chiusa_) {
    return;
  }
  file_.clear();  // closes the files before they are deleted
  for (const std::string& percorso : scritti_) {
    try {
      consegne_.env_.DeleteFiles(percorso);
    } catch (const Errore&) {
      // Left in the outbox without a record: the next run's first settling removes it.
    }
  }
}

void Preparazione::Scrivi(TipoImport tipo, std::string_view riga) {
  auto file =
      std::find_if(file_.begin(), file_.end(), [tipo](const File& f) { return f.tipo == tipo; });
  if (file == file_.end()) {
    platform::TemporaryFile temporaneo = consegne_.env_.NewTemporaryFile(consegne_.cartella_);
    scritti_.push_back(temporaneo.path);
    file_.push_back({tipo, std::move(temporaneo), nullptr});
    file = std::prev(file_.end());
    file->righe = std::make_unique<platform::LineWriter>(*file->temporaneo.file);
  }
  file->righe->Write(riga);
}

void Preparazione::Chiudi(bool script) {
  platform::Env& env = consegne_.env_;
  for (File& file : file_) {
    file.righe->Flush();
    file.temporaneo.file->Sync();
    file.temporaneo.file->Close();
    const std::string dati = consegne_.PercorsoDati(consegna_, file.tipo);
    if (env.RenameFile(file.temporaneo.path, dati, false) != platform::RenameOutcome::kRenamed) {
      throw FileError(fmt::format("impossibile preparare {}: il nome è già preso", dati));
    }
    scritti_.push_back(dati);
    consegna_.file.push_back({file.tipo, {}, false});
  }
  consegna_.script = script;
  consegne_.Salva(consegna_);
  chiusa_ = true;
}

// --- Consegne ------------------------------------------------------------------------------------

Consegne::Consegne(platform::Env& env, std::string cartella)
    : env_(env), cartella_(std::move(cartella)) {}

std::string Consegne::Percorso(std::uint64_t numero, std::string_view estensione) const {
  return fmt::format("{}{:08}.{}", cartella_, numero, estensione);
}

std::string Consegne::DataFilePath(const Consegna& consegna, TipoImport tipo) const {
  return Percorso(consegna.sequence, SiglaImport(tipo));
}

std::uint64_t Consegne::NuovoNumero() {
  if (!ultimo_numero_) {
    // The highest number of any file in the outbox, records and their data alike.
    std::uint64_t ultimo = 0;
    for (const std::string& nome : env_.FindFiles(cartella_ + "*.*")) {
      const std::size_t punto = nome.find('.');
      if (punto == 8 && nome.find_first_not_of("0123456789") == 8) {
        ultimo = std::max<std::uint64_t>(ultimo, std::stoull(nome.substr(0, 8)));
      }
    }
    ultimo_numero_ = ultimo;
  }
  return ++*ultimo_numero_;
}

std::vector<Consegna> Consegne::Leggi(startup::RunLog* log, std::vector<std::string>* illeggibili) {
  std::vector<Consegna> consegne;
  for (const std::string& nome :
       env_.FindFiles(cartella_ + "*." + std::string(kEstensioneRegistro))) {
    const std::string percorso = cartella_ + nome;
    try {
      const std::optional<std::string> testo = env_.ReadFile(percorso);
      if (testo) {
        consegne.push_back(LeggiConsegna(*testo));
      }
    } catch (const Errore& errore) {
      if (illeggibili != nullptr) {
        illeggibili->push_back(fmt::format("{}: {}", percorso, errore.what()));
      }
      if (log != nullptr && illeggibili_.insert(nome).second) {
        log->ScriviRiga(startup::RigaErrore(fmt::format(
            "il registro di consegna {} non si legge ({}): le sue etichette non partono finché "
            "un operatore non lo ripara o lo toglie",
            percorso, errore.what())));
      }
    }
  }
  std::sort(consegne.begin(), consegne.end(),
            [](const Consegna& a, const Consegna& b) { return a.sequence < b.sequence; });
  return consegne;
}

void Consegne::Scrivi(const std::string& percorso, std::string_view byte) {
  platform::WriteWholeFile(env_, cartella_, percorso, byte, true);
}

void Consegne::Salva(const Consegna& consegna) {
  Scrivi(Percorso(consegna.sequence, kEstensioneRegistro), TestoConsegna(consegna));
}

void Consegne::Elimina(const Consegna& consegna) {
  // The record goes last: a crash in between leaves a record whose files have gone, which the
  // hand-over takes for files already placed.
  for (const TipoImport tipo : {TipoImport::kPrezzi, TipoImport::kPromozioni, TipoImport::kUnico}) {
    env_.DeleteFiles(DataFilePath(consegna, tipo));
  }
  env_.DeleteFiles(Percorso(consegna.sequence, kEstensioneRegistro));
  memoria_.erase(consegna.sequence);
}

void Consegne::PulisciAvanzi() {
  // Temporary files of a run that died, and data files whose record was never written.
  std::set<std::uint64_t> registrate;
  for (const std::string& nome :
       env_.FindFiles(cartella_ + "*." + std::string(kEstensioneRegistro))) {
    if (nome.find_first_not_of("0123456789") == 8) {
      registrate.insert(std::stoull(nome.substr(0, 8)));
    }
  }
  for (const std::string& nome : env_.FindFiles(cartella_ + "*.*")) {
    const bool temporaneo = nome.starts_with("~zav5") && nome.ends_with(".tmp");
    // A data file: eight digits, a dot and the kind ("00000017.VPA").
    const bool orfano = nome.size() == 12 && nome.find_first_not_of("0123456789") == 8 &&
                        !registrate.contains(std::stoull(nome.substr(0, 8)));
    if (temporaneo || orfano) {
      env_.DeleteFiles(cartella_ + nome);
    }
  }
}

void Consegne::Scarta(std::string_view negozio, std::int32_t offerta, std::int32_t anno) {
  for (const Consegna& c : Leggi(nullptr)) {
    if (c.state == StatoConsegna::kPreparata && StessaOfferta(c, negozio, offerta, anno)) {
      Elimina(c);
    }
  }
}

std::unique_ptr<Preparazione> Consegne::Prepara(std::string_view negozio, std::int32_t offerta,
                                                std::int32_t anno,
                                                const SistemaEtichette& sistema) {
  env_.CreateFolder(cartella_);
  Consegna consegna;
  consegna.sequence = NuovoNumero();
  consegna.negozio = negozio;
  consegna.offerta = offerta;
  consegna.anno = anno;
  consegna.sistema = sistema;
  consegna.preparata = env_.Now();
  return std::unique_ptr<Preparazione>(new Preparazione(*this, std::move(consegna)));
}

void Consegne::Conferma(std::string_view negozio, std::int32_t offerta, std::int32_t anno) {
  for (Consegna& c : Leggi(nullptr)) {
    if (c.state == StatoConsegna::kPreparata && StessaOfferta(c, negozio, offerta, anno)) {
      c.state = StatoConsegna::kConfermata;
      Salva(c);
    }
  }
}

void Consegne::Risolvi(std::string_view negozio, const OffertaDisattivata& disattivata) {
  try {
    if (!avanzi_puliti_) {
      PulisciAvanzi();
      avanzi_puliti_ = true;
    }
    // One question per offer, whatever the number of its label systems.
    std::map<std::pair<std::int32_t, std::int32_t>, std::optional<bool>> esiti;
    for (Consegna& c : Leggi(nullptr)) {
      if (c.state != StatoConsegna::kPreparata || !StessoNegozio(c.negozio, negozio)) {
        continue;
      }
      const auto chiave = std::make_pair(c.offerta, c.anno);
      if (!esiti.contains(chiave)) {
        esiti[chiave] = disattivata(c.offerta, c.anno);
      }
      const std::optional<bool> esito = esiti[chiave];
      if (!esito) {
        continue;
      }
      if (*esito) {
        c.state = StatoConsegna::kConfermata;
        Salva(c);
      } else {
        Elimina(c);
      }
    }
  } catch (const Errore&) {
    // The outbox cannot be read or written now; the next cycle settles it.
  }
}

std::vector<Consegna> Consegne::InAttesa(std::string_view negozio) {
  std::vector<Consegna> in_attesa;
  try {
    for (Consegna& c : Leggi(nullptr)) {
      if (c.state == StatoConsegna::kConfermata && !c.Consegnata() &&
          StessoNegozio(c.negozio, negozio)) {
        in_attesa.push_back(std::move(c));
      }
    }
  } catch (const Errore&) {
    // An outbox that cannot be read: nothing to report from it.
  }
  return in_attesa;
}

std::vector<Consegne::Aperta> Consegne::Aperte(std::string_view negozio,
                                               std::vector<std::string>* illeggibili) {
  std::vector<Aperta> aperte;
  for (Consegna& c : Leggi(nullptr, illeggibili)) {
    if (c.state != StatoConsegna::kConfermata || !StessoNegozio(c.negozio, negozio)) {
      continue;
    }
    if (!c.Consegnata()) {
      aperte.push_back({std::move(c), false});
    } else if (!FileRimasti(c).empty()) {
      aperte.push_back({std::move(c), true});
    }
  }
  return aperte;
}

void Consegne::SegnalaInAttesa(std::string_view negozio, startup::RunLog& log) {
  for (const Consegna& c : InAttesa(negozio)) {
    // Reported: its catching up gets its line, as after a failure met in this run.
    memoria_[c.sequence].segnalata = "in attesa all'avvio";
    log.ScriviRiga(startup::RigaErrore(fmt::format(
        "etichette dell'offerta {} in attesa dal {} per il sistema {}: i file sono in {}; "
        "finché non arrivano, gli scaffali di quel sistema mostrano il prezzo promozionale "
        "mentre le casse fanno pagare il prezzo normale",
        c.Offerta(), startup::ShortDate(c.preparata) + " " + startup::LongTime(c.preparata),
        NomeSistema(c.sistema), cartella_)));
  }
}

// --- Hand-over -----------------------------------------------------------------------------------

namespace {

// The folder where a delivery's files land, written one way: "c:\sulvo\esl". The layout's own
// names say it: the two-file layout adds a backslash after the folder, the one-file layout does
// not.
std::string CartellaFile(const Consegna& c, char unita) {
  const TipoImport tipo =
      c.sistema.tracciato == Tracciato::kFileUnico ? TipoImport::kUnico : TipoImport::kPrezzi;
  const std::string esempio = NomeImport(c.sistema, tipo, platform::LocalTime{});
  return platform::FoldCase(platform::ParseWindowsPath(esempio, unita).Parent().ToString());
}

std::string NomeSolo(std::string_view percorso, char unita) {
  return std::string(platform::ParseWindowsPath(percorso, unita).Name());
}

bool Attivo(const SistemaEtichette& sistema, const SistemiDaServire& sistemi_attivi) {
  const std::vector<SistemaEtichette>& attivi = sistemi_attivi();
  return std::any_of(attivi.begin(), attivi.end(),
                     [&sistema](const SistemaEtichette& a) { return a.Stesso(sistema); });
}

}  // namespace

std::vector<std::string> Consegne::FileRimasti(const Consegna& consegna) {
  std::vector<std::string> rimasti;
  for (const FileConsegna& f : consegna.file) {
    if (f.posto && platform::FileExists(env_, f.nome)) {
      rimasti.push_back(f.nome);
    }
  }
  return rimasti;
}

void Consegne::Segnala(const Consegna& consegna, const std::string& motivo, startup::RunLog& log) {
  Memoria& memoria = memoria_[consegna.sequence];
  if (memoria.segnalata == motivo) {
    return;
  }
  memoria.segnalata = motivo;
  log.ScriviRiga(startup::RigaErrore(fmt::format(
      "{}: {}. Finché non arrivano, gli scaffali di quel sistema mostrano il prezzo promozionale "
      "mentre le casse fanno pagare il prezzo normale: intervenire. I file restano in attesa e "
      "partono appena possibile",
      Avviso(consegna), motivo)));
}

void Consegne::Recuperata(const Consegna& consegna, startup::RunLog& log) {
  Memoria& memoria = memoria_[consegna.sequence];
  if (memoria.segnalata.empty()) {
    return;
  }
  memoria.segnalata.clear();
  std::string nomi;
  for (const FileConsegna& f : consegna.file) {
    nomi += (nomi.empty() ? "" : ", ") + f.nome;
  }
  log.ScriviRigaDatata(fmt::format("- Etichette dell'offerta {} consegnate al sistema {}{}{}",
                                   consegna.Offerta(), NomeSistema(consegna.sistema),
                                   nomi.empty() ? "" : ": ", nomi));
}

void Consegne::ConsegnaTutte(std::string_view negozio, const SistemiDaServire& sistemi_attivi,
                             startup::RunLog& log) {
  std::vector<Consegna> tutte;
  try {
    tutte = Leggi(&log);
  } catch (const Errore& errore) {
    log.ScriviRiga(startup::RigaErrore(fmt::format(
        "impossibile leggere le consegne delle etichette in {}: {}", cartella_, errore.what())));
    return;
  }
  const char unita = env_.CurrentDrive();
  const platform::SteadyTime adesso = env_.SteadyNow();

  // Folders whose files of an earlier delivery still wait there, with the delivery that waits.
  std::map<std::string, const Consegna*> occupate;
  for (Consegna& c : tutte) {
    if (c.state != StatoConsegna::kConfermata || !StessoNegozio(c.negozio, negozio) ||
        !c.Consegnata()) {
      continue;
    }
    try {
      if (FileRimasti(c).empty()) {
        Recuperata(c, log);
        Elimina(c);
        continue;
      }
      Memoria& memoria = memoria_[c.sequence];
      if (!memoria.avviata) {
        memoria.avviata = adesso;  // started by an earlier run: counted from now
      }
      occupate.try_emplace(CartellaFile(c, unita), &c);
      if (adesso - *memoria.avviata >= kAttesaScript) {
        Segnala(
            c,
            fmt::format("i file sono ancora in {} dopo l'avvio dello script: lo script "
                        "non li ha consegnati (unità Z: raggiungibile?)",
                        platform::ParseWindowsPath(c.file.front().nome, unita).Parent().ToString()),
            log);
        if (Attivo(c.sistema, sistemi_attivi)) {
          AvviaScript(c);
        }
        memoria.avviata = adesso;
      }
    } catch (const Errore& errore) {
      Segnala(c, errore.what(), log);
    }
  }

  // Folders where an earlier delivery could not be placed in this call: the later ones wait
  // behind it, so that a label system never gets an older offer's files after a newer one's.
  std::map<std::string, const Consegna*> bloccate;
  for (Consegna& c : tutte) {
    if (c.state != StatoConsegna::kConfermata || !StessoNegozio(c.negozio, negozio) ||
        c.Consegnata()) {
      continue;
    }
    bool attivo = false;
    try {
      attivo = Attivo(c.sistema, sistemi_attivi);
    } catch (const Errore& errore) {
      Segnala(c,
              fmt::format("impossibile leggere i sistemi di etichette attivi: {}", errore.what()),
              log);
      continue;
    }
    if (!attivo) {
      Segnala(c,
              fmt::format("il sistema non è più attivo, o la sua cartella o il suo tracciato sono "
                          "cambiati; i file restano in {} finché un operatore non li toglie",
                          cartella_),
              log);
      continue;
    }
    const std::string cartella = CartellaFile(c, unita);
    if (const auto prima = bloccate.find(cartella); prima != bloccate.end()) {
      Segnala(c, fmt::format("aspetta le etichette dell'offerta {}", prima->second->Offerta()),
              log);
      continue;
    }
    if (const auto occupata = occupate.find(cartella); occupata != occupate.end()) {
      // A script is still at work on that folder, or failed: new files there could be deleted
      // by its "del" without having been copied. (The loop above starts it again once the
      // waiting files are overdue.) Reported only then: a script at work is no fault.
      const Consegna& attesa = *occupata->second;
      if (!memoria_[attesa.sequence].segnalata.empty()) {
        Segnala(c,
                fmt::format("i file dell'offerta {} sono ancora nella cartella e non sono stati "
                            "consegnati",
                            attesa.Offerta()),
                log);
      }
      bloccate.emplace(cartella, &attesa);
      continue;
    }
    try {
      ConsegnaUna(c, tutte, log);
      if (c.Consegnata() && !FileRimasti(c).empty()) {
        occupate.emplace(cartella, &c);
      }
    } catch (const Errore& errore) {
      Segnala(c, errore.what(), log);
      bloccate.emplace(cartella, &c);
    }
  }
}

void Consegne::ConsegnaUna(Consegna& consegna, const std::vector<Consegna>& tutte,
                           startup::RunLog& log) {
  PulisciCartella(consegna, tutte);
  consegna.pulita = true;
  for (FileConsegna& file : consegna.file) {
    if (!file.posto && file.nome.empty()) {
      Timbra(consegna);
      break;
    }
  }
  for (FileConsegna& file : consegna.file) {
    if (!file.posto) {
      Posa(consegna, file);
    }
  }
  bool avviato = false;
  if (consegna.script && !consegna.avviato) {
    avviato = AvviaScript(consegna);
    consegna.avviato = true;
    Salva(consegna);
  }
  Recuperata(consegna, log);
  if (!avviato || FileRimasti(consegna).empty()) {
    // Done: no script takes the files (an offer without rows, which only cleans the folder; the
    // one-file layout without the site's script, whose label system reads the folder itself), or
    // the script has taken them already.
    Elimina(consegna);
    return;
  }
  memoria_[consegna.sequence].avviata = env_.SteadyNow();
}

void Consegne::PulisciCartella(const Consegna& consegna, const std::vector<Consegna>& tutte) {
  const char unita = env_.CurrentDrive();
  const std::string modello = ModelloPulizia(consegna.sistema.cartella);
  const platform::WindowsPath cartella = platform::ParseWindowsPath(modello, unita).Parent();
  for (const std::string& nome : env_.FindFiles(modello)) {
    const std::string percorso = cartella.Child(nome).ToString();
    // Files that this program placed and that no script has taken yet are owed to the label
    // system: they stay.
    const bool nostro = std::any_of(tutte.begin(), tutte.end(), [&](const Consegna& c) {
      return std::any_of(c.file.begin(), c.file.end(), [&](const FileConsegna& f) {
        return !f.nome.empty() &&
               platform::EqualsIgnoringCase(platform::ParseWindowsPath(f.nome, unita).ToString(),
                                            percorso);
      });
    });
    if (!nostro) {
      env_.DeleteFiles(percorso);
    }
  }
}

void Consegne::Timbra(Consegna& consegna) {
  const std::string ultimo_file = cartella_ + std::string(kUltimoTimbro);
  platform::LocalTime t = env_.Now();
  if (const std::optional<std::string> ultimo = env_.ReadFile(ultimo_file)) {
    if (const std::optional<platform::LocalTime> letto = LeggiTimbro(*ultimo)) {
      t = std::max(t, *letto + std::chrono::seconds{1});
    }
  }
  const char unita = env_.CurrentDrive();
  for (int tentativo = 0;; ++tentativo) {
    if (tentativo == kTentativiNome) {
      throw FileError(fmt::format("nessun nome libero per i file nella cartella {}",
                                  consegna.sistema.cartella));
    }
    bool libero = true;
    for (const FileConsegna& file : consegna.file) {
      if (file.posto) {
        continue;
      }
      const std::string nome = NomeImport(consegna.sistema, file.tipo, t);
      if (platform::FileExists(env_, nome) ||
          platform::FileExists(env_, std::string(kUnitaEtichette) + NomeSolo(nome, unita))) {
        libero = false;
        break;
      }
    }
    if (libero) {
      break;
    }
    t += std::chrono::seconds{1};
  }

  Scrivi(ultimo_file, TimbroFile(t));

  for (FileConsegna& file : consegna.file) {
    if (!file.posto) {
      file.nome = NomeImport(consegna.sistema, file.tipo, t);
    }
  }
  Salva(consegna);
}

void Consegne::Posa(Consegna& consegna, FileConsegna& file) {
  const std::string dati = DataFilePath(consegna, file.tipo);
  for (int tentativo = 0; tentativo < kTentativiNome; ++tentativo) {
    const std::optional<std::string> byte = env_.ReadFile(dati);
    if (!byte) {
      // Moved by a run that died before recording it: it is in the label folder (or already
      // taken from there by the script).
      file.posto = true;
      Salva(consegna);
      return;
    }
    platform::RenameOutcome esito = env_.RenameFile(dati, file.nome, false);
    if (esito == platform::RenameOutcome::kOtherVolume) {
      // Another disk: a copy, whole under a temporary name before it takes its own.
      const platform::WindowsPath cartella =
          platform::ParseWindowsPath(file.nome, env_.CurrentDrive()).Parent();
      esito = platform::WriteWholeFile(env_, cartella.ToString(), file.nome, *byte, false);
      if (esito == platform::RenameOutcome::kRenamed) {
        file.posto = true;
        Salva(consegna);
        env_.DeleteFiles(dati);
        return;
      }
    }
    if (esito == platform::RenameOutcome::kRenamed) {
      file.posto = true;
      Salva(consegna);
      return;
    }
    // The name was taken meanwhile: by this very file when a copy was made before a crash,
    // or by someone else's file, which is never replaced.
    if (env_.ReadFile(file.nome) == byte) {
      file.posto = true;
      Salva(consegna);
      env_.DeleteFiles(dati);
      return;
    }
    file.nome.clear();
    Timbra(consegna);
  }
  throw FileError(
      fmt::format("nessun nome libero per {} nella cartella {}", dati, consegna.sistema.cartella));
}

bool Consegne::AvviaScript(const Consegna& consegna) {
  return Trasferisci(env_, consegna.sistema.tracciato, cartella_);
}

}  // namespace zav5::labels
