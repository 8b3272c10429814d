// How long one offer's deactivation takes, against the floor: the same change made by a handful of
// set-based SQL statements in one transaction.
//
//   zav5_bench [--negozi=CARTELLA] [--tabella=FILE] [options di Google Benchmark]
//   zav5_bench [--negozi=CARTELLA] profilo VARIANTE|pavimento ARTICOLI RIGHE
//
// The program's deactivation runs in variants (see kVariants): on the store database opened
// directly ("nostra", the program's way with a SQLite file) and through ODBC with Debian's SQLite
// ODBC driver, on the synthetic store and on one whose offmo and codean have no keys. The
// synthetic stores are made once into CARTELLA (default: "negozi" beside the program) and copied
// before every deactivation, outside the timed region. For each variant and size the program's
// result and the floor's are compared once (tables and import files); a difference stops the run.
// The program's deactivation of that check runs in a process of its own, which starts from the
// copied store and does nothing else: its peak resident memory is measured there, and the
// statements the store's connection runs in the cycle are counted, as they are then in a cycle
// that finds no offer. At the end a table in Markdown sums up each variant and size: median
// times, the ratios to the floor and to the direct way, rows per second, statements per offer row
// and memory.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "comparison.h"
#include "cycle/elabora_offerte_scadute.h"
#include "floor.h"
#include "synthetic_store.h"
#include "workbench.h"

