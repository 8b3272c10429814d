#include "labels/outbox.h"

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
#include "labels/hand_over_script.h"
#include "labels/import_file_names.h"
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

constexpr platform::LocalTime kNow =
    std::chrono::local_days{std::chrono::year{2026} / 12 / 7} + 11h + 49min + 30s;
constexpr std::string_view kStore = "C:\\negozi\\negozio1.mdb";
constexpr std::string_view kOtherStore = "C:\\negozi\\negozio2.mdb";
constexpr std::string_view kLog = "C:\\sulvo\\bkp\\zav5.log";
const std::string kOutbox = OutboxFolder('c');

LabelSystem TwoFileSystem(std::string folder) {
  return {std::move(folder), FileLayout::kTwoFiles, ""};
}

LabelSystem OneFileSystem(std::string folder, std::string prefix) {
  return {std::move(folder), FileLayout::kOneFile, std::move(prefix)};
}

// The folder where `system`'s files land, with its last backslash: "C:\sulvo\".
std::string LabelFolderIn(const LabelSystem& system) {
  const ImportKind kind =
      system.layout == FileLayout::kOneFile ? ImportKind::kSingle : ImportKind::kPrices;
  const platform::WindowsPath name =
      platform::ParseWindowsPath(ImportFileName(system, kind, kNow), 'c');
  std::string folder = name.Parent().ToString();
  if (!folder.ends_with('\\')) {
    folder += '\\';
  }
  return folder;
}

std::string NameOnly(std::string_view path) {
  return std::string(platform::ParseWindowsPath(path, 'c').Name());
}

// The 14 digits of the time stamp in an import file's name.
std::string StampOf(std::string_view name) {
  return std::string(name.substr(name.size() - 18, 14));
}

// A MemEnv seen through a wrapper that can make any operation the outbox relies on fail (to try
// every step of a delivery), and that notes which import files were there at each script start.
class FaultyEnv : public platform::EnvWrapper {
 public:
  explicit FaultyEnv(platform::MemEnv& mem) : EnvWrapper(mem) {}

  // The `n`-th of the next operations fails, that one only; 0: none.
  void FailAt(int n) {
    fail_at_ = n == 0 ? 0 : operations_ + n;
    hit_ = false;
  }
  // Every operation whose description holds `parte` fails ("rinomina ...Import_PRO..."); "": none.
  void FailOn(std::string parte) { fail_on_ = std::move(parte); }
  // An operation failed since the last FailAt.
  bool hit() const { return hit_; }

  // The names that match `modello` are noted at each script start.
  void Watch(std::string modello) { watched_.push_back(std::move(modello)); }
  const std::vector<std::vector<std::string>>& at_start() const { return at_start_; }

  void Step(const std::string& descrizione) {
    ++operations_;
    if (operations_ == fail_at_ ||
        (!fail_on_.empty() && descrizione.find(fail_on_) != std::string::npos)) {
      hit_ = true;
      throw FileError("guasto di prova: " + descrizione);
    }
  }

  void DeleteFiles(std::string_view modello) override {
    Step("cancella " + std::string(modello));
    EnvWrapper::DeleteFiles(modello);
  }
  void CreateFolder(std::string_view folder) override {
    Step("crea " + std::string(folder));
    EnvWrapper::CreateFolder(folder);
  }
  platform::TemporaryFile NewTemporaryFile(std::string_view folder) override;
  platform::RenameOutcome RenameFile(std::string_view da, std::string_view a,
                                     bool sostituisci) override {
    Step("rinomina " + std::string(da) + " in " + std::string(a));
    return EnvWrapper::RenameFile(da, a, sostituisci);
  }
  std::optional<std::string> ReadFile(std::string_view path) override {
    Step("leggi " + std::string(path));
    return EnvWrapper::ReadFile(path);
  }
  void StartScript(std::string_view path) override {
    Step("avvia " + std::string(path));
    std::vector<std::string> presenti;
    for (const std::string& modello : watched_) {
      for (const std::string& name : FindFiles(modello)) {
        presenti.push_back(name);
      }
    }
    at_start_.push_back(std::move(presenti));
    EnvWrapper::StartScript(path);
  }

 private:
  int operations_ = 0;
  int fail_at_ = 0;
  std::string fail_on_;
  bool hit_ = false;
  std::vector<std::string> watched_;
  std::vector<std::vector<std::string>> at_start_;
};

class FaultyFile : public platform::WritableFile {
 public:
  FaultyFile(FaultyEnv& env, std::string path, std::unique_ptr<WritableFile> file)
      : env_(env), path_(std::move(path)), file_(std::move(file)) {}
  void Append(std::string_view byte) override {
    env_.Step("scrivi " + path_);
    file_->Append(byte);
  }
  void Sync() override {
    env_.Step("sincronizza " + path_);
    file_->Sync();
  }
  void Close() override {
    env_.Step("chiudi " + path_);
    file_->Close();
  }

 private:
  FaultyEnv& env_;
  std::string path_;
  std::unique_ptr<WritableFile> file_;
};

platform::TemporaryFile FaultyEnv::NewTemporaryFile(std::string_view folder) {
  Step("temporaneo in " + std::string(folder));
  platform::TemporaryFile temporary = EnvWrapper::NewTemporaryFile(folder);
  temporary.file = std::make_unique<FaultyFile>(*this, temporary.path, std::move(temporary.file));
  return temporary;
}

using QueryRows = std::vector<std::pair<ImportKind, std::string>>;

// One store's machine: the outbox on C:, the run log, the label systems active now. The scripts
// of both layouts are there (MemEnv records their starts and runs nothing).
struct Workbench {
  Workbench() {
    mem.SetNow(kNow);
    mem.MakeFolder("C:\\sulvo\\bkp");
    mem.PutFile(kSiteScript, "rem\r\n");
    log.ApriLog(std::string(kLog));
  }

  // Prepares and closes the files of `offer` for `system`, with `lines` in this order.
  void StartDelivery(std::int32_t offer, const LabelSystem& system, const QueryRows& lines,
                     std::string_view store = kStore, std::int32_t anno = 2026) {
    const std::unique_ptr<DeliveryPreparation> file =
        outbox.StartDelivery(store, offer, anno, system);
    for (const auto& [kind, line] : lines) {
      file->Write(kind, line);
    }
    file->Close(true);
  }
  // Prepared, and the transaction committed.
  void PrepareOne(std::int32_t offer, const LabelSystem& system, const QueryRows& lines,
                  std::string_view store = kStore) {
    StartDelivery(offer, system, lines, store);
    outbox.Confirm(store, offer, 2026);
  }

