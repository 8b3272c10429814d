// A connection that fails on purpose: it forwards everything to the engine's connection and
// throws DatabaseError at a chosen write, at Commit or at Rollback, so that a test can break a
// piece of work at every step it takes and see what is left of it.
#pragma once

#include <fmt/core.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/backend.h"
#include "errors.h"
#include "support/connessione_inoltrata.h"

namespace zav5::cycle {

// What to break, and what was seen. The test holds it and every connection it wraps shares it:
// the counts go on when the program drops a connection and opens a new one.
struct Guasti {
  // The write (Update, Insert, Delete or Execute), counted from 1 across every connection, that
  // fails; nothing: no write fails.
  std::optional<int> alla_scrittura;
  // The failing write is carried out before the error is thrown (an engine that reports an error
  // for a change it has made), instead of being refused.
  bool dopo_la_scrittura = false;
  // Commit fails without committing anything.
  bool al_commit = false;
  // Rollback fails without rolling anything back (a connection whose link to the file is gone).
  bool al_rollback = false;

  // Runs once, just before the next transaction begins: another program's change that lands
  // between the scan's query and its transaction.
  std::function<void()> prima_della_transazione;

  // Called with "commit" just before a commit and "commit fatto" once it has committed: a test
  // can count the commit among the steps of a piece of work, fail there, or end the process.
  std::function<void(std::string_view)> al_passo;

  // Writes seen so far, the failing one included.
  int scritture = 0;
  // Connections wrapped so far.
  int connessioni = 0;

  // No more faults; the counts stay.
  void Disarma() {
    alla_scrittura.reset();
    al_commit = false;
    al_rollback = false;
  }
};

class ConnessioneGuasta : public test::ConnessioneInoltrata {
 public:
  // REQUIRES: `interna` and `guasti` are not null.
  ConnessioneGuasta(std::unique_ptr<data::Connection> interna, std::shared_ptr<Guasti> guasti)
      : ConnessioneInoltrata(std::move(interna)), guasti_(std::move(guasti)) {
    ++guasti_->connessioni;
  }

  void Execute(std::string_view sql) override {
    Scrittura(fmt::format("Execute \"{}\"", sql), [&] { interna().Execute(sql); });
  }

  data::RowKey Update(std::string_view table, const data::RowKey& key,
                      const std::vector<data::FieldChange>& changes) override {
    data::RowKey result;
    Scrittura(fmt::format("Update su {}", table),
              [&] { result = interna().Update(table, key, changes); });
    return result;
  }

  data::RowKey Insert(std::string_view table,
                      const std::vector<data::FieldChange>& fields) override {
    data::RowKey result;
    Scrittura(fmt::format("Insert su {}", table),
              [&] { result = interna().Insert(table, fields); });
    return result;
  }

  void Delete(std::string_view table, const data::RowKey& key) override {
    Scrittura(fmt::format("Delete su {}", table), [&] { interna().Delete(table, key); });
  }

  void BeginTransaction() override {
    if (guasti_->prima_della_transazione) {
      std::exchange(guasti_->prima_della_transazione, nullptr)();
    }
    interna().BeginTransaction();
  }

  void Commit() override {
    if (guasti_->al_passo) {
      guasti_->al_passo("commit");
    }
    if (guasti_->al_commit) {
      throw DatabaseError("guasto simulato confermando la transazione");
    }
    interna().Commit();
    if (guasti_->al_passo) {
      guasti_->al_passo("commit fatto");
    }
  }

  void Rollback() override {
    if (guasti_->al_rollback) {
      throw DatabaseError("guasto simulato annullando la transazione");
    }
    interna().Rollback();
  }

 private:
  // Counts the write `cosa` and runs it, or fails it when its turn has come.
  void Scrittura(const std::string& cosa, const std::function<void()>& esegui) {
    const int numero = ++guasti_->scritture;
    if (guasti_->alla_scrittura != numero) {
      esegui();
      return;
    }
    if (guasti_->dopo_la_scrittura) {
      esegui();
    }
    throw DatabaseError(fmt::format("guasto simulato alla scrittura {} ({})", numero, cosa));
  }

  std::shared_ptr<Guasti> guasti_;
};

// The engine option that wraps every connection opened in a ConnessioneGuasta sharing `guasti`.
inline std::function<std::unique_ptr<data::Connection>(std::unique_ptr<data::Connection>)>
AvvolgiConGuasti(std::shared_ptr<Guasti> guasti) {
  return [guasti = std::move(guasti)](std::unique_ptr<data::Connection> interna) {
    return std::unique_ptr<data::Connection>(
        std::make_unique<ConnessioneGuasta>(std::move(interna), guasti));
  };
}

}  // namespace zav5::cycle
