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

class ForwardingConnection : public data::Connection {
 public:
  // REQUIRES: `inner` is not null
  explicit ForwardingConnection(std::unique_ptr<data::Connection> inner)
      : inner_(std::move(inner)) {}

  data::QueryResult Query(std::string_view sql) override { return inner_->Query(sql); }
  void Execute(std::string_view sql) override { inner_->Execute(sql); }
  std::vector<data::Column> TableColumns(std::string_view table) override {
    return inner_->TableColumns(table);
  }
  std::vector<std::string> IndexColumns(std::string_view table, std::string_view index) override {
    return inner_->IndexColumns(table, index);
  }
  std::optional<data::Row> Seek(std::string_view table, const std::vector<std::string>& key_columns,
                                const std::vector<data::Value>& key) override {
    return inner_->Seek(table, key_columns, key);
  }
  std::optional<data::Row> Fetch(std::string_view table, const data::RowKey& key) override {
    return inner_->Fetch(table, key);
  }
  data::RowKey Update(std::string_view table, const data::RowKey& key,
                      const std::vector<data::FieldChange>& changes) override {
    return inner_->Update(table, key, changes);
  }
  data::RowKey Insert(std::string_view table,
                      const std::vector<data::FieldChange>& fields) override {
    return inner_->Insert(table, fields);
  }
  void Delete(std::string_view table, const data::RowKey& key) override {
    inner_->Delete(table, key);
  }
  void BeginTransaction() override { inner_->BeginTransaction(); }
  void Commit() override { inner_->Commit(); }
  void Rollback() override { inner_->Rollback(); }
  bool InTransaction() const override { return inner_->InTransaction(); }
  bool RowsStayAsRead() const override { return inner_->RowsStayAsRead(); }

 protected:
  data::Connection& inner() { return *inner_; }

 private:
  std::unique_ptr<data::Connection> inner_;
};

}  // namespace zav5::test
