#include "labels/consegne.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"
#include "labels/nomi_file_import.h"
#include "labels/trasferimento.h"
#include "platform/case_fold.h"
#include "platform/codepage.h"
#include "platform/env_wrapper.h"
#include "platform/fake/mem_env.h"
#include "platform/windows_path.h"
#include "startup/log_format.h"
#include "startup/run_log.h"

namespace zav5::labels {
namespace {

using namespace std::chrono_literals;

constexpr platform::LocalTime kAdesso =
    std::chrono::local_days{std::chrono::year{2026} / 12 / 7} + 11h + 49min + 30s;
constexpr std::string_view kNegozio = "C:\\negozi\\negozio1.mdb";
constexpr std::string_view kAltroNegozio = "C:\\negozi\\negozio2.mdb";
constexpr std::string_view kLog = "C:\\sulvo\\bkp\\zav5.log";
const std::string kPosta = CartellaConsegne('c');

SistemaEtichette DueFile(std::string cartella) {
  return {std::move(cartella), Tracciato::kDueFile, ""};
}

SistemaEtichette FileUnico(std::string cartella, std::string prefisso) {
  return {std::move(cartella), Tracciato::kFileUnico, std::move(prefisso)};
}

// The folder where `sistema`'s files land, with its last backslash: "C:\sulvo\".
std::string CartellaDi(const SistemaEtichette& sistema) {
  const TipoImport tipo =
      sistema.tracciato == Tracciato::kFileUnico ? TipoImport::kUnico : TipoImport::kPrezzi;
  const platform::WindowsPath nome =
      platform::ParseWindowsPath(NomeImport(sistema, tipo, kAdesso), 'c');
  std::string cartella = nome.Parent().ToString();
  if (!cartella.ends_with('\\')) {
    cartella += '\\';
  }
  return cartella;
}

std::string SoloNome(std::string_view percorso) {
  return std::string(platform::ParseWindowsPath(percorso, 'c').Name());
}

// The 14 digits of the time stamp in an import file's name.
std::string TimbroDi(std::string_view nome) {
  return std::string(nome.substr(nome.size() - 18, 14));
}

// A MemEnv seen through a wrapper that can make any operation the outbox relies on fail (to try
// every step of a delivery), and that notes which import files were there at each script start.
class EnvDiProva : public platform::EnvWrapper {
 public:
  explicit EnvDiProva(platform::MemEnv& mem) : EnvWrapper(mem) {}

  // The `n`-th of the next operations fails, that one only; 0: none.
  void GuastoAl(int n) {
    guasto_al_ = n == 0 ? 0 : operazioni_ + n;
    colpito_ = false;
  }
  // Every operation whose description holds `parte` fails ("rinomina ...Import_PRO..."); "": none.
  void GuastoSu(std::string parte) { guasto_su_ = std::move(parte); }
  // An operation failed since the last GuastoAl.
  bool colpito() const { return colpito_; }

  // The names that match `modello` are noted at each script start.
  void Osserva(std::string modello) { osservati_.push_back(std::move(modello)); }
  const std::vector<std::vector<std::string>>& all_avvio() const { return all_avvio_; }

  void Passo(const std::string& descrizione) {
    ++operazioni_;
    if (operazioni_ == guasto_al_ ||
        (!guasto_su_.empty() && descrizione.find(guasto_su_) != std::string::npos)) {
      colpito_ = true;
      throw FileError("guasto di prova: " + descrizione);
    }
  }

  void DeleteFiles(std::string_view modello) override {
    Passo("cancella " + std::string(modello));
    EnvWrapper::DeleteFiles(modello);
  }
  void CreateFolder(std::string_view cartella) override {
    Passo("crea " + std::string(cartella));
    EnvWrapper::CreateFolder(cartella);
  }
  platform::TemporaryFile NewTemporaryFile(std::string_view cartella) override;
  platform::RenameOutcome RenameFile(std::string_view da, std::string_view a,
                                     bool sostituisci) override {
    Passo("rinomina " + std::string(da) + " in " + std::string(a));
    return EnvWrapper::RenameFile(da, a, sostituisci);
  }
  std::optional<std::string> ReadFile(std::string_view percorso) override {
    Passo("leggi " + std::string(percorso));
    return EnvWrapper::ReadFile(percorso);
  }
  void StartScript(std::string_view percorso) override {
    Passo("avvia " + std::string(percorso));
    std::vector<std::string> presenti;
    for (const std::string& modello : osservati_) {
      for (const std::string& nome : FindFiles(modello)) {
        presenti.push_back(nome);
      }
    }
    all_avvio_.push_back(std::move(presenti));
    EnvWrapper::StartScript(percorso);
  }

 private:
  int operazioni_ = 0;
  int guasto_al_ = 0;
  std::string guasto_su_;
  bool colpito_ = false;
  std::vector<std::string> osservati_;
  std::vector<std::vector<std::string>> all_avvio_;
};

class FileDiProva : public platform::WritableFile {
 public:
  FileDiProva(EnvDiProva& env, std::string percorso, std::unique_ptr<WritableFile> file)
      : env_(env), percorso_(std::move(percorso)), file_(std::move(file)) {}
  void Append(std::string_view byte) override {
    env_.Passo("scrivi " + percorso_);
    file_->Append(byte);
  }
  void Sync() override {
    env_.Passo("sincronizza " + percorso_);
    file_->Sync();
  }
  void Close() override {
    env_.Passo("chiudi " + percorso_);
    file_->Close();
  }

 private:
  EnvDiProva& env_;
  std::string percorso_;
  std::unique_ptr<WritableFile> file_;
};

platform::TemporaryFile EnvDiProva::NewTemporaryFile(std::string_view cartella) {
  Passo("temporaneo in " + std::string(cartella));
  platform::TemporaryFile temporaneo = EnvWrapper::NewTemporaryFile(cartella);
  temporaneo.file =
      std::make_unique<FileDiProva>(*this, temporaneo.path, std::move(temporaneo.file));
  return temporaneo;
}

using Righe = std::vector<std::pair<TipoImport, std::string>>;

// One store's machine: the outbox on C:, the run log, the label systems active now. The scripts
// of both layouts are there (MemEnv records their starts and runs nothing).
struct Banco {
  Banco() {
    mem.SetNow(kAdesso);
    mem.MakeFolder("C:\\sulvo\\bkp");
    mem.PutFile(kScriptSito, "rem\r\n");
    log.ApriLog(std::string(kLog));
  }

