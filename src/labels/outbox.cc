#include "labels/outbox.h"

#include <algorithm>
#include <utility>

#include <fmt/core.h>

#include "errors.h"
#include "labels/hand_over_script.h"
#include "labels/import_file_names.h"
#include "platform/case_fold.h"
#include "platform/whole_file.h"
#include "platform/windows_path.h"
#include "startup/log_format.h"

namespace zav5::labels {

namespace {

constexpr std::string_view kRecordExtension = "consegna";
// The last time stamp given to a set of files: names are never used twice and keep their order,
// also across runs and when the clock goes back (the end of daylight saving time).
constexpr std::string_view kLastStampFile = "ultimo_timbro.txt";
// The label systems' drop folder, where the scripts copy the files with their names.
constexpr std::string_view kLabelDrive = "Z:\\";
// A file name that keeps being taken: something is wrong with the folder.
constexpr int kNameAttempts = 100;

bool SameStore(std::string_view a, std::string_view b) {
  return platform::EqualsIgnoringCase(a, b);
}

bool SameOffer(const Delivery& c, std::string_view store, std::int32_t offer, std::int32_t anno) {
  return c.offer == offer && c.anno == anno && SameStore(c.store, store);
}

std::string NotDeliveredText(const Delivery& c) {
  return fmt::format("etichette dell'offerta {} non consegnate al sistema {}", c.Offer(),
                     SystemName(c.system));
}

}  // namespace

std::string OutboxFolder(char drive) {
  return fmt::format("{}:\\dorn\\zav5\\consegne\\", static_cast<char>(drive & ~0x20));
}

// --- DeliveryPreparation
// --------------------------------------------------------------------------------

DeliveryPreparation::DeliveryPreparation(Outbox& outbox, Delivery delivery)
    : outbox_(outbox), delivery_(std::move(delivery)) {}

DeliveryPreparation::~DeliveryPreparation() {
  if (closed_) {
    return;
  }
  file_.clear();  // closes the files before they are deleted
  for (const std::string& path : written_paths_) {
    try {
      outbox_.env_.DeleteFiles(path);
    } catch (const Error&) {
      // Left in the outbox without a record: the next run's first settling removes it.
    }
  }
}

void DeliveryPreparation::Write(ImportKind kind, std::string_view line) {
  auto file =
      std::find_if(file_.begin(), file_.end(), [kind](const File& f) { return f.kind == kind; });
  if (file == file_.end()) {
    platform::TemporaryFile temporary = outbox_.env_.NewTemporaryFile(outbox_.folder_);
    written_paths_.push_back(temporary.path);
    file_.push_back({kind, std::move(temporary), nullptr});
    file = std::prev(file_.end());
    file->lines = std::make_unique<platform::LineWriter>(*file->temporary.file);
  }
  file->lines->Write(line);
}

void DeliveryPreparation::Close(bool script) {
  platform::Env& env = outbox_.env_;
  for (File& file : file_) {
    file.lines->Flush();
    file.temporary.file->Sync();
    file.temporary.file->Close();
    const std::string dati = outbox_.DataFilePath(delivery_, file.kind);
    if (env.RenameFile(file.temporary.path, dati, false) != platform::RenameOutcome::kRenamed) {
      throw FileError(fmt::format("impossibile preparare {}: il nome è già preso", dati));
    }
    written_paths_.push_back(dati);
    delivery_.file.push_back({file.kind, {}, false});
  }
  delivery_.script = script;
  outbox_.Save(delivery_);
  closed_ = true;
}

// --- Outbox ------------------------------------------------------------------------------------

Outbox::Outbox(platform::Env& env, std::string folder) : env_(env), folder_(std::move(folder)) {}

std::string Outbox::OutboxPath(std::uint64_t numero, std::string_view estensione) const {
  return fmt::format("{}{:08}.{}", folder_, numero, estensione);
}

std::string Outbox::DataFilePath(const Delivery& delivery, ImportKind kind) const {
  return OutboxPath(delivery.sequence, ImportSuffix(kind));
}

std::uint64_t Outbox::NextNumber() {
  if (!last_number_) {
    // The highest number of any file in the outbox, records and their data alike.
    std::uint64_t ultimo = 0;
    for (const std::string& name : env_.FindFiles(folder_ + "*.*")) {
      const std::size_t punto = name.find('.');
      if (punto == 8 && name.find_first_not_of("0123456789") == 8) {
        ultimo = std::max<std::uint64_t>(ultimo, std::stoull(name.substr(0, 8)));
      }
    }
    last_number_ = ultimo;
  }
  return ++*last_number_;
}

std::vector<Delivery> Outbox::ReadAll(startup::RunLog* log, std::vector<std::string>* illeggibili) {
  std::vector<Delivery> outbox;
  for (const std::string& name : env_.FindFiles(folder_ + "*." + std::string(kRecordExtension))) {
    const std::string path = folder_ + name;
    try {
      const std::optional<std::string> testo = env_.ReadFile(path);
      if (testo) {
        outbox.push_back(ParseDelivery(*testo));
      }
    } catch (const Error& errore) {
      if (illeggibili != nullptr) {
        illeggibili->push_back(fmt::format("{}: {}", path, errore.what()));
      }
      if (log != nullptr && unreadable_.insert(name).second) {
        log->ScriviRiga(startup::ErrorLine(fmt::format(
            "il registro di consegna {} non si legge ({}): le sue etichette non partono finché "
            "un operatore non lo ripara o lo toglie",
            path, errore.what())));
      }
    }
  }
  std::sort(outbox.begin(), outbox.end(),
            [](const Delivery& a, const Delivery& b) { return a.sequence < b.sequence; });
  return outbox;
}

void Outbox::Write(const std::string& path, std::string_view byte) {
  platform::WriteWholeFile(env_, folder_, path, byte, true);
}

void Outbox::Save(const Delivery& delivery) {
  Write(OutboxPath(delivery.sequence, kRecordExtension), DeliveryText(delivery));
}

void Outbox::Erase(const Delivery& delivery) {
  // The record goes last: a crash in between leaves a record whose files have gone, which the
  // hand-over takes for files already placed.
  for (const ImportKind kind :
       {ImportKind::kPrices, ImportKind::kPromotions, ImportKind::kSingle}) {
    env_.DeleteFiles(DataFilePath(delivery, kind));
  }
  env_.DeleteFiles(OutboxPath(delivery.sequence, kRecordExtension));
  remembered_.erase(delivery.sequence);
}

void Outbox::CleanLeftovers() {
  // Temporary files of a run that died, and data files whose record was never written.
  std::set<std::uint64_t> registrate;
  for (const std::string& name : env_.FindFiles(folder_ + "*." + std::string(kRecordExtension))) {
    if (name.find_first_not_of("0123456789") == 8) {
      registrate.insert(std::stoull(name.substr(0, 8)));
    }
  }
  for (const std::string& name : env_.FindFiles(folder_ + "*.*")) {
    const bool temporary = name.starts_with("~zav5") && name.ends_with(".tmp");
    // A data file: eight digits, a dot and the kind ("00000017.VPA").
    const bool orfano = name.size() == 12 && name.find_first_not_of("0123456789") == 8 &&
                        !registrate.contains(std::stoull(name.substr(0, 8)));
    if (temporary || orfano) {
      env_.DeleteFiles(folder_ + name);
    }
  }
}

void Outbox::Discard(std::string_view store, std::int32_t offer, std::int32_t anno) {
  for (const Delivery& c : ReadAll(nullptr)) {
    if (c.state == DeliveryState::kPrepared && SameOffer(c, store, offer, anno)) {
      Erase(c);
    }
  }
}

std::unique_ptr<DeliveryPreparation> Outbox::StartDelivery(std::string_view store,
                                                           std::int32_t offer, std::int32_t anno,
                                                           const LabelSystem& system) {
  env_.CreateFolder(folder_);
  Delivery delivery;
  delivery.sequence = NextNumber();
  delivery.store = store;
  delivery.offer = offer;
  delivery.anno = anno;
  delivery.system = system;
  delivery.prepared_at = env_.Now();
  return std::unique_ptr<DeliveryPreparation>(new DeliveryPreparation(*this, std::move(delivery)));
}

void Outbox::Confirm(std::string_view store, std::int32_t offer, std::int32_t anno) {
  for (Delivery& c : ReadAll(nullptr)) {
    if (c.state == DeliveryState::kPrepared && SameOffer(c, store, offer, anno)) {
      c.state = DeliveryState::kConfirmed;
      Save(c);
    }
  }
}

void Outbox::Settle(std::string_view store, const OfferDeactivated& disattivata) {
  try {
    if (!leftovers_cleaned_) {
      CleanLeftovers();
      leftovers_cleaned_ = true;
    }
    // One question per offer, whatever the number of its label systems.
    std::map<std::pair<std::int32_t, std::int32_t>, std::optional<bool>> esiti;
    for (Delivery& c : ReadAll(nullptr)) {
      if (c.state != DeliveryState::kPrepared || !SameStore(c.store, store)) {
        continue;
      }
      const auto chiave = std::make_pair(c.offer, c.anno);
      if (!esiti.contains(chiave)) {
        esiti[chiave] = disattivata(c.offer, c.anno);
      }
      const std::optional<bool> esito = esiti[chiave];
      if (!esito) {
        continue;
      }
      if (*esito) {
        c.state = DeliveryState::kConfirmed;
        Save(c);
      } else {
        Erase(c);
      }
    }
  } catch (const Error&) {
    // The outbox cannot be read or written now; the next cycle settles it.
  }
}

std::vector<Delivery> Outbox::Pending(std::string_view store) {
  std::vector<Delivery> in_attesa;
  try {
    for (Delivery& c : ReadAll(nullptr)) {
      if (c.state == DeliveryState::kConfirmed && !c.HandedOver() && SameStore(c.store, store)) {
        in_attesa.push_back(std::move(c));
      }
    }
  } catch (const Error&) {
    // An outbox that cannot be read: nothing to report from it.
  }
  return in_attesa;
}

std::vector<Outbox::OpenDelivery> Outbox::OpenDeliveries(std::string_view store,
                                                         std::vector<std::string>* illeggibili) {
  std::vector<OpenDelivery> aperte;
  for (Delivery& c : ReadAll(nullptr, illeggibili)) {
    if (c.state != DeliveryState::kConfirmed || !SameStore(c.store, store)) {
      continue;
    }
    if (!c.HandedOver()) {
      aperte.push_back({std::move(c), false});
    } else if (!FilesLeft(c).empty()) {
      aperte.push_back({std::move(c), true});
    }
  }
  return aperte;
}

void Outbox::ReportPending(std::string_view store, startup::RunLog& log) {
  for (const Delivery& c : Pending(store)) {
    // Reported: its catching up gets its line, as after a failure met in this run.
    remembered_[c.sequence].reported_reason = "in attesa all'avvio";
    log.ScriviRiga(startup::ErrorLine(fmt::format(
        "etichette dell'offerta {} in attesa dal {} per il sistema {}: i file sono in {}; "
        "finché non arrivano, gli scaffali di quel sistema mostrano il prezzo promozionale "
        "mentre le casse fanno pagare il prezzo normale",
        c.Offer(), startup::ShortDate(c.prepared_at) + " " + startup::LongTime(c.prepared_at),
        SystemName(c.system), folder_)));
  }
}

// --- Hand-over -----------------------------------------------------------------------------------

namespace {

// The folder where a delivery's files land, written one way: "c:\sulvo\esl". The layout's own
// names say it: the two-file layout adds a backslash after the folder, the one-file layout does
// not.
std::string LabelFolderOf(const Delivery& c, char drive) {
  const ImportKind kind =
      c.system.layout == FileLayout::kOneFile ? ImportKind::kSingle : ImportKind::kPrices;
  const std::string esempio = ImportFileName(c.system, kind, platform::LocalTime{});
  return platform::FoldCase(platform::ParseWindowsPath(esempio, drive).Parent().ToString());
}

std::string FileNameOnly(std::string_view path, char drive) {
  return std::string(platform::ParseWindowsPath(path, drive).Name());
}

bool IsActive(const LabelSystem& system, const SystemsToServe& sistemi_attivi) {
  const std::vector<LabelSystem>& active = sistemi_attivi();
  return std::any_of(active.begin(), active.end(),
                     [&system](const LabelSystem& a) { return a.SameAs(system); });
}

}  // namespace

std::vector<std::string> Outbox::FilesLeft(const Delivery& delivery) {
  std::vector<std::string> rimasti;
  for (const DeliveryFile& f : delivery.file) {
    if (f.placed && platform::FileExists(env_, f.name)) {
      rimasti.push_back(f.name);
    }
  }
  return rimasti;
}

void Outbox::ReportProblem(const Delivery& delivery, const std::string& motivo,
                           startup::RunLog& log) {
  Remembered& memoria = remembered_[delivery.sequence];
  if (memoria.reported_reason == motivo) {
    return;
  }
  memoria.reported_reason = motivo;
  log.ScriviRiga(startup::ErrorLine(fmt::format(
      "{}: {}. Finché non arrivano, gli scaffali di quel sistema mostrano il prezzo promozionale "
      "mentre le casse fanno pagare il prezzo normale: intervenire. I file restano in attesa e "
      "partono appena possibile",
      NotDeliveredText(delivery), motivo)));
}

void Outbox::ReportRecovered(const Delivery& delivery, startup::RunLog& log) {
  Remembered& memoria = remembered_[delivery.sequence];
  if (memoria.reported_reason.empty()) {
    return;
  }
  memoria.reported_reason.clear();
  std::string nomi;
  for (const DeliveryFile& f : delivery.file) {
    nomi += (nomi.empty() ? "" : ", ") + f.name;
  }
  log.ScriviRigaDatata(fmt::format("- Etichette dell'offerta {} consegnate al sistema {}{}{}",
                                   delivery.Offer(), SystemName(delivery.system),
                                   nomi.empty() ? "" : ": ", nomi));
}

void Outbox::HandOverAll(std::string_view store, const SystemsToServe& sistemi_attivi,
                         startup::RunLog& log) {
  std::vector<Delivery> tutte;
  try {
    tutte = ReadAll(&log);
  } catch (const Error& errore) {
    log.ScriviRiga(startup::ErrorLine(fmt::format(
        "impossibile leggere le consegne delle etichette in {}: {}", folder_, errore.what())));
    return;
  }
  const char drive = env_.CurrentDrive();
  const platform::SteadyTime adesso = env_.SteadyNow();

  // Folders whose files of an earlier delivery still wait there, with the delivery that waits.
  std::map<std::string, const Delivery*> occupate;
  for (Delivery& c : tutte) {
    if (c.state != DeliveryState::kConfirmed || !SameStore(c.store, store) || !c.HandedOver()) {
      continue;
    }
    try {
      if (FilesLeft(c).empty()) {
        ReportRecovered(c, log);
        Erase(c);
        continue;
      }
      Remembered& memoria = remembered_[c.sequence];
      if (!memoria.script_started_at) {
        memoria.script_started_at = adesso;  // started by an earlier run: counted from now
      }
      occupate.try_emplace(LabelFolderOf(c, drive), &c);
      if (adesso - *memoria.script_started_at >= kScriptTimeout) {
        ReportProblem(
            c,
            fmt::format("i file sono ancora in {} dopo l'avvio dello script: lo script "
                        "non li ha consegnati (unità Z: raggiungibile?)",
                        platform::ParseWindowsPath(c.file.front().name, drive).Parent().ToString()),
            log);
        if (IsActive(c.system, sistemi_attivi)) {
          StartLayoutScript(c);
        }
        memoria.script_started_at = adesso;
      }
    } catch (const Error& errore) {
      ReportProblem(c, errore.what(), log);
    }
  }

  // Folders where an earlier delivery could not be placed in this call: the later ones wait
  // behind it, so that a label system never gets an older offer's files after a newer one's.
  std::map<std::string, const Delivery*> bloccate;
  for (Delivery& c : tutte) {
    if (c.state != DeliveryState::kConfirmed || !SameStore(c.store, store) || c.HandedOver()) {
      continue;
    }
    bool attivo = false;
    try {
      attivo = IsActive(c.system, sistemi_attivi);
    } catch (const Error& errore) {
      ReportProblem(
          c, fmt::format("impossibile leggere i sistemi di etichette attivi: {}", errore.what()),
          log);
      continue;
    }
    if (!attivo) {
      ReportProblem(
          c,
          fmt::format("il sistema non è più attivo, o la sua cartella o il suo tracciato sono "
                      "cambiati; i file restano in {} finché un operatore non li toglie",
                      folder_),
          log);
      continue;
    }
    const std::string folder = LabelFolderOf(c, drive);
    if (const auto prima = bloccate.find(folder); prima != bloccate.end()) {
      ReportProblem(c, fmt::format("aspetta le etichette dell'offerta {}", prima->second->Offer()),
                    log);
      continue;
    }
    if (const auto occupata = occupate.find(folder); occupata != occupate.end()) {
      // A script is still at work on that folder, or failed: new files there could be deleted
      // by its "del" without having been copied. (The loop above starts it again once the
      // waiting files are overdue.) Reported only then: a script at work is no fault.
      const Delivery& attesa = *occupata->second;
      if (!remembered_[attesa.sequence].reported_reason.empty()) {
        ReportProblem(
            c,
            fmt::format("i file dell'offerta {} sono ancora nella cartella e non sono stati "
                        "consegnati",
                        attesa.Offer()),
            log);
      }
      bloccate.emplace(folder, &attesa);
      continue;
    }
    try {
      HandOverOne(c, tutte, log);
      if (c.HandedOver() && !FilesLeft(c).empty()) {
        occupate.emplace(folder, &c);
      }
    } catch (const Error& errore) {
      ReportProblem(c, errore.what(), log);
      bloccate.emplace(folder, &c);
    }
  }
}

void Outbox::HandOverOne(Delivery& delivery, const std::vector<Delivery>& tutte,
                         startup::RunLog& log) {
  CleanLabelFolder(delivery, tutte);
  delivery.folder_cleaned = true;
  for (DeliveryFile& file : delivery.file) {
    if (!file.placed && file.name.empty()) {
      Stamp(delivery);
      break;
    }
  }
  for (DeliveryFile& file : delivery.file) {
    if (!file.placed) {
      Place(delivery, file);
    }
  }
  bool script_started = false;
  if (delivery.script && !delivery.script_started) {
    script_started = StartLayoutScript(delivery);
    delivery.script_started = true;
    Save(delivery);
  }
  ReportRecovered(delivery, log);
  if (!script_started || FilesLeft(delivery).empty()) {
    // Done: no script takes the files (an offer without rows, which only cleans the folder; the
    // one-file layout without the site's script, whose label system reads the folder itself), or
    // the script has taken them already.
    Erase(delivery);
    return;
  }
  remembered_[delivery.sequence].script_started_at = env_.SteadyNow();
}

void Outbox::CleanLabelFolder(const Delivery& delivery, const std::vector<Delivery>& tutte) {
  const char drive = env_.CurrentDrive();
  const std::string modello = CleanUpPattern(delivery.system.folder);
  const platform::WindowsPath folder = platform::ParseWindowsPath(modello, drive).Parent();
  for (const std::string& name : env_.FindFiles(modello)) {
    const std::string path = folder.Child(name).ToString();
    // Files that this program placed and that no script has taken yet are owed to the label
    // system: they stay.
    const bool nostro = std::any_of(tutte.begin(), tutte.end(), [&](const Delivery& c) {
      return std::any_of(c.file.begin(), c.file.end(), [&](const DeliveryFile& f) {
        return !f.name.empty() && platform::EqualsIgnoringCase(
                                      platform::ParseWindowsPath(f.name, drive).ToString(), path);
      });
    });
    if (!nostro) {
      env_.DeleteFiles(path);
    }
  }
}

void Outbox::Stamp(Delivery& delivery) {
  const std::string ultimo_file = folder_ + std::string(kLastStampFile);
  platform::LocalTime t = env_.Now();
  if (const std::optional<std::string> ultimo = env_.ReadFile(ultimo_file)) {
    if (const std::optional<platform::LocalTime> read_result = ParseFileStamp(*ultimo)) {
      t = std::max(t, *read_result + std::chrono::seconds{1});
    }
  }
  const char drive = env_.CurrentDrive();
  for (int tentativo = 0;; ++tentativo) {
    if (tentativo == kNameAttempts) {
      throw FileError(
          fmt::format("nessun nome libero per i file nella cartella {}", delivery.system.folder));
    }
    bool libero = true;
    for (const DeliveryFile& file : delivery.file) {
      if (file.placed) {
        continue;
      }
      const std::string name = ImportFileName(delivery.system, file.kind, t);
      if (platform::FileExists(env_, name) ||
          platform::FileExists(env_, std::string(kLabelDrive) + FileNameOnly(name, drive))) {
        libero = false;
        break;
      }
    }
    if (libero) {
      break;
    }
    t += std::chrono::seconds{1};
  }

  Write(ultimo_file, FileStamp(t));

  for (DeliveryFile& file : delivery.file) {
    if (!file.placed) {
      file.name = ImportFileName(delivery.system, file.kind, t);
    }
  }
  Save(delivery);
}

void Outbox::Place(Delivery& delivery, DeliveryFile& file) {
  const std::string dati = DataFilePath(delivery, file.kind);
  for (int tentativo = 0; tentativo < kNameAttempts; ++tentativo) {
    const std::optional<std::string> byte = env_.ReadFile(dati);
    if (!byte) {
      // Moved by a run that died before recording it: it is in the label folder (or already
      // taken from there by the script).
      file.placed = true;
      Save(delivery);
      return;
    }
    platform::RenameOutcome esito = env_.RenameFile(dati, file.name, false);
    if (esito == platform::RenameOutcome::kOtherVolume) {
      // Another disk: a copy, whole under a temporary name before it takes its own.
      const platform::WindowsPath folder =
          platform::ParseWindowsPath(file.name, env_.CurrentDrive()).Parent();
      esito = platform::WriteWholeFile(env_, folder.ToString(), file.name, *byte, false);
      if (esito == platform::RenameOutcome::kRenamed) {
        file.placed = true;
        Save(delivery);
        env_.DeleteFiles(dati);
        return;
      }
    }
    if (esito == platform::RenameOutcome::kRenamed) {
      file.placed = true;
      Save(delivery);
      return;
    }
    // The name was taken meanwhile: by this very file when a copy was made before a crash,
    // or by someone else's file, which is never replaced.
    if (env_.ReadFile(file.name) == byte) {
      file.placed = true;
      Save(delivery);
      env_.DeleteFiles(dati);
      return;
    }
    file.name.clear();
    Stamp(delivery);
  }
  throw FileError(
      fmt::format("nessun nome libero per {} nella cartella {}", dati, delivery.system.folder));
}

bool Outbox::StartLayoutScript(const Delivery& delivery) {
  return StartHandOverScript(env_, delivery.system.layout, folder_);
}

}  // namespace zav5::labels