  void HandOverAll(Outbox* altre = nullptr) {
    (altre != nullptr ? *altre : outbox)
        .HandOverAll(
            kStore, [this]() -> const std::vector<LabelSystem>& { return active; }, log);
  }

  // Every record in the outbox, by number.
  std::map<std::uint64_t, Delivery> Records() {
    std::map<std::uint64_t, Delivery> registri;
    for (const std::string& name : mem.FindFiles(kOutbox + "*.consegna")) {
      const Delivery c = ParseDelivery(*mem.FileBytes(kOutbox + name));
      registri.emplace(c.sequence, c);
    }
    return registri;
  }
  // The label-folder paths that delivery `numero` has placed.
  std::vector<std::string> PlacedFiles(std::uint64_t numero) {
    std::vector<std::string> posti;
    const std::map<std::uint64_t, Delivery> registri = Records();
    for (const DeliveryFile& f : registri.at(numero).file) {
      EXPECT_TRUE(f.placed) << f.name;
      posti.push_back(f.name);
    }
    return posti;
  }
  // Deletes what matches `modello`, as a script does once it has copied the files.
  void ScriptTakes(std::string_view modello) { mem.DeleteFiles(modello); }

  std::vector<std::string> RunLogLines() const {
    const std::string testo = platform::Windows1252ToUtf8(mem.FileBytes(kLog).value_or(""));
    std::vector<std::string> lines;
    for (std::size_t inizio = 0; inizio < testo.size();) {
      const std::size_t end_day = testo.find("\r\n", inizio);
      lines.push_back(testo.substr(inizio, end_day - inizio));
      inizio = end_day == std::string::npos ? testo.size() : end_day + 2;
    }
    return lines;
  }
  // The lines of the run log that hold every one of `parti`.
  int LinesWith(std::initializer_list<std::string_view> parti) const {
    int quante = 0;
    for (const std::string& line : RunLogLines()) {
      quante += std::all_of(parti.begin(), parti.end(), [&line](std::string_view parte) {
        return line.find(parte) != std::string::npos;
      });
    }
    return quante;
  }
  int ErrorLines() const { return LinesWith({"ERRORE : "}); }
  std::size_t ScriptStarts() const { return mem.started_scripts().size(); }

  platform::MemEnv mem;
  FaultyEnv env{mem};
  startup::RunLog log{mem};
  Outbox outbox{env, kOutbox};
  std::vector<LabelSystem> active;
};

const LabelSystem kSulvoSystem = TwoFileSystem("C:\\sulvo\\");
const QueryRows kTwoLines = {{ImportKind::kPrices, "1001;1,99;perché è così"},
                             {ImportKind::kPromotions, "1002;2,50"},
                             {ImportKind::kPrices, "1003;0,99"}};
// kTwoLines as the files hold them: Windows-1252, CR LF.
constexpr std::string_view kByteVPA = "1001;1,99;perch\xE9 \xE8 cos\xEC\r\n1003;0,99\r\n";
constexpr std::string_view kBytePRO = "1002;2,50\r\n";

// The lines of an offer for `system`'s layout.
QueryRows LinesOf(const LabelSystem& system) {
  return system.layout == FileLayout::kOneFile ? QueryRows{{ImportKind::kSingle, "1001"}}
                                               : kTwoLines;
}

// --- Inside the offer's transaction
// ---------------------------------------------------------------

TEST(OutboxTest, FilesHaveOnlyTemporaryNamesUntilChiudiRecordsThemAsPrepared) {
  Workbench b;
  const std::unique_ptr<DeliveryPreparation> p =
      b.outbox.StartDelivery(kStore, 101, 2026, kSulvoSystem);
  for (const auto& [kind, line] : kTwoLines) {
    p->Write(kind, line);
  }
  const std::vector<std::string> prima = b.mem.FindFiles(kOutbox + "*.*");
  EXPECT_EQ(prima.size(), 2u);
  for (const std::string& name : prima) {
    EXPECT_TRUE(name.starts_with("~zav5") && name.ends_with(".tmp")) << name;
  }
  EXPECT_TRUE(b.Records().empty());

  p->Close(true);
  EXPECT_EQ(b.mem.FindFiles(kOutbox + "*.*"),
            (std::vector<std::string>{"00000001.consegna", "00000001.PRO", "00000001.VPA"}));
  EXPECT_EQ(b.mem.FileBytes(kOutbox + "00000001.VPA"), kByteVPA);
  EXPECT_EQ(b.mem.FileBytes(kOutbox + "00000001.PRO"), kBytePRO);
  const Delivery c = b.Records().at(1);
  EXPECT_EQ(c.state, DeliveryState::kPrepared);
  EXPECT_EQ(c.store, kStore);
  EXPECT_EQ(c.Offer(), "101/2026");
  EXPECT_TRUE(c.system.SameAs(kSulvoSystem));
  EXPECT_TRUE(c.script);
  EXPECT_EQ(c.prepared_at, kNow);
  ASSERT_EQ(c.file.size(), 2u);
  EXPECT_EQ(c.file[0].kind, ImportKind::kPrices) << "in the order they were opened";
  EXPECT_EQ(c.file[1].kind, ImportKind::kPromotions);
  for (const DeliveryFile& f : c.file) {
    EXPECT_TRUE(f.name.empty());
    EXPECT_FALSE(f.placed);
  }
  EXPECT_FALSE(c.script_started);
  EXPECT_TRUE(b.outbox.Pending(kStore).empty()) << "not owed before the commit";

  b.outbox.Confirm(kStore, 101, 2026);
  EXPECT_EQ(b.Records().at(1).state, DeliveryState::kConfirmed);
  EXPECT_EQ(b.outbox.Pending(kStore).size(), 1u);

  // Numbers go on, also for a program started again on the same outbox.
  b.StartDelivery(102, kSulvoSystem, kTwoLines);
  Outbox riavviate(b.env, kOutbox);
  riavviate.StartDelivery(kStore, 103, 2026, kSulvoSystem)->Close(false);
  EXPECT_EQ(b.Records().at(2).offer, 102);
  EXPECT_EQ(b.Records().at(3).offer, 103);
}

