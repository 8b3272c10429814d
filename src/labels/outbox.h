// The outbox of the label files. An offer's import files are made inside the offer's transaction,
// into a folder that only this program reads; they reach the label systems only after the commit,
// whole, under names never used before, and never for work that was rolled back.
//
// A delivery (delivery.h) goes through these states, each one recorded on the disk before the next
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

#include "labels/delivery.h"
#include "labels/label_system.h"
#include "platform/env.h"
#include "platform/line_writer.h"
#include "startup/run_log.h"

namespace zav5::labels {

// The outbox of the program running on drive `drive`, beside its company database:
// "X:\dorn\zav5\consegne\".
std::string OutboxFolder(char drive);

class Outbox;

// The import files of one offer for one label system while the offer's transaction makes them.
// Each file is written under a temporary name in the outbox; Close makes them durable and records
// the delivery as prepared. Destroyed without Close (the offer failed), it leaves nothing behind.
class DeliveryPreparation {
 public:
  ~DeliveryPreparation();
  DeliveryPreparation(const DeliveryPreparation&) = delete;
  DeliveryPreparation& operator=(const DeliveryPreparation&) = delete;

  // Adds a line to the file of `kind`, creating the file at its first line. Throws FileError
  // when the outbox cannot be written (a full disk).
  void Write(ImportKind kind, std::string_view line);

  // Flushes and syncs every file, gives each its name in the outbox and records the delivery as
  // prepared. `script`: the offer had rows (see Delivery::script). Throws FileError.
  // REQUIRES: called once
  void Close(bool script);

 private:
  friend class Outbox;
  struct File {
    ImportKind kind;
    platform::TemporaryFile temporary;
    std::unique_ptr<platform::LineWriter> lines;
  };
  DeliveryPreparation(Outbox& outbox, Delivery delivery);

  Outbox& outbox_;
  Delivery delivery_;
  std::vector<File> file_;
  std::vector<std::string> written_paths_;  // paths in the outbox made so far, removed on failure
  bool closed_ = false;
};

// Asks the store database whether offer `offer`/`anno` is deactivated ("D"): true or false, or
// nothing when the database cannot tell now.
using OfferDeactivated = std::function<std::optional<bool>(std::int32_t offer, std::int32_t anno)>;

// The label systems active now, read from the store database. Throws Error.
using SystemsToServe = std::function<const std::vector<LabelSystem>&()>;

class Outbox {
 public:
  // Files that a script has not taken this long after it was started count as not delivered: the
  // run log says so, and the script is started again as often.
  static constexpr std::chrono::seconds kScriptTimeout{60};

  // `folder`: the outbox folder, a Windows path ending in a backslash. It is created when the
  // first delivery is prepared.
  Outbox(platform::Env& env, std::string folder);

  const std::string& Folder() const { return folder_; }

  // --- Inside the offer's transaction.

  // Drops the deliveries of the offer that are prepared and not confirmed: an earlier attempt that
  // did not commit must never reach a label system beside this one.
  void Discard(std::string_view store, std::int32_t offer, std::int32_t anno);

  // Starts the files of the offer for `system`. Throws FileError when the outbox cannot be made.
  std::unique_ptr<DeliveryPreparation> StartDelivery(std::string_view store, std::int32_t offer,
                                                     std::int32_t anno, const LabelSystem& system);

  // --- After the transaction.

  // The prepared deliveries of the offer are owed: the transaction committed.
  void Confirm(std::string_view store, std::int32_t offer, std::int32_t anno);

  // Settles the prepared deliveries of `store` left by a crash or by a commit whose outcome was
  // not known, asking `disattivata`: confirmed when the offer is deactivated, dropped when it is
  // not, kept when the database cannot tell. The first call of a run also removes what a crash
  // left half made in the outbox. Never throws: an outbox that cannot be read is retried later.
  void Settle(std::string_view store, const OfferDeactivated& disattivata);