  // Prepares and closes the files of `offerta` for `sistema`, with `righe` in this order.
  void Prepara(std::int32_t offerta, const SistemaEtichette& sistema, const Righe& righe,
               std::string_view negozio = kNegozio, std::int32_t anno = 2026) {
    const std::unique_ptr<Preparazione> file = consegne.Prepara(negozio, offerta, anno, sistema);
    for (const auto& [tipo, riga] : righe) {
      file->Scrivi(tipo, riga);
    }
    file->Chiudi(true);
  }
  // Prepared, and the transaction committed.
  void Pronta(std::int32_t offerta, const SistemaEtichette& sistema, const Righe& righe,
              std::string_view negozio = kNegozio) {
    Prepara(offerta, sistema, righe, negozio);
    consegne.Conferma(negozio, offerta, 2026);
  }

  void ConsegnaTutte(Consegne* altre = nullptr) {
    (altre != nullptr ? *altre : consegne)
        .ConsegnaTutte(
            kNegozio, [this]() -> const std::vector<SistemaEtichette>& { return attivi; }, log);
  }

  // Every record in the outbox, by number.
  std::map<std::uint64_t, Consegna> Registri() {
    std::map<std::uint64_t, Consegna> registri;
    for (const std::string& nome : mem.FindFiles(kPosta + "*.consegna")) {
      const Consegna c = LeggiConsegna(*mem.FileBytes(kPosta + nome));
      registri.emplace(c.sequence, c);
    }
    return registri;
  }
  // The label-folder paths that delivery `numero` has placed.
  std::vector<std::string> Posti(std::uint64_t numero) {
    std::vector<std::string> posti;
    const std::map<std::uint64_t, Consegna> registri = Registri();
    for (const FileConsegna& f : registri.at(numero).file) {
      EXPECT_TRUE(f.posto) << f.nome;
      posti.push_back(f.nome);
    }
    return posti;
  }
  // Deletes what matches `modello`, as a script does once it has copied the files.
  void PrendeScript(std::string_view modello) { mem.DeleteFiles(modello); }

  std::vector<std::string> RigheLog() const {
    const std::string testo = platform::Windows1252ToUtf8(mem.FileBytes(kLog).value_or(""));
    std::vector<std::string> righe;
    for (std::size_t inizio = 0; inizio < testo.size();) {
      const std::size_t fine = testo.find("\r\n", inizio);
      righe.push_back(testo.substr(inizio, fine - inizio));
      inizio = fine == std::string::npos ? testo.size() : fine + 2;
    }
    return righe;
  }
  // The lines of the run log that hold every one of `parti`.
  int RigheCon(std::initializer_list<std::string_view> parti) const {
    int quante = 0;
    for (const std::string& riga : RigheLog()) {
      quante += std::all_of(parti.begin(), parti.end(), [&riga](std::string_view parte) {
        return riga.find(parte) != std::string::npos;
      });
    }
    return quante;
  }
  int Errori() const { return RigheCon({"ERRORE : "}); }
  std::size_t Avvii() const { return mem.started_scripts().size(); }

  platform::MemEnv mem;
  EnvDiProva env{mem};
  startup::RunLog log{mem};
  Consegne consegne{env, kPosta};
  std::vector<SistemaEtichette> attivi;
};

const SistemaEtichette kSulvo = DueFile("C:\\sulvo\\");
const Righe kDueRighe = {{TipoImport::kPrezzi, "1001;1,99;perché è così"},
                         {TipoImport::kPromozioni, "1002;2,50"},
                         {TipoImport::kPrezzi, "1003;0,99"}};
// kDueRighe as the files hold them: Windows-1252, CR LF.
constexpr std::string_view kByteVPA = "1001;1,99;perch\xE9 \xE8 cos\xEC\r\n1003;0,99\r\n";
constexpr std::string_view kBytePRO = "1002;2,50\r\n";

// The lines of an offer for `sistema`'s layout.
Righe RigheDi(const SistemaEtichette& sistema) {
  return sistema.tracciato == Tracciato::kFileUnico ? Righe{{TipoImport::kUnico, "1001"}}
                                                    : kDueRighe;
}

// --- Inside the offer's transaction
// ---------------------------------------------------------------

TEST(ConsegneTest, FilesHaveOnlyTemporaryNamesUntilChiudiRecordsThemAsPrepared) {
  Banco b;
  const std::unique_ptr<Preparazione> p = b.consegne.Prepara(kNegozio, 101, 2026, kSulvo);
  for (const auto& [tipo, riga] : kDueRighe) {
    p->Scrivi(tipo, riga);
  }
  const std::vector<std::string> prima = b.mem.FindFiles(kPosta + "*.*");
  EXPECT_EQ(prima.size(), 2u);
  for (const std::string& nome : prima) {
    EXPECT_TRUE(nome.starts_with("~zav5") && nome.ends_with(".tmp")) << nome;
  }
  EXPECT_TRUE(b.Registri().empty());

  p->Chiudi(true);
  EXPECT_EQ(b.mem.FindFiles(kPosta + "*.*"),
            (std::vector<std::string>{"00000001.consegna", "00000001.PRO", "00000001.VPA"}));
  EXPECT_EQ(b.mem.FileBytes(kPosta + "00000001.VPA"), kByteVPA);
  EXPECT_EQ(b.mem.FileBytes(kPosta + "00000001.PRO"), kBytePRO);
  const Consegna c = b.Registri().at(1);
  EXPECT_EQ(c.state, StatoConsegna::kPreparata);
  EXPECT_EQ(c.negozio, kNegozio);
  EXPECT_EQ(c.Offerta(), "101/2026");
  EXPECT_TRUE(c.sistema.Stesso(kSulvo));
  EXPECT_TRUE(c.script);
  EXPECT_EQ(c.preparata, kAdesso);
  ASSERT_EQ(c.file.size(), 2u);
  EXPECT_EQ(c.file[0].tipo, TipoImport::kPrezzi) << "in the order they were opened";
  EXPECT_EQ(c.file[1].tipo, TipoImport::kPromozioni);
  for (const FileConsegna& f : c.file) {
    EXPECT_TRUE(f.nome.empty());
    EXPECT_FALSE(f.posto);
  }
  EXPECT_FALSE(c.avviato);
  EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty()) << "not owed before the commit";