TEST(OutboxTest, APreparazioneThatFailsAnywhereOrIsDroppedLeavesNothing) {
  Workbench b;
  b.PrepareOne(100, kSulvoSystem, kTwoLines);
  const std::vector<std::string> prima = b.mem.FindFiles(kOutbox + "*.*");
  // 0: the offer failed elsewhere and the DeliveryPreparation goes without Close.
  for (int guasto = 0;; ++guasto) {
    SCOPED_TRACE(guasto);
    ASSERT_LT(guasto, 200);
    b.env.FailAt(guasto);
    try {
      const std::unique_ptr<DeliveryPreparation> p =
          b.outbox.StartDelivery(kStore, 101, 2026, kSulvoSystem);
      for (const auto& [kind, line] : kTwoLines) {
        p->Write(kind, line);
      }
      if (guasto > 0) {
        p->Close(true);
      }
    } catch (const FileError&) {
      EXPECT_TRUE(b.env.hit());
    }
    const bool hit = b.env.hit();
    b.env.FailAt(0);
    if (guasto > 0 && !hit) {
      EXPECT_EQ(b.Records().size(), 2u) << "without a failure the delivery is recorded";
      break;
    }
    EXPECT_EQ(b.mem.FindFiles(kOutbox + "*.*"), prima);
  }
}

TEST(OutboxTest, ScartaDropsOnlyTheUnconfirmedDeliveriesOfThatOfferAndConfermaConfirmsThem) {
  Workbench b;
  const LabelSystem esl = OneFileSystem("C:\\esl\\", "ESL");
  b.PrepareOne(101, kSulvoSystem, kTwoLines);               // 1: committed earlier
  b.StartDelivery(101, kSulvoSystem, kTwoLines);            // 2
  b.StartDelivery(101, esl, {{ImportKind::kSingle, "x"}});  // 3
  b.StartDelivery(101, kSulvoSystem, kTwoLines, "c:\\NEGOZI\\Negozio1.MDB");  // 4: the same store
  b.StartDelivery(102, kSulvoSystem, kTwoLines);                              // 5
  b.StartDelivery(101, kSulvoSystem, kTwoLines, kStore, 2025);                // 6
  b.StartDelivery(101, kSulvoSystem, kTwoLines, kOtherStore);                 // 7

  b.outbox.Discard(kStore, 101, 2026);
  std::map<std::uint64_t, Delivery> registri = b.Records();
  std::set<std::uint64_t> rimasti;
  for (const auto& [numero, c] : registri) {
    rimasti.insert(numero);
  }
  EXPECT_EQ(rimasti, (std::set<std::uint64_t>{1, 5, 6, 7}));
  for (const char* scartato : {"00000002.*", "00000003.*", "00000004.*"}) {
    EXPECT_TRUE(b.mem.FindFiles(kOutbox + scartato).empty()) << scartato;
  }
  for (const char* tenuto : {"00000001.*", "00000005.*", "00000006.*", "00000007.*"}) {
    EXPECT_EQ(b.mem.FindFiles(kOutbox + tenuto).size(), 3u) << tenuto;
  }

  b.outbox.Confirm(kStore, 102, 2026);
  registri = b.Records();
  EXPECT_EQ(registri.at(5).state, DeliveryState::kConfirmed);
  EXPECT_EQ(registri.at(6).state, DeliveryState::kPrepared);
  EXPECT_EQ(registri.at(7).state, DeliveryState::kPrepared);
  EXPECT_EQ(registri.at(1).state, DeliveryState::kConfirmed);
}

TEST(OutboxTest, RisolviAsksOncePerOfferAndConfirmsDropsOrKeepsAsTheDatabaseSays) {
  Workbench b;
  const LabelSystem esl = OneFileSystem("C:\\esl\\", "ESL");
  b.StartDelivery(201, kSulvoSystem, kTwoLines);               // 1: deactivated
  b.StartDelivery(201, esl, {{ImportKind::kSingle, "x"}});     // 2: the same offer, another system
  b.StartDelivery(202, kSulvoSystem, kTwoLines);               // 3: not deactivated
  b.StartDelivery(203, kSulvoSystem, kTwoLines);               // 4: the database cannot tell
  b.StartDelivery(204, kSulvoSystem, kTwoLines, kOtherStore);  // 5: another store's
  b.PrepareOne(205, kSulvoSystem, kTwoLines);                  // 6: committed

  const std::map<std::int32_t, std::optional<bool>> risposte = {
      {201, true}, {202, false}, {203, std::nullopt}};
  std::vector<std::int32_t> domande;
  const OfferDeactivated disattivata = [&](std::int32_t offer, std::int32_t anno) {
    EXPECT_EQ(anno, 2026);
    domande.push_back(offer);
    return risposte.at(offer);
  };
  b.outbox.Settle(kStore, disattivata);
  std::sort(domande.begin(), domande.end());
  EXPECT_EQ(domande, (std::vector<std::int32_t>{201, 202, 203}));
  std::map<std::uint64_t, Delivery> registri = b.Records();
  EXPECT_EQ(registri.at(1).state, DeliveryState::kConfirmed);
  EXPECT_EQ(registri.at(2).state, DeliveryState::kConfirmed);
  EXPECT_FALSE(registri.contains(3));
  EXPECT_TRUE(b.mem.FindFiles(kOutbox + "00000003.*").empty());
  EXPECT_EQ(registri.at(4).state, DeliveryState::kPrepared);
  EXPECT_EQ(registri.at(5).state, DeliveryState::kPrepared);
  EXPECT_EQ(registri.at(6).state, DeliveryState::kConfirmed);
  EXPECT_EQ(b.mem.FindFiles(kOutbox + "00000001.*").size(), 3u);

  domande.clear();
  b.outbox.Settle(kStore, disattivata);
  EXPECT_EQ(domande, std::vector<std::int32_t>{203}) << "only what is still unsettled";
}