namespace zav5::bench {

namespace {

namespace fs = std::filesystem;

// How the program reaches the store database, and which store it works on.
struct Variant {
  std::string_view name;   // of the benchmark, for --benchmark_filter
  std::string_view title;  // in the table
  Keys keys;
  bool odbc;
};

// The program's way with a SQLite file, first: the others are compared with it.
constexpr Variant kVariants[] = {
    {"nostra", "nostra", Keys::kWithKeys, false},
    {"nostra_senza_chiavi", "nostra senza chiavi", Keys::kWithoutKeys, false},
    {"odbc_con_chiavi", "odbc con chiavi", Keys::kWithKeys, true},
    {"odbc_senza_chiavi", "odbc senza chiavi", Keys::kWithoutKeys, true},
};
const Variant& kOurs = kVariants[0];

// Debian's SQLite ODBC driver on the store's file, as the tests reach it through ODBC.
constexpr char kOdbcConnection[] = "Driver=SQLite3;Database={path};Timeout=5000;NoCreat=1;";

data::EngineOptions Options(const Variant& v) {
  data::EngineOptions options;
  if (v.odbc) {
    options.odbc_connection = kOdbcConnection;
  }
  return options;
}

const Variant* VariantNamed(std::string_view name) {
  for (const Variant& v : kVariants) {
    if (v.name == name) {
      return &v;
    }
  }
  return nullptr;
}

// The sizes measured: articles in the price list, rows of the offer. The direct way and the floor
// take them all; the other variants the large price list.
const std::vector<Sizes> kSizes = {
    {100000, 100}, {100000, 1000}, {100000, 10000}, {10000, 100}, {10000, 1000}, {10000, 10000},
};

std::vector<Sizes> SizesOf(const Variant& v) {
  if (v.name == kOurs.name) {
    return kSizes;
  }
  return {{100000, 100}, {100000, 1000}, {100000, 10000}};
}

// Deactivations timed per repetition, by offer size: enough to steady the small ones. Through
// ODBC a store without keys takes a minute or so for 10 000 rows today: one is enough there.
int IterationsFor(const Variant& v, int lines) {
  if (v.odbc) {
    return lines <= 100 ? 5 : lines <= 1000 ? 2 : 1;
  }
  return lines <= 100 ? 20 : lines <= 1000 ? 8 : 3;
}

fs::path g_stores;
fs::path g_program;

// Stops the whole run: a benchmark whose two sides do not do the same work measures nothing.
[[noreturn]] void Abort(const std::string& perche) {
  std::cerr << "\n*** BENCHMARK INTERROTTO: " << perche << "\n" << std::flush;
  std::abort();
}

// The store of size `d`, made the first time it is asked for. A store whose making was cut short
// has no "pronto" mark and is made again.
fs::path TemplateStore(const Sizes& d, Keys keys) {
  const std::string_view kind = keys == Keys::kWithKeys ? "v1_" : "v1_senza_chiavi_";
  const fs::path folder = g_stores / (std::string(kind) + d.Name());
  if (!fs::exists(folder / "pronto")) {
    fs::remove_all(folder);
    CreateStore(folder, d, keys);
    std::ofstream(folder / "pronto") << "ok\n";
  }
  return folder;
}

fs::path WorkFolder(std::string_view name) {
  return g_stores / "lavoro" / name;
}

// Runs the program's cycle on the store of `banco` and checks that it deactivated the offer.
void OurCycle(Workbench& banco) {
  if (banco.RunCycle() != cycle::CycleOutcome::kOfferDeactivated) {
    Abort("il ciclo non ha disattivato l'offerta");
  }
}

// What the check of one variant and size found, besides the program and the floor ending the same.
struct Verified {
  // The statements the store database's connection ran from its opening: in the cycle that
  // deactivates the offer, and in a cycle that finds none (the scan, and what the connection reads
  // first about the offers' table). Their difference is the offer's own work.
  std::uint64_t instructions = 0;
  std::uint64_t idle_instructions = 0;
  // The memory of the deactivation, in kB: resident before the cycle (the program with the store
  // database open) and at the peak.
  long base_kb = 0;
  long peak_kb = 0;
  long maxrss_kb = 0;
};

std::map<std::string, Verified> g_verified;  // by variant and size

std::string VariantKey(const Variant& v, const Sizes& d) {
  return std::string(v.name) + "/" + d.Name();
}

// Runs a cycle of `v` on the store of `banco`, which must end as `atteso` and start `script`
// transfer scripts; returns the statements the store's connection ran in it.
// REQUIRES: banco.OpenStoreDatabase() was called
std::uint64_t CountedCycle(Workbench& banco, const Variant& v, cycle::CycleOutcome atteso,
                           std::size_t script) {
  const std::uint64_t prima = banco.StoreStatements();
  if (banco.RunCycle() != atteso) {
    Abort(fmt::format("{}: il ciclo non ha dato l'esito atteso", v.name));
  }
  if (banco.env().scripts_started().size() != script) {
    Abort(fmt::format("{}: avviati {} script invece di {}", v.name,
                      banco.env().scripts_started().size(), script));
  }
  return banco.StoreStatements() - prima;
}

// Once per variant and size. The program deactivates the offer on a fresh copy, in a process of
// its own that does nothing else (so that its peak memory is the cycle's); the floor does the
// same on another copy, and the two must end the same. Then a cycle on the deactivated store,
// which finds nothing to do, gives the statements of an idle cycle.
const Verified& Verify(const Variant& v, const Sizes& d, const fs::path& modello) {
  const std::string name = VariantKey(v, d);
  if (const auto nota = g_verified.find(name); nota != g_verified.end()) {
    return nota->second;
  }
  const fs::path nostra = WorkFolder("verifica_nostra");
  const fs::path pavimento = WorkFolder("verifica_pavimento");
  const std::string command = fmt::format("'{}' verifica {} '{}' '{}'", g_program.string(), v.name,
                                          modello.string(), nostra.string());
  FILE* figlio = ::popen(command.c_str(), "r");
  if (figlio == nullptr) {
    Abort("verifica non avviata: " + command);
  }
  Verified verificata;
  unsigned long long instructions = 0;
  const int letti = std::fscanf(figlio, "%ld %ld %ld %llu", &verificata.base_kb,
                                &verificata.peak_kb, &verificata.maxrss_kb, &instructions);
  if (::pclose(figlio) != 0 || letti != 4) {
    Abort("verifica non riuscita: " + command);
  }
  verificata.instructions = instructions;

  CopyStore(modello, pavimento);
  if (const int lines = Floor(pavimento); lines != d.rows) {
    Abort(fmt::format("{}: il pavimento ha trovato {} righe", name, lines));
  }
  if (Differences(modello, nostra).empty()) {
    Abort(name + ": la disattivazione non ha cambiato nulla");
  }
  const std::vector<std::string> differenze = Differences(nostra, pavimento);
  if (!differenze.empty()) {
    std::string testo = name + ": il programma e il pavimento finiscono in modo diverso:";
    for (const std::string& line : differenze) {
      testo += "\n  " + line;
    }
    Abort(testo);
  }
  Workbench banco(nostra, Options(v));
  banco.OpenStoreDatabase();
  verificata.idle_instructions = CountedCycle(banco, v, cycle::CycleOutcome::kNoOffer, 0);
  return g_verified.emplace(name, verificata).first->second;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(std::string_view campo) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(campo) && line.size() > campo.size() && line[campo.size()] == ':') {
      return std::stol(line.substr(campo.size() + 1));
    }
  }
  return -1;
}

