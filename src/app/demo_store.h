// A demo store on disk, for trying the program out and for end-to-end tests: drive folders for C:
// and Z:, the company database, a store database filled with a few hundred articles, their EAN
// codes, two expired offers and one running offer, two active label systems and the log folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace zav5::app {

struct DemoStore {
  std::filesystem::path drive_c;  // folder mapped as drive C:
  std::filesystem::path drive_z;  // folder mapped as drive Z:, the label systems' drop folder
  int articoli = 0;
  int expired_offers = 0;
};

// Creates the demo store under `folder` with offers dated around `today`. Throws Error when a
// database of the demo exists already there (nothing is overwritten) or cannot be created.
DemoStore CreateDemoStore(const std::filesystem::path& folder, std::chrono::year_month_day today);

// The store database's rows: settings, units, promotion types, label systems, articles, EAN
// codes and offers, as SQL text.
std::string DemoStoreRows(std::chrono::year_month_day today, int* articoli = nullptr);

}  // namespace zav5::app