TEST(OutboxTest, TheFirstRisolviRemovesWhatACrashLeftHalfMadeAndNothingElse) {
  Workbench b;
  b.StartDelivery(101, kSulvoSystem, kTwoLines);            // 1
  b.PrepareOne(102, kSulvoSystem, kTwoLines, kOtherStore);  // 2
  const std::vector<std::string> tenuti_prima = b.mem.FindFiles(kOutbox + "*.*");
  b.mem.PutFile(kOutbox + "ultimo_timbro.txt", "20261207114930");
  b.mem.PutFile(kOutbox + "leggimi.txt", "appunti");
  b.mem.PutFile(kOutbox + "00000008.consegna", "illeggibile");  // its data stays with it
  b.mem.PutFile(kOutbox + "00000008.UNI", "x");
  b.mem.PutFile(kOutbox + "~zav5-4711-3.tmp", "mezzo");
  b.mem.PutFile(kOutbox + "~zav5-4711-4.tmp", "");
  b.mem.PutFile(kOutbox + "00000009.VPA", "senza registro");
  b.mem.PutFile(kOutbox + "00000009.PRO", "senza registro");
  b.mem.PutFile(kOutbox + "00000003.UNI", "senza registro");

  b.outbox.Settle(kStore, [](std::int32_t, std::int32_t) { return std::nullopt; });
  std::vector<std::string> attesi = tenuti_prima;
  attesi.insert(attesi.end(),
                {"00000008.consegna", "00000008.UNI", "leggimi.txt", "ultimo_timbro.txt"});
  std::sort(attesi.begin(), attesi.end(), [](const std::string& x, const std::string& y) {
    return platform::FoldCase(x) < platform::FoldCase(y);
  });
  EXPECT_EQ(b.mem.FindFiles(kOutbox + "*.*"), attesi);

  // Later calls leave alone the files of an offer being prepared.
  const std::unique_ptr<DeliveryPreparation> p =
      b.outbox.StartDelivery(kStore, 103, 2026, kSulvoSystem);
  p->Write(ImportKind::kPrices, "1001");
  b.outbox.Settle(kStore, [](std::int32_t, std::int32_t) { return std::nullopt; });
  p->Close(true);
  EXPECT_EQ(b.mem.FileBytes(kOutbox + "00000003.VPA"), "1001\r\n");
}

// --- Hand-over -----------------------------------------------------------------------------------

TEST(OutboxTest, TheCleanUpRemovesOldImportFilesButNotThoseItPlacedThatAreStillThere) {
  Workbench b;
  b.active = {kSulvoSystem};
  b.PrepareOne(101, kSulvoSystem, kTwoLines);
  b.env.FailOn("Import_PRO");  // the price file goes, the promotion file cannot
  b.HandOverAll();
  b.env.FailOn("");
  const Delivery meta = b.Records().at(1);
  ASSERT_TRUE(meta.file[0].placed);
  ASSERT_FALSE(meta.file[1].placed);
  EXPECT_EQ(b.ScriptStarts(), 0u) << "no script for half the files";
  b.mem.PutFile("C:\\sulvo\\import_vecchio.txt", "x");
  b.mem.PutFile("C:\\sulvo\\IMPORT_PRO_20200101000000.TXT", "x");
  b.mem.PutFile("C:\\sulvo\\Import.dat", "x");
  b.mem.PutFile("C:\\sulvo\\altro.txt", "x");
  b.mem.PutFile("C:\\sulvo\\vecchio_import.txt", "x");
  b.mem.PutFile("C:\\sulvo\\esl\\import_x.txt", "x");

  b.HandOverAll();
  const std::vector<std::string> posti = b.PlacedFiles(1);
  EXPECT_EQ(posti[0], meta.file[0].name);
  EXPECT_EQ(b.mem.FileBytes(posti[0]), kByteVPA);
  EXPECT_EQ(b.mem.FileBytes(posti[1]), kBytePRO);
  std::vector<std::string> attesi = {"altro.txt",        "comandoP.bat",     "frontalini.bat",
                                     NameOnly(posti[1]), NameOnly(posti[0]), "vecchio_import.txt"};
  EXPECT_EQ(b.mem.FindFiles("C:\\sulvo\\*.*"), attesi);
  EXPECT_TRUE(b.mem.FileBytes("C:\\sulvo\\esl\\import_x.txt")) << "only the folder itself";
  EXPECT_EQ(b.ScriptStarts(), 1u);
}

TEST(OutboxTest, TheStampIsNowOrOneSecondAfterTheLastOneAlsoForANewProgramAndABackwardClock) {
  Workbench b;
  b.active = {kSulvoSystem};
  std::vector<std::unique_ptr<Outbox>> programmi;
  struct Step {
    const char* caso;
    platform::LocalTime adesso;
    bool riavvio;  // a new Outbox on the same outbox, as after a restart
    platform::LocalTime timbro;
  };
  const Step passi[] = {
      {"now", kNow, false, kNow},
      {"the same second, in a new program", kNow, true, kNow + 1s},
      {"the clock went back an hour", kNow - 1h, false, kNow + 2s},
      {"the clock is ahead again", kNow + 1h, true, kNow + 1h},
  };
  Outbox* outbox = &b.outbox;
  std::int32_t offer = 100;
  for (const Step& row_step : passi) {
    SCOPED_TRACE(row_step.caso);
    b.mem.SetNow(row_step.adesso);
    if (row_step.riavvio) {
      programmi.push_back(std::make_unique<Outbox>(b.env, kOutbox));
      outbox = programmi.back().get();
    }
    const std::unique_ptr<DeliveryPreparation> p =
        outbox->StartDelivery(kStore, ++offer, 2026, kSulvoSystem);
    p->Write(ImportKind::kPrices, "1001");
    p->Close(true);
    outbox->Confirm(kStore, offer, 2026);
    b.HandOverAll(outbox);
    EXPECT_EQ(
        b.mem.FindFiles("C:\\sulvo\\Import*.*"),
        std::vector<std::string>{NameOnly(PriceFileName(kSulvoSystem.folder, row_step.timbro))});
    b.ScriptTakes("C:\\sulvo\\Import*.*");
    b.HandOverAll(outbox);
    EXPECT_TRUE(b.Records().empty());
  }
  EXPECT_EQ(b.ErrorLines(), 0);
}