  b.consegne.Conferma(kNegozio, 101, 2026);
  EXPECT_EQ(b.Registri().at(1).state, StatoConsegna::kConfermata);
  EXPECT_EQ(b.consegne.InAttesa(kNegozio).size(), 1u);

  // Numbers go on, also for a program started again on the same outbox.
  b.Prepara(102, kSulvo, kDueRighe);
  Consegne riavviate(b.env, kPosta);
  riavviate.Prepara(kNegozio, 103, 2026, kSulvo)->Chiudi(false);
  EXPECT_EQ(b.Registri().at(2).offerta, 102);
  EXPECT_EQ(b.Registri().at(3).offerta, 103);
}

TEST(ConsegneTest, APreparazioneThatFailsAnywhereOrIsDroppedLeavesNothing) {
  Banco b;
  b.Pronta(100, kSulvo, kDueRighe);
  const std::vector<std::string> prima = b.mem.FindFiles(kPosta + "*.*");
  // 0: the offer failed elsewhere and the Preparazione goes without Chiudi.
  for (int guasto = 0;; ++guasto) {
    SCOPED_TRACE(guasto);
    ASSERT_LT(guasto, 200);
    b.env.GuastoAl(guasto);
    try {
      const std::unique_ptr<Preparazione> p = b.consegne.Prepara(kNegozio, 101, 2026, kSulvo);
      for (const auto& [tipo, riga] : kDueRighe) {
        p->Scrivi(tipo, riga);
      }
      if (guasto > 0) {
        p->Chiudi(true);
      }
    } catch (const FileError&) {
      EXPECT_TRUE(b.env.colpito());
    }
    const bool colpito = b.env.colpito();
    b.env.GuastoAl(0);
    if (guasto > 0 && !colpito) {
      EXPECT_EQ(b.Registri().size(), 2u) << "without a failure the delivery is recorded";
      break;
    }
    EXPECT_EQ(b.mem.FindFiles(kPosta + "*.*"), prima);
  }
}

TEST(ConsegneTest, ScartaDropsOnlyTheUnconfirmedDeliveriesOfThatOfferAndConfermaConfirmsThem) {
  Banco b;
  const SistemaEtichette esl = FileUnico("C:\\esl\\", "ESL");
  b.Pronta(101, kSulvo, kDueRighe);                               // 1: committed earlier
  b.Prepara(101, kSulvo, kDueRighe);                              // 2
  b.Prepara(101, esl, {{TipoImport::kUnico, "x"}});               // 3
  b.Prepara(101, kSulvo, kDueRighe, "c:\\NEGOZI\\Negozio1.MDB");  // 4: the same store
  b.Prepara(102, kSulvo, kDueRighe);                              // 5
  b.Prepara(101, kSulvo, kDueRighe, kNegozio, 2025);              // 6
  b.Prepara(101, kSulvo, kDueRighe, kAltroNegozio);               // 7

  b.consegne.Scarta(kNegozio, 101, 2026);
  std::map<std::uint64_t, Consegna> registri = b.Registri();
  std::set<std::uint64_t> rimasti;
  for (const auto& [numero, c] : registri) {
    rimasti.insert(numero);
  }
  EXPECT_EQ(rimasti, (std::set<std::uint64_t>{1, 5, 6, 7}));
  for (const char* scartato : {"00000002.*", "00000003.*", "00000004.*"}) {
    EXPECT_TRUE(b.mem.FindFiles(kPosta + scartato).empty()) << scartato;
  }
  for (const char* tenuto : {"00000001.*", "00000005.*", "00000006.*", "00000007.*"}) {
    EXPECT_EQ(b.mem.FindFiles(kPosta + tenuto).size(), 3u) << tenuto;
  }

  b.consegne.Conferma(kNegozio, 102, 2026);
  registri = b.Registri();
  EXPECT_EQ(registri.at(5).state, StatoConsegna::kConfermata);
  EXPECT_EQ(registri.at(6).state, StatoConsegna::kPreparata);
  EXPECT_EQ(registri.at(7).state, StatoConsegna::kPreparata);
  EXPECT_EQ(registri.at(1).state, StatoConsegna::kConfermata);
}

TEST(ConsegneTest, RisolviAsksOncePerOfferAndConfirmsDropsOrKeepsAsTheDatabaseSays) {
  Banco b;
  const SistemaEtichette esl = FileUnico("C:\\esl\\", "ESL");
  b.Prepara(201, kSulvo, kDueRighe);                 // 1: deactivated
  b.Prepara(201, esl, {{TipoImport::kUnico, "x"}});  // 2: the same offer, another system
  b.Prepara(202, kSulvo, kDueRighe);                 // 3: not deactivated
  b.Prepara(203, kSulvo, kDueRighe);                 // 4: the database cannot tell
  b.Prepara(204, kSulvo, kDueRighe, kAltroNegozio);  // 5: another store's
  b.Pronta(205, kSulvo, kDueRighe);                  // 6: committed

  const std::map<std::int32_t, std::optional<bool>> risposte = {
      {201, true}, {202, false}, {203, std::nullopt}};
  std::vector<std::int32_t> domande;
  const OffertaDisattivata disattivata = [&](std::int32_t offerta, std::int32_t anno) {
    EXPECT_EQ(anno, 2026);
    domande.push_back(offerta);
    return risposte.at(offerta);
  };
  b.consegne.Risolvi(kNegozio, disattivata);
  std::sort(domande.begin(), domande.end());
  EXPECT_EQ(domande, (std::vector<std::int32_t>{201, 202, 203}));
  std::map<std::uint64_t, Consegna> registri = b.Registri();
  EXPECT_EQ(registri.at(1).state, StatoConsegna::kConfermata);
  EXPECT_EQ(registri.at(2).state, StatoConsegna::kConfermata);
  EXPECT_FALSE(registri.contains(3));
  EXPECT_TRUE(b.mem.FindFiles(kPosta + "00000003.*").empty());
  EXPECT_EQ(registri.at(4).state, StatoConsegna::kPreparata);
  EXPECT_EQ(registri.at(5).state, StatoConsegna::kPreparata);
  EXPECT_EQ(registri.at(6).state, StatoConsegna::kConfermata);
  EXPECT_EQ(b.mem.FindFiles(kPosta + "00000001.*").size(), 3u);

  domande.clear();
  b.consegne.Risolvi(kNegozio, disattivata);
  EXPECT_EQ(domande, std::vector<std::int32_t>{203}) << "only what is still unsettled";
}

TEST(ConsegneTest, TheFirstRisolviRemovesWhatACrashLeftHalfMadeAndNothingElse) {
  Banco b;
  b.Prepara(101, kSulvo, kDueRighe);                // 1
  b.Pronta(102, kSulvo, kDueRighe, kAltroNegozio);  // 2
  const std::vector<std::string> tenuti_prima = b.mem.FindFiles(kPosta + "*.*");
  b.mem.PutFile(kPosta + "ultimo_timbro.txt", "20261207114930");
  b.mem.PutFile(kPosta + "leggimi.txt", "appunti");
  b.mem.PutFile(kPosta + "00000008.consegna", "illeggibile");  // its data stays with it
  b.mem.PutFile(kPosta + "00000008.UNI", "x");
  b.mem.PutFile(kPosta + "~zav5-4711-3.tmp", "mezzo");
  b.mem.PutFile(kPosta + "~zav5-4711-4.tmp", "");
  b.mem.PutFile(kPosta + "00000009.VPA", "senza registro");
  b.mem.PutFile(kPosta + "00000009.PRO", "senza registro");
  b.mem.PutFile(kPosta + "00000003.UNI", "senza registro");

  b.consegne.Risolvi(kNegozio, [](std::int32_t, std::int32_t) { return std::nullopt; });
  std::vector<std::string> attesi = tenuti_prima;
  attesi.insert(attesi.end(),
                {"00000008.consegna", "00000008.UNI", "leggimi.txt", "ultimo_timbro.txt"});
  std::sort(attesi.begin(), attesi.end(), [](const std::string& x, const std::string& y) {
    return platform::FoldCase(x) < platform::FoldCase(y);
  });
  EXPECT_EQ(b.mem.FindFiles(kPosta + "*.*"), attesi);

  // Later calls leave alone the files of an offer being prepared.
  const std::unique_ptr<Preparazione> p = b.consegne.Prepara(kNegozio, 103, 2026, kSulvo);
  p->Scrivi(TipoImport::kPrezzi, "1001");
  b.consegne.Risolvi(kNegozio, [](std::int32_t, std::int32_t) { return std::nullopt; });
  p->Chiudi(true);
  EXPECT_EQ(b.mem.FileBytes(kPosta + "00000003.VPA"), "1001\r\n");
}

// --- Hand-over -----------------------------------------------------------------------------------

TEST(ConsegneTest, TheCleanUpRemovesOldImportFilesButNotThoseItPlacedThatAreStillThere) {
  Banco b;
  b.attivi = {kSulvo};
  b.Pronta(101, kSulvo, kDueRighe);
  b.env.GuastoSu("Import_PRO");  // the price file goes, the promotion file cannot
  b.ConsegnaTutte();
  b.env.GuastoSu("");
  const Consegna meta = b.Registri().at(1);
  ASSERT_TRUE(meta.file[0].posto);
  ASSERT_FALSE(meta.file[1].posto);
  EXPECT_EQ(b.Avvii(), 0u) << "no script for half the files";
  b.mem.PutFile("C:\\sulvo\\import_vecchio.txt", "x");
  b.mem.PutFile("C:\\sulvo\\IMPORT_PRO_20200101000000.TXT", "x");
  b.mem.PutFile("C:\\sulvo\\Import.dat", "x");
  b.mem.PutFile("C:\\sulvo\\altro.txt", "x");
  b.mem.PutFile("C:\\sulvo\\vecchio_import.txt", "x");
  b.mem.PutFile("C:\\sulvo\\esl\\import_x.txt", "x");

  b.ConsegnaTutte();
  const std::vector<std::string> posti = b.Posti(1);
  EXPECT_EQ(posti[0], meta.file[0].nome);
  EXPECT_EQ(b.mem.FileBytes(posti[0]), kByteVPA);
  EXPECT_EQ(b.mem.FileBytes(posti[1]), kBytePRO);
  std::vector<std::string> attesi = {"altro.txt",        "comandoP.bat",     "frontalini.bat",
                                     SoloNome(posti[1]), SoloNome(posti[0]), "vecchio_import.txt"};
  EXPECT_EQ(b.mem.FindFiles("C:\\sulvo\\*.*"), attesi);
  EXPECT_TRUE(b.mem.FileBytes("C:\\sulvo\\esl\\import_x.txt")) << "only the folder itself";
  EXPECT_EQ(b.Avvii(), 1u);
}

TEST(ConsegneTest, TheStampIsNowOrOneSecondAfterTheLastOneAlsoForANewProgramAndABackwardClock) {
  Banco b;
  b.attivi = {kSulvo};
  std::vector<std::unique_ptr<Consegne>> programmi;
  struct Passo {
    const char* caso;
    platform::LocalTime adesso;
    bool riavvio;  // a new Consegne on the same outbox, as after a restart
    platform::LocalTime timbro;
  };
  const Passo passi[] = {
      {"now", kAdesso, false, kAdesso},
      {"the same second, in a new program", kAdesso, true, kAdesso + 1s},
      {"the clock went back an hour", kAdesso - 1h, false, kAdesso + 2s},
      {"the clock is ahead again", kAdesso + 1h, true, kAdesso + 1h},
  };
  Consegne* consegne = &b.consegne;
  std::int32_t offerta = 100;
  for (const Passo& passo : passi) {
    SCOPED_TRACE(passo.caso);
    b.mem.SetNow(passo.adesso);
    if (passo.riavvio) {
      programmi.push_back(std::make_unique<Consegne>(b.env, kPosta));
      consegne = programmi.back().get();
    }
    const std::unique_ptr<Preparazione> p = consegne->Prepara(kNegozio, ++offerta, 2026, kSulvo);
    p->Scrivi(TipoImport::kPrezzi, "1001");
    p->Chiudi(true);
    consegne->Conferma(kNegozio, offerta, 2026);
    b.ConsegnaTutte(consegne);
    EXPECT_EQ(b.mem.FindFiles("C:\\sulvo\\Import*.*"),
              std::vector<std::string>{SoloNome(NomeFilePrezzi(kSulvo.cartella, passo.timbro))});
    b.PrendeScript("C:\\sulvo\\Import*.*");
    b.ConsegnaTutte(consegne);
    EXPECT_TRUE(b.Registri().empty());
  }
  EXPECT_EQ(b.Errori(), 0);
}

TEST(ConsegneTest, ASecondWhoseNameIsTakenInTheFolderOrOnDriveZIsSkipped) {
  const SistemaEtichette esl = FileUnico("C:\\esl\\", "ESL");
  struct Caso {
    const char* caso;
    SistemaEtichette sistema;
    bool indietro;  // a delivery at kAdesso first, then the clock goes back an hour
    std::vector<std::string> presi;
    platform::LocalTime timbro;
  };
  const Caso casi[] = {
      {"in the folder",
       esl,
       false,
       {NomeFileUnico(esl.cartella, "ESL", kAdesso),
        NomeFileUnico(esl.cartella, "ESL", kAdesso + 1s)},
       kAdesso + 2s},
      {"on Z:, the price file", kSulvo, false, {"Z:\\Import_VPA_20261207114930.txt"}, kAdesso + 1s},
      {"on Z:, the promotion file",
       kSulvo,
       false,
       {"Z:\\Import_PRO_20261207114930.txt"},
       kAdesso + 1s},
      {"on Z:, one file", esl, false, {"Z:\\ESL20261207114930.txt"}, kAdesso + 1s},
      {"on Z:, after the clock went back",
       kSulvo,
       true,
       {"Z:\\Import_PRO_20261207114931.txt"},
       kAdesso + 2s},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.caso);
    Banco b;
    b.mem.MakeFolder(caso.sistema.cartella);
    b.attivi = {caso.sistema};
    const Righe righe = RigheDi(caso.sistema);
    std::int32_t offerta = 100;
    if (caso.indietro) {
      b.Pronta(++offerta, caso.sistema, righe);
      b.ConsegnaTutte();
      b.PrendeScript(CartellaDi(caso.sistema) + "*.txt");
      b.mem.SetNow(kAdesso - 1h);
    }
    for (const std::string& preso : caso.presi) {
      b.mem.PutFile(preso, "altrui");
    }
    b.Pronta(++offerta, caso.sistema, righe);
    b.ConsegnaTutte();
    const std::vector<std::string> posti = b.Posti(b.Registri().rbegin()->first);
    ASSERT_FALSE(posti.empty());
    for (const std::string& posto : posti) {
      EXPECT_EQ(TimbroDi(posto), TimbroFile(caso.timbro)) << posto;
    }
    for (const std::string& preso : caso.presi) {
      EXPECT_EQ(b.mem.FileBytes(preso), "altrui");
    }
  }
}