// The child of Verify: one deactivation of `variante` on a fresh copy under `lavoro`, nothing
// else. Prints the memory (kB resident before the cycle, VmHWM, ru_maxrss) and the statements of
// the cycle.
int CycleToVerify(std::string_view variante, const fs::path& modello, const fs::path& lavoro) {
  const Variant* v = VariantNamed(variante);
  if (v == nullptr) {
    std::cerr << "zav5_bench verifica: variante sconosciuta " << variante << "\n";
    return 2;
  }
  CopyStore(modello, lavoro);
  Workbench banco(lavoro, Options(*v));
  banco.OpenStoreDatabase();
  const long base = StatusKb("VmRSS");
  const std::uint64_t instructions =
      CountedCycle(banco, *v, cycle::CycleOutcome::kOfferDeactivated, 2);
  rusage uso{};
  ::getrusage(RUSAGE_SELF, &uso);
  std::cout << base << " " << StatusKb("VmHWM") << " " << uso.ru_maxrss << " " << instructions
            << "\n";
  return 0;
}

// One deactivation, of the program or of the floor, on a fresh copy of the store: for a profiler,
// e.g. valgrind --tool=callgrind --toggle-collect='zav5::bench::*Profiled*'.
void Profiled(const Variant* v, const fs::path& lavoro) {
  if (v == nullptr) {
    Floor(lavoro);
    return;
  }
  Workbench banco(lavoro, Options(*v));
  banco.OpenStoreDatabase();
  OurCycle(banco);
}

int Profile(std::string_view chi, const Sizes& d) {
  const Variant* v = VariantNamed(chi);
  if (v == nullptr && chi != "pavimento") {
    std::cerr << "zav5_bench profilo VARIANTE|pavimento ARTICOLI RIGHE; le varianti:";
    for (const Variant& variante : kVariants) {
      std::cerr << " " << variante.name;
    }
    std::cerr << "\n";
    return 2;
  }
  const fs::path lavoro = WorkFolder("profilo");
  CopyStore(TemplateStore(d, v != nullptr ? v->keys : Keys::kWithKeys), lavoro);
  Profiled(v, lavoro);
  return 0;
}

Sizes SizesOf(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
}