TEST(OutboxTest, ASecondWhoseNameIsTakenInTheFolderOrOnDriveZIsSkipped) {
  const LabelSystem esl = OneFileSystem("C:\\esl\\", "ESL");
  struct Caso {
    const char* caso;
    LabelSystem system;
    bool indietro;  // a delivery at kNow first, then the clock goes back an hour
    std::vector<std::string> presi;
    platform::LocalTime timbro;
  };
  const Caso casi[] = {
      {"in the folder",
       esl,
       false,
       {SingleFileName(esl.folder, "ESL", kNow), SingleFileName(esl.folder, "ESL", kNow + 1s)},
       kNow + 2s},
      {"on Z:, the price file",
       kSulvoSystem,
       false,
       {"Z:\\Import_VPA_20261207114930.txt"},
       kNow + 1s},
      {"on Z:, the promotion file",
       kSulvoSystem,
       false,
       {"Z:\\Import_PRO_20261207114930.txt"},
       kNow + 1s},
      {"on Z:, one file", esl, false, {"Z:\\ESL20261207114930.txt"}, kNow + 1s},
      {"on Z:, after the clock went back",
       kSulvoSystem,
       true,
       {"Z:\\Import_PRO_20261207114931.txt"},
       kNow + 2s},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.caso);
    Workbench b;
    b.mem.MakeFolder(caso.system.folder);
    b.active = {caso.system};
    const QueryRows lines = LinesOf(caso.system);
    std::int32_t offer = 100;
    if (caso.indietro) {
      b.PrepareOne(++offer, caso.system, lines);
      b.HandOverAll();
      b.ScriptTakes(LabelFolderIn(caso.system) + "*.txt");
      b.mem.SetNow(kNow - 1h);
    }
    for (const std::string& preso : caso.presi) {
      b.mem.PutFile(preso, "altrui");
    }
    b.PrepareOne(++offer, caso.system, lines);
    b.HandOverAll();
    const std::vector<std::string> posti = b.PlacedFiles(b.Records().rbegin()->first);
    ASSERT_FALSE(posti.empty());
    for (const std::string& placed : posti) {
      EXPECT_EQ(StampOf(placed), FileStamp(caso.timbro)) << placed;
    }
    for (const std::string& preso : caso.presi) {
      EXPECT_EQ(b.mem.FileBytes(preso), "altrui");
    }
  }
}

TEST(OutboxTest, FilesArriveWithTheirBytesByRenameOnOneDiskAndByCopyOnAnother) {
  for (const LabelSystem& system :
       {kSulvoSystem, TwoFileSystem("D:\\sulvo\\"), TwoFileSystem("\\\\server\\etichette"),
        OneFileSystem("D:\\esl\\", "ESL")}) {
    SCOPED_TRACE(system.folder);
    Workbench b;
    const std::string folder = LabelFolderIn(system);
    b.mem.MakeFolder(folder);
    b.env.Watch(folder + "*.txt");
    b.active = {system};
    const bool unico = system.layout == FileLayout::kOneFile;
    b.PrepareOne(101, system,
                 unico ? QueryRows{{ImportKind::kSingle, kTwoLines[0].second}} : kTwoLines);
    b.HandOverAll();

    const std::vector<std::string> posti = b.PlacedFiles(1);
    ASSERT_EQ(posti.size(), unico ? 1u : 2u);
    EXPECT_EQ(b.mem.FileBytes(posti[0]),
              unico ? std::string(kByteVPA.substr(0, kByteVPA.find('\n') + 1)) : kByteVPA);
    if (!unico) {
      EXPECT_EQ(b.mem.FileBytes(posti[1]), kBytePRO);
    }
    EXPECT_EQ(b.mem.FindFiles(folder + "*.txt").size(), posti.size());
    EXPECT_TRUE(b.mem.FindFiles(folder + "~zav5*.tmp").empty());
    EXPECT_EQ(b.mem.FindFiles(kOutbox + "*.*"),
              (std::vector<std::string>{"00000001.consegna", "ultimo_timbro.txt"}))
        << "only the record of the files that wait for the script";
    ASSERT_EQ(b.env.at_start().size(), 1u);
    EXPECT_EQ(b.env.at_start()[0].size(), posti.size()) << "started on every file";

    b.ScriptTakes(folder + "*.txt");
    b.HandOverAll();
    EXPECT_EQ(b.mem.FindFiles(kOutbox + "*.*"), std::vector<std::string>{"ultimo_timbro.txt"});
    EXPECT_EQ(b.ScriptStarts(), 1u);
    EXPECT_TRUE(b.RunLogLines().empty()) << "nothing to report, nothing caught up";
  }
}

TEST(OutboxTest, ANameTakenMeanwhileByAnotherFileIsNeverReplaced) {
  struct Caso {
    const char* folder;
    bool stessi_byte;  // a copy of these very files made before a crash
  };
  for (const Caso caso : {Caso{"C:\\etichette\\", false}, Caso{"D:\\etichette\\", false},
                          Caso{"C:\\etichette\\", true}, Caso{"D:\\etichette\\", true}}) {
    SCOPED_TRACE(std::string(caso.folder) + (caso.stessi_byte ? ", same bytes" : ""));
    Workbench b;
    const LabelSystem system = TwoFileSystem(caso.folder);
    b.active = {system};
    b.PrepareOne(101, system, {{ImportKind::kPrices, "nostro"}});
    b.HandOverAll();  // the folder is missing: named, not placed
    const std::string name = b.Records().at(1).file.at(0).name;
    ASSERT_EQ(name, PriceFileName(caso.folder, kNow));
    b.mem.PutFile(name, caso.stessi_byte ? "nostro\r\n" : "altrui\r\n");

    b.HandOverAll();
    EXPECT_TRUE(b.outbox.Pending(kStore).empty());
    if (caso.stessi_byte) {
      EXPECT_EQ(b.PlacedFiles(1), std::vector<std::string>{name});
      EXPECT_EQ(b.mem.FindFiles(std::string(caso.folder) + "*.*").size(), 1u);
    } else {
      EXPECT_EQ(b.mem.FileBytes(name), "altrui\r\n");
      EXPECT_EQ(b.PlacedFiles(1), std::vector<std::string>{PriceFileName(caso.folder, kNow + 1s)});
      EXPECT_EQ(b.mem.FileBytes(b.PlacedFiles(1)[0]), "nostro\r\n");
      EXPECT_EQ(b.mem.FindFiles(std::string(caso.folder) + "*.*").size(), 2u)
          << "no temporary file stays";
    }
    EXPECT_TRUE(b.mem.FindFiles(kOutbox + "*.VPA").empty());
    EXPECT_EQ(b.ScriptStarts(), 1u);
  }
}