TEST(ConsegneTest, FilesArriveWithTheirBytesByRenameOnOneDiskAndByCopyOnAnother) {
  for (const SistemaEtichette& sistema :
       {kSulvo, DueFile("D:\\sulvo\\"), DueFile("\\\\server\\etichette"),
        FileUnico("D:\\esl\\", "ESL")}) {
    SCOPED_TRACE(sistema.cartella);
    Banco b;
    const std::string cartella = CartellaDi(sistema);
    b.mem.MakeFolder(cartella);
    b.env.Osserva(cartella + "*.txt");
    b.attivi = {sistema};
    const bool unico = sistema.tracciato == Tracciato::kFileUnico;
    b.Pronta(101, sistema, unico ? Righe{{TipoImport::kUnico, kDueRighe[0].second}} : kDueRighe);
    b.ConsegnaTutte();

    const std::vector<std::string> posti = b.Posti(1);
    ASSERT_EQ(posti.size(), unico ? 1u : 2u);
    EXPECT_EQ(b.mem.FileBytes(posti[0]),
              unico ? std::string(kByteVPA.substr(0, kByteVPA.find('\n') + 1)) : kByteVPA);
    if (!unico) {
      EXPECT_EQ(b.mem.FileBytes(posti[1]), kBytePRO);
    }
    EXPECT_EQ(b.mem.FindFiles(cartella + "*.txt").size(), posti.size());
    EXPECT_TRUE(b.mem.FindFiles(cartella + "~zav5*.tmp").empty());
    EXPECT_EQ(b.mem.FindFiles(kPosta + "*.*"),
              (std::vector<std::string>{"00000001.consegna", "ultimo_timbro.txt"}))
        << "only the record of the files that wait for the script";
    ASSERT_EQ(b.env.all_avvio().size(), 1u);
    EXPECT_EQ(b.env.all_avvio()[0].size(), posti.size()) << "started on every file";

    b.PrendeScript(cartella + "*.txt");
    b.ConsegnaTutte();
    EXPECT_EQ(b.mem.FindFiles(kPosta + "*.*"), std::vector<std::string>{"ultimo_timbro.txt"});
    EXPECT_EQ(b.Avvii(), 1u);
    EXPECT_TRUE(b.RigheLog().empty()) << "nothing to report, nothing caught up";
  }
}