  // Hands over the confirmed deliveries of `store` to the label systems active now, which
  // `active` reads when a delivery needs them (once; a failure to read them is a failure of the
  // deliveries that needed them), oldest first, and settles those handed over earlier whose files
  // have gone. A delivery for a system that is no longer active, or whose folder or layout
  // changed, stays where it is.
  // The failure of one label system is written to `log` once ("ERRORE : ...") and does not stop
  // the others; the delivery is tried again at the next call. A delivery that catches up after a
  // failure gets a dated "- " line. Never throws.
  void HandOverAll(std::string_view store, const SystemsToServe& active, startup::RunLog& log);

  // The confirmed deliveries of `store` not yet handed over, oldest first.
  std::vector<Delivery> Pending(std::string_view store);

  // A confirmed delivery that is not done: not handed over yet, or handed over with its files
  // still in the label folder (`in_label_folder`: the script has not taken them).
  struct OpenDelivery {
    Delivery delivery;
    bool in_label_folder = false;
  };
  // The confirmed deliveries of `store` that are not done, oldest first. The records that cannot
  // be read (of any store: their store is not known) go to `illeggibili` as "path: reason", when
  // given. Changes nothing, also on the disk: for whoever checks on the store while the program
  // runs.
  std::vector<OpenDelivery> OpenDeliveries(std::string_view store,
                                           std::vector<std::string>* illeggibili = nullptr);

  // The Windows path in the outbox of the file of `kind` that `delivery` prepared.
  std::string DataFilePath(const Delivery& delivery, ImportKind kind) const;

  // One "ERRORE" line in `log` for each delivery of `store` that waits: for the run log's
  // start-up, so that waiting files are reported at every start until they go out or an operator
  // removes them.
  void ReportPending(std::string_view store, startup::RunLog& log);

 private:
  friend class DeliveryPreparation;

  // What the program remembers of a delivery during a run.
  struct Remembered {
    std::string reported_reason;  // the reason last written to the run log; empty: none
    std::optional<platform::SteadyTime> script_started_at;  // when its script was last started
  };

  std::string OutboxPath(std::uint64_t numero, std::string_view estensione) const;
  std::uint64_t NextNumber();
  // Every record of the outbox, oldest first; those that cannot be read are reported once to
  // `log` (when given), listed in `illeggibili` (when given) and left out.
  std::vector<Delivery> ReadAll(startup::RunLog* log,
                                std::vector<std::string>* illeggibili = nullptr);
  // Replaces the outbox's file `path` with `byte` durably: a temporary file, synced, then
  // renamed; the temporary file goes when a step fails.
  void Write(const std::string& path, std::string_view byte);
  // Writes the record durably.
  void Save(const Delivery& delivery);
  // Removes the record and the files of the delivery still in the outbox.
  void Erase(const Delivery& delivery);
  void CleanLeftovers();

  // Hand-over steps; each throws Error (FileError) with the reason.
  void HandOverOne(Delivery& delivery, const std::vector<Delivery>& tutte, startup::RunLog& log);
  void CleanLabelFolder(const Delivery& delivery, const std::vector<Delivery>& tutte);
  void Stamp(Delivery& delivery);
  void Place(Delivery& delivery, DeliveryFile& file);
  bool StartLayoutScript(const Delivery& delivery);

  // The files of `delivery` still in its label folder.
  std::vector<std::string> FilesLeft(const Delivery& delivery);
  void ReportProblem(const Delivery& delivery, const std::string& motivo, startup::RunLog& log);
  void ReportRecovered(const Delivery& delivery, startup::RunLog& log);

  platform::Env& env_;
  std::string folder_;
  std::optional<std::uint64_t> last_number_;
  bool leftovers_cleaned_ = false;
  std::map<std::uint64_t, Remembered> remembered_;
  std::set<std::string> unreadable_;  // records already reported as unreadable
};

}  // namespace zav5::labels