TEST(OutboxTest, AFailureAtAnyStepOfTheHandOverIsMadeGoodAndTheScriptOnlySeesWholeSets) {
  for (const char* folder : {"C:\\sulvo\\", "D:\\sulvo\\"}) {
    const LabelSystem system = TwoFileSystem(folder);
    for (int guasto = 1;; ++guasto) {
      SCOPED_TRACE(std::string(folder) + ", failure at step " + std::to_string(guasto));
      ASSERT_LT(guasto, 300);
      Workbench b;
      b.mem.MakeFolder(folder);
      b.env.Watch(std::string(folder) + "Import*.*");
      b.active = {system};
      b.PrepareOne(101, system, kTwoLines);
      b.env.FailAt(guasto);
      b.HandOverAll();
      const bool hit = b.env.hit();
      b.env.FailAt(0);
      for (int volta = 0; volta < 3 && !b.outbox.Pending(kStore).empty(); ++volta) {
        b.HandOverAll();
      }

      EXPECT_TRUE(b.outbox.Pending(kStore).empty());
      const std::vector<std::string> arrivati = b.mem.FindFiles(std::string(folder) + "Import*.*");
      EXPECT_TRUE(b.mem.FindFiles(std::string(folder) + "~zav5*.tmp").empty());
      ASSERT_EQ(arrivati.size(), 2u) << testing::PrintToString(arrivati);
      EXPECT_TRUE(arrivati[0].starts_with("Import_PRO_")) << arrivati[0];
      EXPECT_TRUE(arrivati[1].starts_with("Import_VPA_")) << arrivati[1];
      EXPECT_EQ(b.mem.FileBytes(folder + arrivati[0]), kBytePRO);
      EXPECT_EQ(b.mem.FileBytes(folder + arrivati[1]), kByteVPA);
      ASSERT_FALSE(b.env.at_start().empty());
      for (const std::vector<std::string>& presenti : b.env.at_start()) {
        EXPECT_EQ(presenti, arrivati);
      }

      b.ScriptTakes(std::string(folder) + "Import*.*");
      b.HandOverAll();
      EXPECT_EQ(b.mem.FindFiles(kOutbox + "*.*"), std::vector<std::string>{"ultimo_timbro.txt"});
      if (!hit) {
        break;
      }
    }
  }
}

TEST(OutboxTest, WaitingFilesHoldBackTheirFolderOnlyAndAreReportedAndRestartedOncePerWait) {
  struct Caso {
    const char* caso;
    LabelSystem attesa;  // offer 101, whose files the script does not take
    LabelSystem stessa;  // offer 102, whose files land in the same folder
    LabelSystem altra;   // offer 103, in another folder
  };
  const Caso casi[] = {
      {"one system", kSulvoSystem, kSulvoSystem, TwoFileSystem("C:\\etichette\\")},
      {"the folder written two ways", TwoFileSystem("C:\\sulvo"), TwoFileSystem("c:\\SULVO\\"),
       TwoFileSystem("C:\\etichette")},
      {"one file", OneFileSystem("C:\\esl\\", "ESL"), OneFileSystem("C:\\ESL\\", "ALT"),
       TwoFileSystem("C:\\sulvo")},
  };
  constexpr std::chrono::seconds kAttesa = Outbox::kScriptTimeout;
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.caso);
    Workbench b;
    b.active = {caso.attesa, caso.stessa, caso.altra};
    for (const LabelSystem& system : b.active) {
      b.mem.MakeFolder(LabelFolderIn(system));
    }
    b.PrepareOne(101, caso.attesa, LinesOf(caso.attesa));
    b.HandOverAll();
    const std::vector<std::string> in_attesa = b.PlacedFiles(1);
    ASSERT_EQ(b.ScriptStarts(), 1u);

    b.PrepareOne(102, caso.stessa, LinesOf(caso.stessa));
    b.PrepareOne(103, caso.altra, LinesOf(caso.altra));
    b.HandOverAll();
    std::vector<Delivery> trattenute = b.outbox.Pending(kStore);
    ASSERT_EQ(trattenute.size(), 1u);
    EXPECT_EQ(trattenute[0].offer, 102);
    EXPECT_TRUE(trattenute[0].file[0].name.empty()) << "not even named";
    for (const std::string& name : in_attesa) {
      EXPECT_TRUE(b.mem.FileBytes(name)) << name << " is never cleaned up";
    }
    const std::vector<std::string> altrove = b.PlacedFiles(3);
    EXPECT_EQ(b.ScriptStarts(), 2u);
    for (const std::string& name : altrove) {
      b.ScriptTakes(name);
    }

    b.mem.Advance(kAttesa - 1s);
    b.HandOverAll();
    EXPECT_EQ(b.ErrorLines(), 0);
    EXPECT_EQ(b.ScriptStarts(), 2u);
    EXPECT_FALSE(b.Records().contains(3));

    // Too long: reported once, and the script started again at most once per wait.
    const std::string avviso_101 =
        "ERRORE : etichette dell'offerta 101/2026 non consegnate al sistema " +
        SystemName(caso.attesa);
    const std::string avviso_102 =
        "ERRORE : etichette dell'offerta 102/2026 non consegnate al sistema " +
        SystemName(caso.stessa);
    const std::pair<std::chrono::seconds, std::size_t> passi[] = {
        {1s, 3}, {kAttesa / 2, 3}, {kAttesa / 2 - 1s, 3}, {1s, 4}, {1s, 4}};
    for (const auto& [after, avvii] : passi) {
      b.mem.Advance(after);
      b.HandOverAll();
      EXPECT_EQ(b.ScriptStarts(), avvii);
    }
    EXPECT_EQ(b.LinesWith({avviso_101, "dopo l'avvio dello script"}), 1);
    EXPECT_EQ(b.LinesWith({avviso_102, "101/2026 sono ancora nella cartella"}), 1);
    EXPECT_EQ(b.ErrorLines(), 2);
    EXPECT_EQ(b.outbox.Pending(kStore).size(), 1u);

    // The script took the files at last.
    for (const std::string& name : in_attesa) {
      b.ScriptTakes(name);
    }
    b.HandOverAll();
    EXPECT_FALSE(b.Records().contains(1));
    const std::string today = startup::ShortDate(kNow) + "-";
    EXPECT_EQ(b.LinesWith({today, "- Etichette dell'offerta 101/2026 consegnate al sistema " +
                                      SystemName(caso.attesa) + ": " + in_attesa[0]}),
              1);
    const std::vector<std::string> after = b.PlacedFiles(2);
    EXPECT_GT(StampOf(after[0]), StampOf(in_attesa[0]));
    EXPECT_EQ(b.ScriptStarts(), 5u);
    EXPECT_EQ(b.LinesWith({today, "- Etichette dell'offerta 102/2026 consegnate"}), 1);
    EXPECT_TRUE(b.outbox.Pending(kStore).empty());
    EXPECT_EQ(b.ErrorLines(), 2);

    // A program started again counts the wait from its own start.
    Outbox riavviate(b.env, kOutbox);
    b.HandOverAll(&riavviate);
    b.mem.Advance(kAttesa - 1s);
    b.HandOverAll(&riavviate);
    EXPECT_EQ(b.ErrorLines(), 2);
    EXPECT_EQ(b.ScriptStarts(), 5u);
    b.mem.Advance(1s);
    b.HandOverAll(&riavviate);
    EXPECT_EQ(b.LinesWith({avviso_102, "dopo l'avvio dello script"}), 1);
    EXPECT_EQ(b.ScriptStarts(), 6u);
  }
}