TEST(ConsegneTest, ANameTakenMeanwhileByAnotherFileIsNeverReplaced) {
  struct Caso {
    const char* cartella;
    bool stessi_byte;  // a copy of these very files made before a crash
  };
  for (const Caso caso : {Caso{"C:\\etichette\\", false}, Caso{"D:\\etichette\\", false},
                          Caso{"C:\\etichette\\", true}, Caso{"D:\\etichette\\", true}}) {
    SCOPED_TRACE(std::string(caso.cartella) + (caso.stessi_byte ? ", same bytes" : ""));
    Banco b;
    const SistemaEtichette sistema = DueFile(caso.cartella);
    b.attivi = {sistema};
    b.Pronta(101, sistema, {{TipoImport::kPrezzi, "nostro"}});
    b.ConsegnaTutte();  // the folder is missing: named, not placed
    const std::string nome = b.Registri().at(1).file.at(0).nome;
    ASSERT_EQ(nome, NomeFilePrezzi(caso.cartella, kAdesso));
    b.mem.PutFile(nome, caso.stessi_byte ? "nostro\r\n" : "altrui\r\n");

    b.ConsegnaTutte();
    EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty());
    if (caso.stessi_byte) {
      EXPECT_EQ(b.Posti(1), std::vector<std::string>{nome});
      EXPECT_EQ(b.mem.FindFiles(std::string(caso.cartella) + "*.*").size(), 1u);
    } else {
      EXPECT_EQ(b.mem.FileBytes(nome), "altrui\r\n");
      EXPECT_EQ(b.Posti(1), std::vector<std::string>{NomeFilePrezzi(caso.cartella, kAdesso + 1s)});
      EXPECT_EQ(b.mem.FileBytes(b.Posti(1)[0]), "nostro\r\n");
      EXPECT_EQ(b.mem.FindFiles(std::string(caso.cartella) + "*.*").size(), 2u)
          << "no temporary file stays";
    }
    EXPECT_TRUE(b.mem.FindFiles(kPosta + "*.VPA").empty());
    EXPECT_EQ(b.Avvii(), 1u);
  }
}

