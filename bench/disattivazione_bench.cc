// How long one offer's deactivation takes, against the floor: the same change made by a handful of
// set-based SQL statements in one transaction.
//
//   zav5_bench [--negozi=CARTELLA] [--tabella=FILE] [opzioni di Google Benchmark]
//   zav5_bench [--negozi=CARTELLA] profilo VARIANTE|pavimento ARTICOLI RIGHE
//
// The program's deactivation runs in variants (see kVarianti): on the store database opened
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
#include <benchmark/benchmark.h>
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

#include <fmt/format.h>

#include "banco.h"
#include "confronto.h"
#include "cycle/elabora_offerte_scadute.h"
#include "negozio_sintetico.h"
#include "pavimento.h"

namespace zav5::bench {

namespace {

namespace fs = std::filesystem;

// How the program reaches the store database, and which store it works on.
struct Variante {
  std::string_view nome;    // of the benchmark, for --benchmark_filter
  std::string_view titolo;  // in the table
  Chiavi chiavi;
  bool odbc;
};

// The program's way with a SQLite file, first: the others are compared with it.
constexpr Variante kVarianti[] = {
    {"nostra", "nostra", Chiavi::kConChiavi, false},
    {"nostra_senza_chiavi", "nostra senza chiavi", Chiavi::kSenzaChiavi, false},
    {"odbc_con_chiavi", "odbc con chiavi", Chiavi::kConChiavi, true},
    {"odbc_senza_chiavi", "odbc senza chiavi", Chiavi::kSenzaChiavi, true},
};
const Variante& kNostra = kVarianti[0];

// Debian's SQLite ODBC driver on the store's file, as the tests reach it through ODBC.
constexpr char kConnessioneOdbc[] = "Driver=SQLite3;Database={path};Timeout=5000;NoCreat=1;";

data::OpzioniMotore Opzioni(const Variante& v) {
  data::OpzioniMotore opzioni;
  if (v.odbc) {
    opzioni.connessione_odbc = kConnessioneOdbc;
  }
  return opzioni;
}

const Variante* VarianteDi(std::string_view nome) {
  for (const Variante& v : kVarianti) {
    if (v.nome == nome) {
      return &v;
    }
  }
  return nullptr;
}

// The sizes measured: articles in the price list, rows of the offer. The direct way and the floor
// take them all; the other variants the large price list.
const std::vector<Dimensioni> kDimensioni = {
    {100000, 100}, {100000, 1000}, {100000, 10000}, {10000, 100}, {10000, 1000}, {10000, 10000},
};

std::vector<Dimensioni> DimensioniDi(const Variante& v) {
  if (v.nome == kNostra.nome) {
    return kDimensioni;
  }
  return {{100000, 100}, {100000, 1000}, {100000, 10000}};
}

// Deactivations timed per repetition, by offer size: enough to steady the small ones. Through
// ODBC a store without keys takes a minute or so for 10 000 rows today: one is enough there.
int Iterazioni(const Variante& v, int righe) {
  if (v.odbc) {
    return righe <= 100 ? 5 : righe <= 1000 ? 2 : 1;
  }
  return righe <= 100 ? 20 : righe <= 1000 ? 8 : 3;
}

fs::path g_negozi;
fs::path g_programma;

// Stops the whole run: a benchmark whose two sides do not do the same work measures nothing.
[[noreturn]] void Interrompi(const std::string& perche) {
  std::cerr << "\n*** BENCHMARK INTERROTTO: " << perche << "\n" << std::flush;
  std::abort();
}

// The store of size `d`, made the first time it is asked for. A store whose making was cut short
// has no "pronto" mark and is made again.
fs::path Modello(const Dimensioni& d, Chiavi chiavi) {
  const std::string_view tipo = chiavi == Chiavi::kConChiavi ? "v1_" : "v1_senza_chiavi_";
  const fs::path cartella = g_negozi / (std::string(tipo) + d.Nome());
  if (!fs::exists(cartella / "pronto")) {
    fs::remove_all(cartella);
    CreaNegozio(cartella, d, chiavi);
    std::ofstream(cartella / "pronto") << "ok\n";
  }
  return cartella;
}

fs::path Lavoro(std::string_view nome) {
  return g_negozi / "lavoro" / nome;
}

// Runs the program's cycle on the store of `banco` and checks that it deactivated the offer.
void CicloNostro(Banco& banco) {
  if (banco.RunCycle() != cycle::EsitoCiclo::kOffertaDisattivata) {
    Interrompi("il ciclo non ha disattivato l'offerta");
  }
}

// What the check of one variant and size found, besides the program and the floor ending the same.
struct Verificata {
  // The statements the store database's connection ran from its opening: in the cycle that
  // deactivates the offer, and in a cycle that finds none (the scan, and what the connection reads
  // first about the offers' table). Their difference is the offer's own work.
  std::uint64_t istruzioni = 0;
  std::uint64_t istruzioni_a_vuoto = 0;
  // The memory of the deactivation, in kB: resident before the cycle (the program with the store
  // database open) and at the peak.
  long base_kb = 0;
  long picco_kb = 0;
  long maxrss_kb = 0;
};

std::map<std::string, Verificata> g_verificate;  // by variant and size

std::string Chiave(const Variante& v, const Dimensioni& d) {
  return std::string(v.nome) + "/" + d.Nome();
}

// Runs a cycle of `v` on the store of `banco`, which must end as `atteso` and start `script`
// transfer scripts; returns the statements the store's connection ran in it.
// REQUIRES: banco.ApriDatabase() was called
std::uint64_t CicloContato(Banco& banco, const Variante& v, cycle::EsitoCiclo atteso,
                           std::size_t script) {
  const std::uint64_t prima = banco.IstruzioniNegozio();
  if (banco.RunCycle() != atteso) {
    Interrompi(fmt::format("{}: il ciclo non ha dato l'esito atteso", v.nome));
  }
  if (banco.env().script_avviati().size() != script) {
    Interrompi(fmt::format("{}: avviati {} script invece di {}", v.nome,
                           banco.env().script_avviati().size(), script));
  }
  return banco.IstruzioniNegozio() - prima;
}

// Once per variant and size. The program deactivates the offer on a fresh copy, in a process of
// its own that does nothing else (so that its peak memory is the cycle's); the floor does the
// same on another copy, and the two must end the same. Then a cycle on the deactivated store,
// which finds nothing to do, gives the statements of an idle cycle.
const Verificata& Verifica(const Variante& v, const Dimensioni& d, const fs::path& modello) {
  const std::string nome = Chiave(v, d);
  if (const auto nota = g_verificate.find(nome); nota != g_verificate.end()) {
    return nota->second;
  }
  const fs::path nostra = Lavoro("verifica_nostra");
  const fs::path pavimento = Lavoro("verifica_pavimento");
  const std::string comando = fmt::format("'{}' verifica {} '{}' '{}'", g_programma.string(),
                                          v.nome, modello.string(), nostra.string());
  FILE* figlio = ::popen(comando.c_str(), "r");
  if (figlio == nullptr) {
    Interrompi("verifica non avviata: " + comando);
  }
  Verificata verificata;
  unsigned long long istruzioni = 0;
  const int letti = std::fscanf(figlio, "%ld %ld %ld %llu", &verificata.base_kb,
                                &verificata.picco_kb, &verificata.maxrss_kb, &istruzioni);
  if (::pclose(figlio) != 0 || letti != 4) {
    Interrompi("verifica non riuscita: " + comando);
  }
  verificata.istruzioni = istruzioni;

  CopiaNegozio(modello, pavimento);
  if (const int righe = Pavimento(pavimento); righe != d.rows) {
    Interrompi(fmt::format("{}: il pavimento ha trovato {} righe", nome, righe));
  }
  if (Differenze(modello, nostra).empty()) {
    Interrompi(nome + ": la disattivazione non ha cambiato nulla");
  }
  const std::vector<std::string> differenze = Differenze(nostra, pavimento);
  if (!differenze.empty()) {
    std::string testo = nome + ": il programma e il pavimento finiscono in modo diverso:";
    for (const std::string& riga : differenze) {
      testo += "\n  " + riga;
    }
    Interrompi(testo);
  }
  Banco banco(nostra, Opzioni(v));
  banco.ApriDatabase();
  verificata.istruzioni_a_vuoto = CicloContato(banco, v, cycle::EsitoCiclo::kNessunaOfferta, 0);
  return g_verificate.emplace(nome, verificata).first->second;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatoKb(std::string_view campo) {
  std::ifstream status("/proc/self/status");
  for (std::string riga; std::getline(status, riga);) {
    if (riga.starts_with(campo) && riga.size() > campo.size() && riga[campo.size()] == ':') {
      return std::stol(riga.substr(campo.size() + 1));
    }
  }
  return -1;
}

// The child of Verifica: one deactivation of `variante` on a fresh copy under `lavoro`, nothing
// else. Prints the memory (kB resident before the cycle, VmHWM, ru_maxrss) and the statements of
// the cycle.
int CicloDaVerificare(std::string_view variante, const fs::path& modello, const fs::path& lavoro) {
  const Variante* v = VarianteDi(variante);
  if (v == nullptr) {
    std::cerr << "zav5_bench verifica: variante sconosciuta " << variante << "\n";
    return 2;
  }
  CopiaNegozio(modello, lavoro);
  Banco banco(lavoro, Opzioni(*v));
  banco.ApriDatabase();
  const long base = StatoKb("VmRSS");
  const std::uint64_t istruzioni =
      CicloContato(banco, *v, cycle::EsitoCiclo::kOffertaDisattivata, 2);
  rusage uso{};
  ::getrusage(RUSAGE_SELF, &uso);
  std::cout << base << " " << StatoKb("VmHWM") << " " << uso.ru_maxrss << " " << istruzioni << "\n";
  return 0;
}

// One deactivation, of the program or of the floor, on a fresh copy of the store: for a profiler,
// e.g. valgrind --tool=callgrind --toggle-collect='zav5::bench::*Profilato*'.
void Profilato(const Variante* v, const fs::path& lavoro) {
  if (v == nullptr) {
    Pavimento(lavoro);
    return;
  }
  Banco banco(lavoro, Opzioni(*v));
  banco.ApriDatabase();
  CicloNostro(banco);
}

int Profilo(std::string_view chi, const Dimensioni& d) {
  const Variante* v = VarianteDi(chi);
  if (v == nullptr && chi != "pavimento") {
    std::cerr << "zav5_bench profilo VARIANTE|pavimento ARTICOLI RIGHE; le varianti:";
    for (const Variante& variante : kVarianti) {
      std::cerr << " " << variante.nome;
    }
    std::cerr << "\n";
    return 2;
  }
  const fs::path lavoro = Lavoro("profilo");
  CopiaNegozio(Modello(d, v != nullptr ? v->chiavi : Chiavi::kConChiavi), lavoro);
  Profilato(v, lavoro);
  return 0;
}

Dimensioni DimensioniDi(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
}

void Contatori(benchmark::State& state, const Dimensioni& d) {
  state.counters["righe/s"] =
      benchmark::Counter(d.rows, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Variante(benchmark::State& state, const Variante& v) {
  const Dimensioni d = DimensioniDi(state);
  const fs::path modello = Modello(d, v.chiavi);
  const Verificata& verificata = Verifica(v, d, modello);
  const fs::path lavoro = Lavoro(v.nome);
  for (auto _ : state) {
    state.PauseTiming();
    CopiaNegozio(modello, lavoro);
    auto banco = std::make_unique<Banco>(lavoro, Opzioni(v));
    banco->ApriDatabase();
    const std::uint64_t prima = banco->IstruzioniNegozio();
    state.ResumeTiming();
    CicloNostro(*banco);
    state.PauseTiming();
    if (const std::uint64_t eseguite = banco->IstruzioniNegozio() - prima;
        eseguite != verificata.istruzioni) {
      std::cerr << fmt::format("{}: {} istruzioni in questo ciclo, {} in quello della verifica\n",
                               Chiave(v, d), eseguite, verificata.istruzioni);
    }
    banco.reset();
    state.ResumeTiming();
  }
  Contatori(state, d);
  state.counters["picco_MiB"] = verificata.picco_kb / 1024.0;
  state.counters["crescita_MiB"] = (verificata.picco_kb - verificata.base_kb) / 1024.0;
  state.counters["istruzioni"] = static_cast<double>(verificata.istruzioni);
  state.counters["istruzioni/riga"] = (static_cast<double>(verificata.istruzioni) -
                                       static_cast<double>(verificata.istruzioni_a_vuoto)) /
                                      d.rows;
}

void BM_Pavimento(benchmark::State& state) {
  const Dimensioni d = DimensioniDi(state);
  const fs::path modello = Modello(d, Chiavi::kConChiavi);
  Verifica(kNostra, d, modello);
  const fs::path lavoro = Lavoro("pavimento");
  for (auto _ : state) {
    state.PauseTiming();
    CopiaNegozio(modello, lavoro);
    state.ResumeTiming();
    Pavimento(lavoro);
  }
  Contatori(state, d);
}

void Registra(benchmark::internal::Benchmark* b, const Dimensioni& d, int iterazioni) {
  b->Args({d.articoli, d.rows})
      ->ArgNames({"articoli", "righe"})
      ->Iterations(iterazioni)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

// The direct way and the floor first, size by size as before; then the other variants.
void Registra() {
  for (const Dimensioni& d : kDimensioni) {
    Registra(
        benchmark::RegisterBenchmark(std::string(kNostra.nome).c_str(),
                                     [](benchmark::State& state) { BM_Variante(state, kNostra); }),
        d, Iterazioni(kNostra, d.rows));
  }
  for (const Dimensioni& d : kDimensioni) {
    Registra(benchmark::RegisterBenchmark("pavimento", &BM_Pavimento), d,
             Iterazioni(kNostra, d.rows));
  }
  for (const Variante& v : kVarianti) {
    if (&v == &kNostra) {
      continue;
    }
    for (const Dimensioni& d : DimensioniDi(v)) {
      Registra(
          benchmark::RegisterBenchmark(std::string(v.nome).c_str(),
                                       [&v](benchmark::State& state) { BM_Variante(state, v); }),
          d, Iterazioni(v, d.rows));
    }
  }
}

// Prints what Google Benchmark prints and keeps the medians for the table.
class Riepilogo : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved output reads as text.
  Riepilogo() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        mediane_[{run.run_name.function_name, run.run_name.args}] = run;
      }
    }
  }

  // One row per variant and size measured; a ratio whose other side was not measured is "–".
  std::string Tabella() const {
    std::ostringstream out;
    out << "| articoli | righe | variante | tempo (ms) | rapporto col pavimento | rapporto con "
           "nostra | righe/s | istruzioni/riga | picco RSS (MiB) | crescita RSS (MiB) |\n"
        << "|---:|---:|:---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Dimensioni& d : kDimensioni) {
      const std::string args = fmt::format("articoli:{}/righe:{}", d.articoli, d.rows);
      const Run* pavimento = Mediana("pavimento", args);
      const Run* nostra = Mediana(kNostra.nome, args);
      for (const Variante& v : kVarianti) {
        const Run* run = Mediana(v.nome, args);
        if (run == nullptr) {
          continue;
        }
        const double ms = run->GetAdjustedRealTime();
        const auto rapporto = [ms](const Run* altro) {
          return altro == nullptr ? std::string("–")
                                  : fmt::format("{:.2f}", ms / altro->GetAdjustedRealTime());
        };
        const auto contatore = [run](const char* nome) {
          const auto c = run->counters.find(nome);
          return c == run->counters.end() ? 0.0 : c->second.value;
        };
        out << fmt::format(
            "| {} | {} | {} | {:.1f} | {} | {} | {:.0f} | {:.2f} | {:.1f} | {:.1f} |\n", d.articoli,
            d.rows, v.titolo, ms, rapporto(pavimento), run == nostra ? "–" : rapporto(nostra),
            contatore("righe/s"), contatore("istruzioni/riga"), contatore("picco_MiB"),
            contatore("crescita_MiB"));
      }
    }
    return out.str();
  }