TEST(OutboxTest, ADeliveryForASystemNoLongerActiveStaysWhereItIsAndIsReportedOnce) {
  const LabelSystem esl = OneFileSystem("C:\\esl\\", "ESL");
  struct Caso {
    const char* caso;
    LabelSystem system;
    std::vector<LabelSystem> active;
    bool consegnata;
  };
  const Caso casi[] = {
      {"no system active", kSulvoSystem, {}, false},
      {"another folder", kSulvoSystem, {TwoFileSystem("C:\\etichette\\")}, false},
      {"the folder without its last backslash", kSulvoSystem, {TwoFileSystem("C:\\sulvo")}, false},
      {"the layout changed", kSulvoSystem, {OneFileSystem("C:\\sulvo\\", "")}, false},
      {"the prefix changed", esl, {kSulvoSystem, OneFileSystem("C:\\esl\\", "ALT")}, false},
      {"letter case aside, the same folder", kSulvoSystem, {TwoFileSystem("c:\\SULVO\\")}, true},
      {"letter case aside, the same prefix",
       esl,
       {kSulvoSystem, OneFileSystem("c:\\ESL\\", "esl")},
       true},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.caso);
    Workbench b;
    b.mem.MakeFolder("C:\\esl");
    b.active = caso.active;
    b.PrepareOne(101, caso.system, LinesOf(caso.system));
    b.HandOverAll();
    if (caso.consegnata) {
      EXPECT_TRUE(b.outbox.Pending(kStore).empty());
      EXPECT_EQ(b.ScriptStarts(), 1u);
      continue;
    }
    for (int volta = 0; volta < 3; ++volta) {
      b.mem.Advance(Outbox::kScriptTimeout);
      b.HandOverAll();
    }
    EXPECT_EQ(b.outbox.Pending(kStore).size(), 1u);
    EXPECT_EQ(b.mem.FindFiles(kOutbox + "00000001.*").size(),
              caso.system.layout == FileLayout::kOneFile ? 2u : 3u)
        << "the record and its data";
    EXPECT_TRUE(b.mem.FindFiles(LabelFolderIn(caso.system) + "*.txt").empty());
    EXPECT_EQ(b.ScriptStarts(), 0u);
    EXPECT_EQ(b.LinesWith({"ERRORE : etichette dell'offerta 101/2026 non consegnate al sistema " +
                               SystemName(caso.system),
                           "non è più attivo", kOutbox}),
              1);
    EXPECT_EQ(b.ErrorLines(), 1);
  }

  // The active systems cannot be read: the deliveries that need them wait, each reported once.
  Workbench b;
  b.PrepareOne(101, kSulvoSystem, kTwoLines);
  b.PrepareOne(102, esl, LinesOf(esl));
  for (int volta = 0; volta < 3; ++volta) {
    b.outbox.HandOverAll(
        kStore,
        []() -> const std::vector<LabelSystem>& {
          throw DatabaseError("tabella elettro illeggibile");
        },
        b.log);
  }
  for (const char* offer : {"101/2026", "102/2026"}) {
    EXPECT_EQ(b.LinesWith({"ERRORE : ", offer, "impossibile leggere i sistemi",
                           "tabella elettro illeggibile"}),
              1)
        << offer;
  }
  EXPECT_EQ(b.ErrorLines(), 2);
  EXPECT_EQ(b.outbox.Pending(kStore).size(), 2u);
}

