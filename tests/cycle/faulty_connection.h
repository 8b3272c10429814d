// A connection that fails on purpose: it forwards everything to the engine's connection and
// throws DatabaseError at a chosen write, at Commit or at Rollback, so that a test can break a
// piece of work at every step it takes and see what is left of it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/core.h>

#include "data/backend.h"
#include "errors.h"
#include "support/forwarding_connection.h"

namespace zav5::cycle {

// What to break, and what was seen. The test holds it and every connection it wraps shares it:
// the counts go on when the program drops a connection and opens a new one.
struct Faults {
  // The write (Update, Insert, Delete or Execute), counted from 1 across every connection, that
  // fails; nothing: no write fails.
  std::optional<int> at_write;
  // The failing write is carried out before the error is thrown (an engine that reports an error
  // for a change it has made), instead of being refused.
  bool after_write = false;
  // Commit fails without committing anything.
  bool at_commit = false;
  // Rollback fails without rolling anything back (a connection whose link to the file is gone).
  bool at_rollback = false;

  // Runs once, just before the next transaction begins: another program's change that lands
  // between the scan's query and its transaction.
  std::function<void()> before_transaction;

  // Called with "commit" just before a commit and "commit fatto" once it has committed: a test
  // can count the commit among the steps of a piece of work, fail there, or end the process.
  std::function<void(std::string_view)> on_step;

  // Writes seen so far, the failing one included.
  int writes = 0;
  // Connections wrapped so far.
  int connections = 0;

  // No more faults; the counts stay.
  void Disarm() {
    at_write.reset();
    at_commit = false;
    at_rollback = false;
  }
};

class FaultyConnection : public test::ForwardingConnection {
 public:
  // REQUIRES: `inner` and `guasti` are not null.
  FaultyConnection(std::unique_ptr<data::Connection> inner, std::shared_ptr<Faults> guasti)
      : ForwardingConnection(std::move(inner)), faults_(std::move(guasti)) {
    ++faults_->connections;
  }

  void Execute(std::string_view sql) override {
    FaultyWrite(fmt::format("Execute \"{}\"", sql), [&] { inner().Execute(sql); });
  }

  data::RowKey Update(std::string_view table, const data::RowKey& key,
                      const std::vector<data::FieldChange>& changes) override {
    data::RowKey result;
    FaultyWrite(fmt::format("Update su {}", table),
                [&] { result = inner().Update(table, key, changes); });
    return result;
  }

  data::RowKey Insert(std::string_view table,
                      const std::vector<data::FieldChange>& fields) override {
    data::RowKey result;
    FaultyWrite(fmt::format("Insert su {}", table),
                [&] { result = inner().Insert(table, fields); });
    return result;
  }

  void Delete(std::string_view table, const data::RowKey& key) override {
    FaultyWrite(fmt::format("Delete su {}", table), [&] { inner().Delete(table, key); });
  }

  void BeginTransaction() override {
    if (faults_->before_transaction) {
      std::exchange(faults_->before_transaction, nullptr)();
    }
    inner().BeginTransaction();
  }

  void Commit() override {
    if (faults_->on_step) {
      faults_->on_step("commit");
    }
    if (faults_->at_commit) {
      throw DatabaseError("guasto simulato confermando la transazione");
    }
    inner().Commit();
    if (faults_->on_step) {
      faults_->on_step("commit fatto");
    }
  }

  void Rollback() override {
    if (faults_->at_rollback) {
      throw DatabaseError("guasto simulato annullando la transazione");
    }
    inner().Rollback();
  }

 private:
  // Counts the write `cosa` and runs it, or fails it when its turn has come.
  void FaultyWrite(const std::string& cosa, const std::function<void()>& esegui) {
    const int numero = ++faults_->writes;
    if (faults_->at_write != numero) {
      esegui();
      return;
    }
    if (faults_->after_write) {
      esegui();
    }
    throw DatabaseError(fmt::format("guasto simulato alla scrittura {} ({})", numero, cosa));
  }

  std::shared_ptr<Faults> faults_;
};

// The engine option that wraps every connection opened in a FaultyConnection sharing `guasti`.
inline std::function<std::unique_ptr<data::Connection>(std::unique_ptr<data::Connection>)>
WrapWithFaults(std::shared_ptr<Faults> guasti) {
  return [guasti = std::move(guasti)](std::unique_ptr<data::Connection> inner) {
    return std::unique_ptr<data::Connection>(
        std::make_unique<FaultyConnection>(std::move(inner), guasti));
  };
}

}  // namespace zav5::cycle