 private:
  const Run* Mediana(std::string_view nome, const std::string& args) const {
    const auto trovata = mediane_.find({std::string(nome), args});
    return trovata == mediane_.end() ? nullptr : &trovata->second;
  }

  std::map<std::pair<std::string, std::string>, Run> mediane_;
};

// Takes "--nome=valore" out of the arguments; nothing when absent.
std::optional<std::string> Opzione(int& argc, char** argv, std::string_view nome) {
  const std::string prefisso = "--" + std::string(nome) + "=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(prefisso)) {
      std::string valore(arg.substr(prefisso.size()));
      for (int j = i; j + 1 < argc; ++j) {
        argv[j] = argv[j + 1];
      }
      --argc;
      return valore;
    }
  }
  return std::nullopt;
}

int Principale(int argc, char** argv) {
  g_programma = fs::read_symlink("/proc/self/exe");
  if (argc == 5 && std::string_view(argv[1]) == "verifica") {
    return CicloDaVerificare(argv[2], argv[3], argv[4]);
  }
  g_negozi = fs::absolute(
      Opzione(argc, argv, "negozi").value_or((g_programma.parent_path() / "negozi").string()));
  if (argc == 5 && std::string_view(argv[1]) == "profilo") {
    return Profilo(argv[2], {std::stoi(argv[3]), std::stoi(argv[4])});
  }
  const std::optional<std::string> tabella = Opzione(argc, argv, "tabella");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  Registra();
  Riepilogo riepilogo;
  benchmark::RunSpecifiedBenchmarks(&riepilogo);
  benchmark::Shutdown();
  const std::string testo = riepilogo.Tabella();
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
    return zav5::bench::Principale(argc, argv);
  } catch (const std::exception& errore) {
    std::cerr << "zav5_bench: " << errore.what() << "\n";
    return 1;
  }
}