TEST(ConsegneTest, AFailureAtAnyStepOfTheHandOverIsMadeGoodAndTheScriptOnlySeesWholeSets) {
  for (const char* cartella : {"C:\\sulvo\\", "D:\\sulvo\\"}) {
    const SistemaEtichette sistema = DueFile(cartella);
    for (int guasto = 1;; ++guasto) {
      SCOPED_TRACE(std::string(cartella) + ", failure at step " + std::to_string(guasto));
      ASSERT_LT(guasto, 300);
      Banco b;
      b.mem.MakeFolder(cartella);
      b.env.Osserva(std::string(cartella) + "Import*.*");
      b.attivi = {sistema};
      b.Pronta(101, sistema, kDueRighe);
      b.env.GuastoAl(guasto);
      b.ConsegnaTutte();
      const bool colpito = b.env.colpito();
      b.env.GuastoAl(0);
      for (int volta = 0; volta < 3 && !b.consegne.InAttesa(kNegozio).empty(); ++volta) {
        b.ConsegnaTutte();
      }

      EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty());
      const std::vector<std::string> arrivati =
          b.mem.FindFiles(std::string(cartella) + "Import*.*");
      EXPECT_TRUE(b.mem.FindFiles(std::string(cartella) + "~zav5*.tmp").empty());
      ASSERT_EQ(arrivati.size(), 2u) << testing::PrintToString(arrivati);
      EXPECT_TRUE(arrivati[0].starts_with("Import_PRO_")) << arrivati[0];
      EXPECT_TRUE(arrivati[1].starts_with("Import_VPA_")) << arrivati[1];
      EXPECT_EQ(b.mem.FileBytes(cartella + arrivati[0]), kBytePRO);
      EXPECT_EQ(b.mem.FileBytes(cartella + arrivati[1]), kByteVPA);
      ASSERT_FALSE(b.env.all_avvio().empty());
      for (const std::vector<std::string>& presenti : b.env.all_avvio()) {
        EXPECT_EQ(presenti, arrivati);
      }

      b.PrendeScript(std::string(cartella) + "Import*.*");
      b.ConsegnaTutte();
      EXPECT_EQ(b.mem.FindFiles(kPosta + "*.*"), std::vector<std::string>{"ultimo_timbro.txt"});
      if (!colpito) {
        break;
      }
    }
  }
}

TEST(ConsegneTest, WaitingFilesHoldBackTheirFolderOnlyAndAreReportedAndRestartedOncePerWait) {
  struct Caso {
    const char* caso;
    SistemaEtichette attesa;  // offer 101, whose files the script does not take
    SistemaEtichette stessa;  // offer 102, whose files land in the same folder
    SistemaEtichette altra;   // offer 103, in another folder
  };
  const Caso casi[] = {
      {"one system", kSulvo, kSulvo, DueFile("C:\\etichette\\")},
      {"the folder written two ways", DueFile("C:\\sulvo"), DueFile("c:\\SULVO\\"),
       DueFile("C:\\etichette")},
      {"one file", FileUnico("C:\\esl\\", "ESL"), FileUnico("C:\\ESL\\", "ALT"),
       DueFile("C:\\sulvo")},
  };
  constexpr std::chrono::seconds kAttesa = Consegne::kAttesaScript;
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.caso);
    Banco b;
    b.attivi = {caso.attesa, caso.stessa, caso.altra};
    for (const SistemaEtichette& sistema : b.attivi) {
      b.mem.MakeFolder(CartellaDi(sistema));
    }
    b.Pronta(101, caso.attesa, RigheDi(caso.attesa));
    b.ConsegnaTutte();
    const std::vector<std::string> in_attesa = b.Posti(1);
    ASSERT_EQ(b.Avvii(), 1u);

    b.Pronta(102, caso.stessa, RigheDi(caso.stessa));
    b.Pronta(103, caso.altra, RigheDi(caso.altra));
    b.ConsegnaTutte();
    std::vector<Consegna> trattenute = b.consegne.InAttesa(kNegozio);
    ASSERT_EQ(trattenute.size(), 1u);
    EXPECT_EQ(trattenute[0].offerta, 102);
    EXPECT_TRUE(trattenute[0].file[0].nome.empty()) << "not even named";
    for (const std::string& nome : in_attesa) {
      EXPECT_TRUE(b.mem.FileBytes(nome)) << nome << " is never cleaned up";
    }
    const std::vector<std::string> altrove = b.Posti(3);
    EXPECT_EQ(b.Avvii(), 2u);
    for (const std::string& nome : altrove) {
      b.PrendeScript(nome);
    }

    b.mem.Advance(kAttesa - 1s);
    b.ConsegnaTutte();
    EXPECT_EQ(b.Errori(), 0);
    EXPECT_EQ(b.Avvii(), 2u);
    EXPECT_FALSE(b.Registri().contains(3));

    // Too long: reported once, and the script started again at most once per wait.
    const std::string avviso_101 =
        "ERRORE : etichette dell'offerta 101/2026 non consegnate al sistema " +
        NomeSistema(caso.attesa);
    const std::string avviso_102 =
        "ERRORE : etichette dell'offerta 102/2026 non consegnate al sistema " +
        NomeSistema(caso.stessa);
    const std::pair<std::chrono::seconds, std::size_t> passi[] = {
        {1s, 3}, {kAttesa / 2, 3}, {kAttesa / 2 - 1s, 3}, {1s, 4}, {1s, 4}};
    for (const auto& [dopo, avvii] : passi) {
      b.mem.Advance(dopo);
      b.ConsegnaTutte();
      EXPECT_EQ(b.Avvii(), avvii);
    }
    EXPECT_EQ(b.RigheCon({avviso_101, "dopo l'avvio dello script"}), 1);
    EXPECT_EQ(b.RigheCon({avviso_102, "101/2026 sono ancora nella cartella"}), 1);
    EXPECT_EQ(b.Errori(), 2);
    EXPECT_EQ(b.consegne.InAttesa(kNegozio).size(), 1u);

    // The script took the files at last.
    for (const std::string& nome : in_attesa) {
      b.PrendeScript(nome);
    }
    b.ConsegnaTutte();
    EXPECT_FALSE(b.Registri().contains(1));
    const std::string oggi = startup::ShortDate(kAdesso) + "-";
    EXPECT_EQ(b.RigheCon({oggi, "- Etichette dell'offerta 101/2026 consegnate al sistema " +
                                    NomeSistema(caso.attesa) + ": " + in_attesa[0]}),
              1);
    const std::vector<std::string> dopo = b.Posti(2);
    EXPECT_GT(TimbroDi(dopo[0]), TimbroDi(in_attesa[0]));
    EXPECT_EQ(b.Avvii(), 5u);
    EXPECT_EQ(b.RigheCon({oggi, "- Etichette dell'offerta 102/2026 consegnate"}), 1);
    EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty());
    EXPECT_EQ(b.Errori(), 2);

    // A program started again counts the wait from its own start.
    Consegne riavviate(b.env, kPosta);
    b.ConsegnaTutte(&riavviate);
    b.mem.Advance(kAttesa - 1s);
    b.ConsegnaTutte(&riavviate);
    EXPECT_EQ(b.Errori(), 2);
    EXPECT_EQ(b.Avvii(), 5u);
    b.mem.Advance(1s);
    b.ConsegnaTutte(&riavviate);
    EXPECT_EQ(b.RigheCon({avviso_102, "dopo l'avvio dello script"}), 1);
    EXPECT_EQ(b.Avvii(), 6u);
  }
}

