// A synthetic store for the benchmark: a price list of any size and one expired offer of any number
// of rows, on disk as a running store has it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace zav5::bench {

// How big the store and its expired offer are.
struct Sizes {
  int articoli = 0;  // rows of listi01, each with two EAN rows in codean
  int rows = 0;      // rows of the expired offer; half of their articles are restored
  // "a100000_r10000": the name of the store's folder.
  std::string Name() const;
};

// The expired offer the benchmark deactivates.
inline constexpr std::int32_t kBenchOfferNumber = 500;
inline constexpr std::int32_t kOfferYear = 2026;

// The day the processing cycle takes for today; the offer ended the day before.
std::chrono::year_month_day BenchToday();

// Where the store database is, under drive C:.
inline constexpr char kPercorsoDati[] = "C:\\sulvo\\neg01\\dati.mdb";
std::filesystem::path DataFile(const std::filesystem::path& folder);

// Whether offmo and codean have their keys. Without them the store is as some sites have it:
// neither table has a primary key or a unique index, only plain indexes on what the program looks
// up (codean's eanare and codare, offmo's bnumer and bannoc); the columns are declared as with
// them.
enum class Keys { kWithKeys, kWithoutKeys };

// The store database's schema (schema::k_negozio), with or without the keys of offmo and codean.
// Throws Error when the schema no longer has the key clauses it takes out.
std::string Schema(Keys keys);

// Creates the store under `folder` (which must not exist): drive C: is `folder`/c, drive Z:
// `folder`/z. The store database holds `d.articoli` articles with two EAN codes each, five units,
// three promotion types, two active label systems (one per layout: C:\sulvo\ with two files,
// C:\sulvo\esl\ with one) and one switched off, an expired offer of `d.rows` rows and a running
// one. Of the expired offer's rows, the even ones name articles whose promotion is this offer
// (restored), the odd ones articles that a later promotion took over (left alone). Every seventh
// article has no supplier code; a few rows name their article by a second EAN, a few by an EAN
// that codean lacks. The copy script and the site's script are in place. The database has the
// schema Schema(`keys`). Throws Error on failure.
// REQUIRES: 0 < d.rows <= d.articoli
void CreateStore(const std::filesystem::path& folder, const Sizes& d, Keys keys = Keys::kWithKeys);

// Copies the store at `modello` to `copia` (which is emptied first), and flushes the copied
// database to the disk, so that a commit in the copy pays for its own changes only.
void CopyStore(const std::filesystem::path& modello, const std::filesystem::path& copia);

}  // namespace zav5::bench
