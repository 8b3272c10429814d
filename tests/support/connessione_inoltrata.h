// A connection that hands every call to another one: derive from it to put something in the way of
// a few calls (a fault, another program's change) and keep the rest as the engine does it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/backend.h"

namespace zav5::test {

class ConnessioneInoltrata : public data::Connection {
 public:
  // REQUIRES: `interna` is not null
  explicit ConnessioneInoltrata(std::unique_ptr<data::Connection> interna)
      : interna_(std::move(interna)) {}

  data::QueryResult Query(std::string_view sql) override { return interna_->Query(sql); }
  void Execute(std::string_view sql) override { interna_->Execute(sql); }
  std::vector<data::Column> TableColumns(std::string_view table) override {
    return interna_->TableColumns(table);
  }
  std::vector<std::string> IndexColumns(std::string_view table, std::string_view index) override {
    return interna_->IndexColumns(table, index);
  }
  std::optional<data::Row> Seek(std::string_view table, const std::vector<std::string>& key_columns,
                                const std::vector<data::Value>& key) override {
    return interna_->Seek(table, key_columns, key);
  }
  std::optional<data::Row> Fetch(std::string_view table, const data::RowKey& key) override {
    return interna_->Fetch(table, key);
  }
  data::RowKey Update(std::string_view table, const data::RowKey& key,
                      const std::vector<data::FieldChange>& changes) override {
    return interna_->Update(table, key, changes);
  }
  data::RowKey Insert(std::string_view table,
                      const std::vector<data::FieldChange>& fields) override {
    return interna_->Insert(table, fields);
  }
  void Delete(std::string_view table, const data::RowKey& key) override {
    interna_->Delete(table, key);
  }
  void BeginTransaction() override { interna_->BeginTransaction(); }
  void Commit() override { interna_->Commit(); }
  void Rollback() override { interna_->Rollback(); }
  bool InTransaction() const override { return interna_->InTransaction(); }
  bool RowsStayAsRead() const override { return interna_->RowsStayAsRead(); }

 protected:
  data::Connection& interna() { return *interna_; }

 private:
  std::unique_ptr<data::Connection> interna_;
};

}  // namespace zav5::test