void Counters(benchmark::State& state, const Sizes& d) {
  state.counters["righe/s"] =
      benchmark::Counter(d.rows, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Variant(benchmark::State& state, const Variant& v) {
  const Sizes d = SizesOf(state);
  const fs::path modello = TemplateStore(d, v.keys);
  const Verified& verificata = Verify(v, d, modello);
  const fs::path lavoro = WorkFolder(v.name);
  for (auto _ : state) {
    state.PauseTiming();
    CopyStore(modello, lavoro);
    auto banco = std::make_unique<Workbench>(lavoro, Options(v));
    banco->OpenStoreDatabase();
    const std::uint64_t prima = banco->StoreStatements();
    state.ResumeTiming();
    OurCycle(*banco);
    state.PauseTiming();
    if (const std::uint64_t eseguite = banco->StoreStatements() - prima;
        eseguite != verificata.instructions) {
      std::cerr << fmt::format("{}: {} istruzioni in questo ciclo, {} in quello della verifica\n",
                               VariantKey(v, d), eseguite, verificata.instructions);
    }
    banco.reset();
    state.ResumeTiming();
  }
  Counters(state, d);
  state.counters["picco_MiB"] = verificata.peak_kb / 1024.0;
  state.counters["crescita_MiB"] = (verificata.peak_kb - verificata.base_kb) / 1024.0;
  state.counters["istruzioni"] = static_cast<double>(verificata.instructions);
  state.counters["istruzioni/riga"] = (static_cast<double>(verificata.instructions) -
                                       static_cast<double>(verificata.idle_instructions)) /
                                      d.rows;
}

void BM_Floor(benchmark::State& state) {
  const Sizes d = SizesOf(state);
  const fs::path modello = TemplateStore(d, Keys::kWithKeys);
  Verify(kOurs, d, modello);
  const fs::path lavoro = WorkFolder("pavimento");
  for (auto _ : state) {
    state.PauseTiming();
    CopyStore(modello, lavoro);
    state.ResumeTiming();
    Floor(lavoro);
  }
  Counters(state, d);
}

void Register(benchmark::internal::Benchmark* b, const Sizes& d, int iterazioni) {
  b->Args({d.articoli, d.rows})
      ->ArgNames({"articoli", "righe"})
      ->Iterations(iterazioni)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

// The direct way and the floor first, size by size as before; then the other variants.
void Register() {
  for (const Sizes& d : kSizes) {
    Register(
        benchmark::RegisterBenchmark(std::string(kOurs.name).c_str(),
                                     [](benchmark::State& state) { BM_Variant(state, kOurs); }),
        d, IterationsFor(kOurs, d.rows));
  }
  for (const Sizes& d : kSizes) {
    Register(benchmark::RegisterBenchmark("pavimento", &BM_Floor), d, IterationsFor(kOurs, d.rows));
  }
  for (const Variant& v : kVariants) {
    if (&v == &kOurs) {
      continue;
    }
    for (const Sizes& d : SizesOf(v)) {
      Register(
          benchmark::RegisterBenchmark(std::string(v.name).c_str(),
                                       [&v](benchmark::State& state) { BM_Variant(state, v); }),
          d, IterationsFor(v, d.rows));
    }
  }
}

// Prints what Google Benchmark prints and keeps the medians for the table.
class Summary : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved output reads as text.
  Summary() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[{run.run_name.function_name, run.run_name.args}] = run;
      }
    }
  }

  // One row per variant and size measured; a ratio whose other side was not measured is "–".
  std::string Table() const {
    std::ostringstream out;
    out << "| articoli | righe | variante | tempo (ms) | rapporto col pavimento | rapporto con "
           "nostra | righe/s | istruzioni/riga | picco RSS (MiB) | crescita RSS (MiB) |\n"
        << "|---:|---:|:---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Sizes& d : kSizes) {
      const std::string args = fmt::format("articoli:{}/righe:{}", d.articoli, d.rows);
      const Run* pavimento = Median("pavimento", args);
      const Run* nostra = Median(kOurs.name, args);
      for (const Variant& v : kVariants) {
        const Run* run = Median(v.name, args);
        if (run == nullptr) {
          continue;
        }
        const double ms = run->GetAdjustedRealTime();
        const auto rapporto = [ms](const Run* altro) {
          return altro == nullptr ? std::string("–")
                                  : fmt::format("{:.2f}", ms / altro->GetAdjustedRealTime());
        };
        const auto contatore = [run](const char* name) {
          const auto c = run->counters.find(name);
          return c == run->counters.end() ? 0.0 : c->second.value;
        };
        out << fmt::format(
            "| {} | {} | {} | {:.1f} | {} | {} | {:.0f} | {:.2f} | {:.1f} | {:.1f} |\n", d.articoli,
            d.rows, v.title, ms, rapporto(pavimento), run == nostra ? "–" : rapporto(nostra),
            contatore("righe/s"), contatore("istruzioni/riga"), contatore("picco_MiB"),
            contatore("crescita_MiB"));
      }
    }
    return out.str();
  }

 private:
  const Run* Median(std::string_view name, const std::string& args) const {
    const auto trovata = medians_.find({std::string(name), args});
    return trovata == medians_.end() ? nullptr : &trovata->second;
  }

  std::map<std::pair<std::string, std::string>, Run> medians_;
};

// Takes "--nome=valore" out of the arguments; nothing when absent.
std::optional<std::string> Option(int& argc, char** argv, std::string_view name) {
  const std::string prefix = "--" + std::string(name) + "=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(prefix)) {
      std::string valore(arg.substr(prefix.size()));
      for (int j = i; j + 1 < argc; ++j) {
        argv[j] = argv[j + 1];
      }
      --argc;
      return valore;
    }
  }
  return std::nullopt;
}

int BenchMain(int argc, char** argv) {
  g_program = fs::read_symlink("/proc/self/exe");
  if (argc == 5 && std::string_view(argv[1]) == "verifica") {
    return CycleToVerify(argv[2], argv[3], argv[4]);
  }
  g_stores = fs::absolute(
      Option(argc, argv, "negozi").value_or((g_program.parent_path() / "negozi").string()));
  if (argc == 5 && std::string_view(argv[1]) == "profilo") {
    return Profile(argv[2], {std::stoi(argv[3]), std::stoi(argv[4])});
  }
  const std::optional<std::string> tabella = Option(argc, argv, "tabella");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  Register();
  Summary riepilogo;
  benchmark::RunSpecifiedBenchmarks(&riepilogo);
  benchmark::Shutdown();
  const std::string testo = riepilogo.Table();
  std::cout << "\n" << testo;
  if (tabella) {
    std::ofstream(*tabella) << testo;
  }
  return 0;
}

}  // namespace

}  // namespace zav5::bench

int main(int argc, char** argv) {
  try {
    return zav5::bench::BenchMain(argc, argv);
  } catch (const std::exception& errore) {
    std::cerr << "zav5_bench: " << errore.what() << "\n";
    return 1;
  }
}
