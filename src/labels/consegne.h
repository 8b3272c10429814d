// The outbox of the label files. An offer's import files are made inside the offer's transaction,
// into a folder that only this program reads; they reach the label systems only after the commit,
// whole, under names never used before, and never for work that was rolled back.
//
// A delivery (consegna.h) goes through these states, each one recorded on the disk before the next
// step, so that a crash at any moment leaves a state the next run can finish:
//
//   prepared   its files are in the outbox, flushed; the transaction has not committed (yet).
//              The next run asks the store database whether the offer is deactivated: if so the
//              delivery is owed, otherwise it is dropped.
//   confirmed  the transaction committed. Hand-over: the label folder is cleaned of old import
//              files, a time stamp is chosen and recorded, each file is moved into the label folder
//              under its final name and recorded as placed, the layout's script is started and
//              recorded as started.
//   waiting    handed over, but the files are still in the label folder: the script has not taken
//              them yet. The folder gets no new files meanwhile, the clean-up leaves these alone,
//              and the script is started again when they stay too long.
//   done       the files have left the label folder (or no script was owed): the record goes.
//
// Placing a file is a rename when the outbox and the label folder are on one disk: exactly once.
// Across disks it is a copy (under a temporary name, flushed, then renamed) after which the
// outbox's copy is deleted: at least once, with the same bytes, when a crash falls between the two.
// Starting a script is at least once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "labels/consegna.h"
#include "labels/sistema_etichette.h"
#include "platform/env.h"
#include "platform/line_writer.h"
#include "startup/run_log.h"

namespace zav5::labels {

// The outbox of the program running on drive `unita`, beside its company database:
// "X:\dorn\zav5\consegne\".
std::string CartellaConsegne(char unita);

class Consegne;

// The import files of one offer for one label system while the offer's transaction makes them.
// Each file is written under a temporary name in the outbox; Chiudi makes them durable and records
// the delivery as prepared. Destroyed without Chiudi (the offer failed), it leaves nothing behind.
class Preparazione {
 public:
  ~Preparazione();
  Preparazione(const Preparazione&) = delete;
  Preparazione& operator=(const Preparazione&) = delete;

  // Adds a line to the file of `tipo`, creating the file at its first line. Throws FileError
  // when the outbox cannot be written (a full disk).
  void Scrivi(TipoImport tipo, std::string_view riga);

  // Flushes and syncs every file, gives each its name in the outbox and records the delivery as
  // prepared. `script`: the offer had rows (see Consegna::script). Throws FileError.
  // REQUIRES: called once
  void Chiudi(bool script);

 private:
  friend class Consegne;
  struct File {
    TipoImport tipo;
    platform::TemporaryFile temporaneo;
    std::unique_ptr<platform::LineWriter> righe;
  };
  Preparazione(Consegne& consegne, Consegna consegna);

  Consegne& consegne_;
  Consegna consegna_;
  std::vector<File> file_;
  std::vector<std::string> scritti_;  // paths in the outbox made so far, removed on failure
  bool chiusa_ = false;
};

// Asks the store database whether offer `offerta`/`anno` is deactivated ("D"): true or false, or
// nothing when the database cannot tell now.
using OffertaDisattivata =
    std::function<std::optional<bool>(std::int32_t offerta, std::int32_t anno)>;

// The label systems active now, read from the store database. Throws Errore.
using SistemiDaServire = std::function<const std::vector<SistemaEtichette>&()>;

class Consegne {
 public:
  // Files that a script has not taken this long after it was started count as not delivered: the
  // run log says so, and the script is started again as often.
  static constexpr std::chrono::seconds kAttesaScript{60};

  // `cartella`: the outbox folder, a Windows path ending in a backslash. It is created when the
  // first delivery is prepared.
  Consegne(platform::Env& env, std::string cartella);

  const std::string& Cartella() const { return cartella_; }

  // --- Inside the offer's transaction.

  // Drops the deliveries of the offer that are prepared and not confirmed: an earlier attempt that
  // did not commit must never reach a label system beside this one.
  void Scarta(std::string_view negozio, std::int32_t offerta, std::int32_t anno);

  // Starts the files of the offer for `sistema`. Throws FileError when the outbox cannot be made.
  std::unique_ptr<Preparazione> Prepara(std::string_view negozio, std::int32_t offerta,
                                        std::int32_t anno, const SistemaEtichette& sistema);

  // --- After the transaction.