TEST(ConsegneTest, ADeliveryForASystemNoLongerActiveStaysWhereItIsAndIsReportedOnce) {
  const SistemaEtichette esl = FileUnico("C:\\esl\\", "ESL");
  struct Caso {
    const char* caso;
    SistemaEtichette sistema;
    std::vector<SistemaEtichette> attivi;
    bool consegnata;
  };
  const Caso casi[] = {
      {"no system active", kSulvo, {}, false},
      {"another folder", kSulvo, {DueFile("C:\\etichette\\")}, false},
      {"the folder without its last backslash", kSulvo, {DueFile("C:\\sulvo")}, false},
      {"the layout changed", kSulvo, {FileUnico("C:\\sulvo\\", "")}, false},
      {"the prefix changed", esl, {kSulvo, FileUnico("C:\\esl\\", "ALT")}, false},
      {"letter case aside, the same folder", kSulvo, {DueFile("c:\\SULVO\\")}, true},
      {"letter case aside, the same prefix", esl, {kSulvo, FileUnico("c:\\ESL\\", "esl")}, true},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.caso);
    Banco b;
    b.mem.MakeFolder("C:\\esl");
    b.attivi = caso.attivi;
    b.Pronta(101, caso.sistema, RigheDi(caso.sistema));
    b.ConsegnaTutte();
    if (caso.consegnata) {
      EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty());
      EXPECT_EQ(b.Avvii(), 1u);
      continue;
    }
    for (int volta = 0; volta < 3; ++volta) {
      b.mem.Advance(Consegne::kAttesaScript);
      b.ConsegnaTutte();
    }
    EXPECT_EQ(b.consegne.InAttesa(kNegozio).size(), 1u);
    EXPECT_EQ(b.mem.FindFiles(kPosta + "00000001.*").size(),
              caso.sistema.tracciato == Tracciato::kFileUnico ? 2u : 3u)
        << "the record and its data";
    EXPECT_TRUE(b.mem.FindFiles(CartellaDi(caso.sistema) + "*.txt").empty());
    EXPECT_EQ(b.Avvii(), 0u);
    EXPECT_EQ(b.RigheCon({"ERRORE : etichette dell'offerta 101/2026 non consegnate al sistema " +
                              NomeSistema(caso.sistema),
                          "non è più attivo", kPosta}),
              1);
    EXPECT_EQ(b.Errori(), 1);
  }

  // The active systems cannot be read: the deliveries that need them wait, each reported once.
  Banco b;
  b.Pronta(101, kSulvo, kDueRighe);
  b.Pronta(102, esl, RigheDi(esl));
  for (int volta = 0; volta < 3; ++volta) {
    b.consegne.ConsegnaTutte(
        kNegozio,
        []() -> const std::vector<SistemaEtichette>& {
          throw DatabaseError("tabella elettro illeggibile");
        },
        b.log);
  }
  for (const char* offerta : {"101/2026", "102/2026"}) {
    EXPECT_EQ(b.RigheCon({"ERRORE : ", offerta, "impossibile leggere i sistemi",
                          "tabella elettro illeggibile"}),
              1)
        << offerta;
  }
  EXPECT_EQ(b.Errori(), 2);
  EXPECT_EQ(b.consegne.InAttesa(kNegozio).size(), 2u);
}