TEST(OutboxTest, AFailingLabelFolderIsReportedOnceAndLaterDeliveriesThereWaitBehindIt) {
  for (const char* folder : {"C:\\manca\\", "D:\\manca\\"}) {
    SCOPED_TRACE(folder);
    Workbench b;
    const LabelSystem manca = TwoFileSystem(folder);
    b.active = {manca, kSulvoSystem};
    b.PrepareOne(101, manca, kTwoLines);
    b.PrepareOne(102, manca, kTwoLines);
    b.PrepareOne(103, kSulvoSystem, kTwoLines);
    b.HandOverAll();
    EXPECT_EQ(b.ScriptStarts(), 1u) << "only the other folder's script";
    b.ScriptTakes("C:\\sulvo\\Import*.*");
    for (int volta = 0; volta < 3; ++volta) {
      b.mem.Advance(Outbox::kScriptTimeout);
      b.HandOverAll();
    }
    EXPECT_EQ(b.LinesWith({"ERRORE : etichette dell'offerta 101/2026 non consegnate al sistema " +
                               SystemName(manca) + ": ",
                           "manca", "non esiste",
                           "gli scaffali di quel sistema mostrano il prezzo promozionale mentre "
                           "le casse fanno pagare il prezzo normale"}),
              1);
    EXPECT_EQ(b.LinesWith({"ERRORE : etichette dell'offerta 102/2026 non consegnate al sistema " +
                               SystemName(manca) + ": aspetta le etichette dell'offerta 101/2026",
                           "gli scaffali"}),
              1);
    EXPECT_EQ(b.ErrorLines(), 2);
    EXPECT_EQ(b.ScriptStarts(), 1u);
    std::vector<Delivery> in_attesa = b.outbox.Pending(kStore);
    ASSERT_EQ(in_attesa.size(), 2u);
    EXPECT_EQ(in_attesa[0].offer, 101);
    EXPECT_EQ(in_attesa[1].offer, 102);
    EXPECT_TRUE(in_attesa[1].file[0].name.empty()) << "never named ahead of 101";

    b.mem.MakeFolder(folder);
    b.HandOverAll();
    const std::vector<std::string> primi = b.PlacedFiles(1);
    EXPECT_EQ(b.LinesWith({"- Etichette dell'offerta 101/2026 consegnate"}), 1);
    in_attesa = b.outbox.Pending(kStore);
    ASSERT_EQ(in_attesa.size(), 1u);
    EXPECT_EQ(in_attesa[0].offer, 102) << "behind 101's files, which wait for the script";
    EXPECT_EQ(b.ScriptStarts(), 2u);

    b.ScriptTakes(std::string(folder) + "Import*.*");
    b.HandOverAll();
    const std::vector<std::string> secondi = b.PlacedFiles(2);
    EXPECT_GT(StampOf(secondi[0]), StampOf(primi[0]));
    EXPECT_EQ(b.LinesWith({"- Etichette dell'offerta 102/2026 consegnate"}), 1);
    EXPECT_EQ(b.ScriptStarts(), 3u);
    EXPECT_EQ(b.ErrorLines(), 2);
  }
}

TEST(OutboxTest, InAttesaAndSegnalaInAttesaGiveTheConfirmedDeliveriesNotHandedOver) {
  Workbench b;
  const LabelSystem manca = TwoFileSystem("C:\\manca\\");
  b.active = {manca, kSulvoSystem};
  b.PrepareOne(101, manca, kTwoLines);            // its folder is missing
  b.StartDelivery(102, kSulvoSystem, kTwoLines);  // not committed
  b.PrepareOne(103, kSulvoSystem, kTwoLines);     // handed over, waiting for its script
  b.mem.Advance(1h);
  b.PrepareOne(104, manca, kTwoLines);               // behind 101
  b.PrepareOne(105, manca, kTwoLines, kOtherStore);  // another store's
  b.HandOverAll();

  std::vector<std::int32_t> offerte;
  for (const Delivery& c : b.outbox.Pending("c:\\NEGOZI\\NEGOZIO1.MDB")) {
    offerte.push_back(c.offer);
  }
  EXPECT_EQ(offerte, (std::vector<std::int32_t>{101, 104}));

  const std::size_t prima = b.RunLogLines().size();
  b.outbox.ReportPending(kStore, b.log);
  const std::vector<std::string> lines = b.RunLogLines();
  ASSERT_EQ(lines.size(), prima + 2);
  const std::string system = " per il sistema " + SystemName(manca) + ": i file sono in " + kOutbox;
  EXPECT_TRUE(lines[prima].starts_with(
      "ERRORE : etichette dell'offerta 101/2026 in attesa dal 07/12/2026 11:49:30" + system))
      << lines[prima];
  EXPECT_TRUE(lines[prima + 1].starts_with(
      "ERRORE : etichette dell'offerta 104/2026 in attesa dal 07/12/2026 12:49:30" + system))
      << lines[prima + 1];
  for (const std::string& line : {lines[prima], lines[prima + 1]}) {
    EXPECT_NE(line.find("gli scaffali"), std::string::npos) << line;
  }

  b.outbox.ReportPending(kOtherStore, b.log);
  EXPECT_EQ(b.RunLogLines().size(), prima + 3);
  EXPECT_EQ(b.LinesWith({"ERRORE : etichette dell'offerta 105/2026 in attesa"}), 1);
}

TEST(OutboxTest, AnUnreadableRecordIsReportedOnceAndHoldsNothingElseBack) {
  Workbench b;
  b.active = {kSulvoSystem};
  b.mem.MakeFolder(kOutbox);
  b.mem.PutFile(kOutbox + "00000001.consegna", "zav5 consegna 1\nnumero=1\n");
  b.PrepareOne(102, kSulvoSystem, kTwoLines);
  b.HandOverAll();
  b.HandOverAll();
  EXPECT_EQ(b.LinesWith({"ERRORE : il registro di consegna " + kOutbox + "00000001.consegna",
                         "manca il campo"}),
            1);
  EXPECT_EQ(b.ErrorLines(), 1);
  EXPECT_TRUE(b.outbox.Pending(kStore).empty());
  EXPECT_EQ(b.mem.FindFiles("C:\\sulvo\\Import*.*").size(), 2u);
  EXPECT_TRUE(b.mem.FileBytes(kOutbox + "00000001.consegna")) << "left for an operator";
}

TEST(OutboxTest, AnOfferWithoutRowsOnlyCleansTheFolderAndOneWithoutLinesAlsoStartsTheScript) {
  for (const bool lines : {false, true}) {
    SCOPED_TRACE(lines ? "rows without lines" : "no rows");
    Workbench b;
    b.active = {kSulvoSystem};
    b.mem.PutFile("C:\\sulvo\\Import_VPA_20200101000000.txt", "vecchio");
    b.outbox.StartDelivery(kStore, 101, 2026, kSulvoSystem)->Close(lines);
    b.outbox.Confirm(kStore, 101, 2026);
    b.HandOverAll();
    EXPECT_TRUE(b.mem.FindFiles("C:\\sulvo\\Import*.*").empty());
    EXPECT_EQ(b.mem.started_scripts(), lines ? std::vector<std::string>{std::string(kCopyScript)}
                                             : std::vector<std::string>{});
    EXPECT_TRUE(b.mem.FindFiles(kOutbox + "*.consegna").empty());
    EXPECT_TRUE(b.outbox.Pending(kStore).empty());
    EXPECT_EQ(b.ErrorLines(), 0);
  }
}

}  // namespace
}  // namespace zav5::labels