  // The prepared deliveries of the offer are owed: the transaction committed.
  void Conferma(std::string_view negozio, std::int32_t offerta, std::int32_t anno);

  // Settles the prepared deliveries of `negozio` left by a crash or by a commit whose outcome was
  // not known, asking `disattivata`: confirmed when the offer is deactivated, dropped when it is
  // not, kept when the database cannot tell. The first call of a run also removes what a crash
  // left half made in the outbox. Never throws: an outbox that cannot be read is retried later.
  void Risolvi(std::string_view negozio, const OffertaDisattivata& disattivata);

  // Hands over the confirmed deliveries of `negozio` to the label systems active now, which
  // `attivi` reads when a delivery needs them (once; a failure to read them is a failure of the
  // deliveries that needed them), oldest first, and settles those handed over earlier whose files
  // have gone. A delivery for a system that is no longer active, or whose folder or layout
  // changed, stays where it is.
  // The failure of one label system is written to `log` once ("ERRORE : ...") and does not stop
  // the others; the delivery is tried again at the next call. A delivery that catches up after a
  // failure gets a dated "- " line. Never throws.
  void ConsegnaTutte(std::string_view negozio, const SistemiDaServire& attivi,
                     startup::RunLog& log);

  // The confirmed deliveries of `negozio` not yet handed over, oldest first.
  std::vector<Consegna> InAttesa(std::string_view negozio);

  // A confirmed delivery that is not done: not handed over yet, or handed over with its files
  // still in the label folder (`nella_cartella`: the script has not taken them).
  struct Aperta {
    Consegna consegna;
    bool nella_cartella = false;
  };
  // The confirmed deliveries of `negozio` that are not done, oldest first. The records that cannot
  // be read (of any store: their store is not known) go to `illeggibili` as "path: reason", when
  // given. Changes nothing, also on the disk: for whoever checks on the store while the program
  // runs.
  std::vector<Aperta> Aperte(std::string_view negozio,
                             std::vector<std::string>* illeggibili = nullptr);

  // The Windows path in the outbox of the file of `tipo` that `consegna` prepared.
  std::string DataFilePath(const Consegna& consegna, TipoImport tipo) const;

  // One "ERRORE" line in `log` for each delivery of `negozio` that waits: for the run log's
  // start-up, so that waiting files are reported at every start until they go out or an operator
  // removes them.
  void SegnalaInAttesa(std::string_view negozio, startup::RunLog& log);

 private:
  friend class Preparazione;

  // What the program remembers of a delivery during a run.
  struct Memoria {
    std::string segnalata;  // the reason last written to the run log; empty: none
    std::optional<platform::SteadyTime> avviata;  // when its script was last started
  };

  std::string Percorso(std::uint64_t numero, std::string_view estensione) const;
  std::uint64_t NuovoNumero();
  // Every record of the outbox, oldest first; those that cannot be read are reported once to
  // `log` (when given), listed in `illeggibili` (when given) and left out.
  std::vector<Consegna> Leggi(startup::RunLog* log,
                              std::vector<std::string>* illeggibili = nullptr);
  // Replaces the outbox's file `percorso` with `byte` durably: a temporary file, synced, then
  // renamed; the temporary file goes when a step fails.
  void Scrivi(const std::string& percorso, std::string_view byte);
  // Writes the record durably.
  void Salva(const Consegna& consegna);
  // Removes the record and the files of the delivery still in the outbox.
  void Elimina(const Consegna& consegna);
  void PulisciAvanzi();

  // Hand-over steps; each throws Errore (FileError) with the reason.
  void ConsegnaUna(Consegna& consegna, const std::vector<Consegna>& tutte, startup::RunLog& log);
  void PulisciCartella(const Consegna& consegna, const std::vector<Consegna>& tutte);
  void Timbra(Consegna& consegna);
  void Posa(Consegna& consegna, FileConsegna& file);
  bool AvviaScript(const Consegna& consegna);

  // The files of `consegna` still in its label folder.
  std::vector<std::string> FileRimasti(const Consegna& consegna);
  void Segnala(const Consegna& consegna, const std::string& motivo, startup::RunLog& log);
  void Recuperata(const Consegna& consegna, startup::RunLog& log);

  platform::Env& env_;
  std::string cartella_;
  std::optional<std::uint64_t> ultimo_numero_;
  bool avanzi_puliti_ = false;
  std::map<std::uint64_t, Memoria> memoria_;
  std::set<std::string> illeggibili_;  // records already reported as unreadable
};

}  // namespace zav5::labels