TEST(ConsegneTest, AFailingLabelFolderIsReportedOnceAndLaterDeliveriesThereWaitBehindIt) {
  for (const char* cartella : {"C:\\manca\\", "D:\\manca\\"}) {
    SCOPED_TRACE(cartella);
    Banco b;
    const SistemaEtichette manca = DueFile(cartella);
    b.attivi = {manca, kSulvo};
    b.Pronta(101, manca, kDueRighe);
    b.Pronta(102, manca, kDueRighe);
    b.Pronta(103, kSulvo, kDueRighe);
    b.ConsegnaTutte();
    EXPECT_EQ(b.Avvii(), 1u) << "only the other folder's script";
    b.PrendeScript("C:\\sulvo\\Import*.*");
    for (int volta = 0; volta < 3; ++volta) {
      b.mem.Advance(Consegne::kAttesaScript);
      b.ConsegnaTutte();
    }
    EXPECT_EQ(b.RigheCon({"ERRORE : etichette dell'offerta 101/2026 non consegnate al sistema " +
                              NomeSistema(manca) + ": ",
                          "manca", "non esiste",
                          "gli scaffali di quel sistema mostrano il prezzo promozionale mentre "
                          "le casse fanno pagare il prezzo normale"}),
              1);
    EXPECT_EQ(b.RigheCon({"ERRORE : etichette dell'offerta 102/2026 non consegnate al sistema " +
                              NomeSistema(manca) + ": aspetta le etichette dell'offerta 101/2026",
                          "gli scaffali"}),
              1);
    EXPECT_EQ(b.Errori(), 2);
    EXPECT_EQ(b.Avvii(), 1u);
    std::vector<Consegna> in_attesa = b.consegne.InAttesa(kNegozio);
    ASSERT_EQ(in_attesa.size(), 2u);
    EXPECT_EQ(in_attesa[0].offerta, 101);
    EXPECT_EQ(in_attesa[1].offerta, 102);
    EXPECT_TRUE(in_attesa[1].file[0].nome.empty()) << "never named ahead of 101";

    b.mem.MakeFolder(cartella);
    b.ConsegnaTutte();
    const std::vector<std::string> primi = b.Posti(1);
    EXPECT_EQ(b.RigheCon({"- Etichette dell'offerta 101/2026 consegnate"}), 1);
    in_attesa = b.consegne.InAttesa(kNegozio);
    ASSERT_EQ(in_attesa.size(), 1u);
    EXPECT_EQ(in_attesa[0].offerta, 102) << "behind 101's files, which wait for the script";
    EXPECT_EQ(b.Avvii(), 2u);

    b.PrendeScript(std::string(cartella) + "Import*.*");
    b.ConsegnaTutte();
    const std::vector<std::string> secondi = b.Posti(2);
    EXPECT_GT(TimbroDi(secondi[0]), TimbroDi(primi[0]));
    EXPECT_EQ(b.RigheCon({"- Etichette dell'offerta 102/2026 consegnate"}), 1);
    EXPECT_EQ(b.Avvii(), 3u);
    EXPECT_EQ(b.Errori(), 2);
  }
}

TEST(ConsegneTest, InAttesaAndSegnalaInAttesaGiveTheConfirmedDeliveriesNotHandedOver) {
  Banco b;
  const SistemaEtichette manca = DueFile("C:\\manca\\");
  b.attivi = {manca, kSulvo};
  b.Pronta(101, manca, kDueRighe);    // its folder is missing
  b.Prepara(102, kSulvo, kDueRighe);  // not committed
  b.Pronta(103, kSulvo, kDueRighe);   // handed over, waiting for its script
  b.mem.Advance(1h);
  b.Pronta(104, manca, kDueRighe);                 // behind 101
  b.Pronta(105, manca, kDueRighe, kAltroNegozio);  // another store's
  b.ConsegnaTutte();

  std::vector<std::int32_t> offerte;
  for (const Consegna& c : b.consegne.InAttesa("c:\\NEGOZI\\NEGOZIO1.MDB")) {
    offerte.push_back(c.offerta);
  }
  EXPECT_EQ(offerte, (std::vector<std::int32_t>{101, 104}));

  const std::size_t prima = b.RigheLog().size();
  b.consegne.SegnalaInAttesa(kNegozio, b.log);
  const std::vector<std::string> righe = b.RigheLog();
  ASSERT_EQ(righe.size(), prima + 2);
  const std::string sistema =
      " per il sistema " + NomeSistema(manca) + ": i file sono in " + kPosta;
  EXPECT_TRUE(righe[prima].starts_with(
      "ERRORE : etichette dell'offerta 101/2026 in attesa dal 07/12/2026 11:49:30" + sistema))
      << righe[prima];
  EXPECT_TRUE(righe[prima + 1].starts_with(
      "ERRORE : etichette dell'offerta 104/2026 in attesa dal 07/12/2026 12:49:30" + sistema))
      << righe[prima + 1];
  for (const std::string& riga : {righe[prima], righe[prima + 1]}) {
    EXPECT_NE(riga.find("gli scaffali"), std::string::npos) << riga;
  }

  b.consegne.SegnalaInAttesa(kAltroNegozio, b.log);
  EXPECT_EQ(b.RigheLog().size(), prima + 3);
  EXPECT_EQ(b.RigheCon({"ERRORE : etichette dell'offerta 105/2026 in attesa"}), 1);
}

TEST(ConsegneTest, AnUnreadableRecordIsReportedOnceAndHoldsNothingElseBack) {
  Banco b;
  b.attivi = {kSulvo};
  b.mem.MakeFolder(kPosta);
  b.mem.PutFile(kPosta + "00000001.consegna", "zav5 consegna 1\nnumero=1\n");
  b.Pronta(102, kSulvo, kDueRighe);
  b.ConsegnaTutte();
  b.ConsegnaTutte();
  EXPECT_EQ(b.RigheCon({"ERRORE : il registro di consegna " + kPosta + "00000001.consegna",
                        "manca il campo"}),
            1);
  EXPECT_EQ(b.Errori(), 1);
  EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty());
  EXPECT_EQ(b.mem.FindFiles("C:\\sulvo\\Import*.*").size(), 2u);
  EXPECT_TRUE(b.mem.FileBytes(kPosta + "00000001.consegna")) << "left for an operator";
}

TEST(ConsegneTest, AnOfferWithoutRowsOnlyCleansTheFolderAndOneWithoutLinesAlsoStartsTheScript) {
  for (const bool righe : {false, true}) {
    SCOPED_TRACE(righe ? "rows without lines" : "no rows");
    Banco b;
    b.attivi = {kSulvo};
    b.mem.PutFile("C:\\sulvo\\Import_VPA_20200101000000.txt", "vecchio");
    b.consegne.Prepara(kNegozio, 101, 2026, kSulvo)->Chiudi(righe);
    b.consegne.Conferma(kNegozio, 101, 2026);
    b.ConsegnaTutte();
    EXPECT_TRUE(b.mem.FindFiles("C:\\sulvo\\Import*.*").empty());
    EXPECT_EQ(b.mem.started_scripts(), righe ? std::vector<std::string>{std::string(kScriptCopia)}
                                             : std::vector<std::string>{});
    EXPECT_TRUE(b.mem.FindFiles(kPosta + "*.consegna").empty());
    EXPECT_TRUE(b.consegne.InAttesa(kNegozio).empty());
    EXPECT_EQ(b.Errori(), 0);
  }
}

}  // namespace
}  // namespace zav5::labels
