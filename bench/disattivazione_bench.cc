// How long one offer's deactivation takes, against the floor: the same change made by a handful of
// set-based SQL statements in one transaction.
//
//   zav5_bench [--negozi=CARTELLA] [--tabella=FILE] [opzioni di Google Benchmark]
//   zav5_bench [--negozi=CARTELLA] profilo nostra|pavimento ARTICOLI RIGHE
//
// The synthetic stores are made once into CARTELLA (default: "negozi" beside the program) and
// copied before every deactivation, outside the timed region. For each size the program's result
// and the floor's are compared once (tables and import files); a difference stops the run. The
// peak resident memory of one deactivation is measured in a process of its own, which starts from
// the copied store and does nothing else. At the end a table in Markdown sums up each size:
// median times of the program ("nostra") and of the floor, their ratio, rows per second and
// memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
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

// The sizes measured: articles in the price list, rows of the offer.
const std::vector<Dimensioni> kDimensioni = {
    {100000, 100}, {100000, 1000}, {100000, 10000}, {10000, 100}, {10000, 1000}, {10000, 10000},
};

// Deactivations timed per repetition, by offer size: enough to steady the small ones.
int Iterazioni(int righe) {
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
fs::path Modello(const Dimensioni& d) {
  const fs::path cartella = g_negozi / ("v1_" + d.Nome());
  if (!fs::exists(cartella / "pronto")) {
    fs::remove_all(cartella);
    CreaNegozio(cartella, d);
    std::ofstream(cartella / "pronto") << "ok\n";
  }
  return cartella;
}

fs::path Lavoro(std::string_view nome) {
  return g_negozi / "lavoro" / nome;
}

// Runs the program's cycle on the store of `banco` and checks that it deactivated the offer.
void CicloNostro(Banco& banco) {
  if (banco.Ciclo() != cycle::EsitoCiclo::kOffertaDisattivata) {
    Interrompi("il ciclo non ha disattivato l'offerta");
  }
}

// Once per size: the program and the floor, each on a fresh copy, must leave the same store.
void Verifica(const Dimensioni& d, const fs::path& modello) {
  static std::set<std::string> verificate;
  if (!verificate.insert(d.Nome()).second) {
    return;
  }
  const fs::path nostra = Lavoro("verifica_nostra");
  const fs::path pavimento = Lavoro("verifica_pavimento");
  CopiaNegozio(modello, nostra);
  {
    Banco banco(nostra);
    CicloNostro(banco);
    if (banco.env().script_avviati().size() != 2) {
      Interrompi(fmt::format("{}: avviati {} script invece di 2", d.Nome(),
                             banco.env().script_avviati().size()));
    }
  }
  CopiaNegozio(modello, pavimento);
  if (const int righe = Pavimento(pavimento); righe != d.righe) {
    Interrompi(fmt::format("{}: il pavimento ha trovato {} righe", d.Nome(), righe));
  }
  if (Differenze(modello, nostra).empty()) {
    Interrompi(d.Nome() + ": la disattivazione non ha cambiato nulla");
  }
  const std::vector<std::string> differenze = Differenze(nostra, pavimento);
  if (!differenze.empty()) {
    std::string testo = d.Nome() + ": il programma e il pavimento finiscono in modo diverso:";
    for (const std::string& riga : differenze) {
      testo += "\n  " + riga;
    }
    Interrompi(testo);
  }
}

// The memory of one deactivation, in a process of its own: kB resident before the cycle (the
// program with the store database open) and at the peak.
struct Memoria {
  long base_kb = 0;
  long picco_kb = 0;
  long maxrss_kb = 0;
};

std::map<std::string, Memoria> g_memoria;

const Memoria& MisuraMemoria(const Dimensioni& d, const fs::path& modello) {
  if (const auto nota = g_memoria.find(d.Nome()); nota != g_memoria.end()) {
    return nota->second;
  }
  const std::string comando = fmt::format("'{}' memoria '{}' '{}'", g_programma.string(),
                                          modello.string(), Lavoro("memoria").string());
  FILE* figlio = ::popen(comando.c_str(), "r");
  if (figlio == nullptr) {
    Interrompi("misura della memoria non avviata: " + comando);
  }
  Memoria m;
  const int letti = std::fscanf(figlio, "%ld %ld %ld", &m.base_kb, &m.picco_kb, &m.maxrss_kb);
  if (::pclose(figlio) != 0 || letti != 3) {
    Interrompi("misura della memoria non riuscita: " + comando);
  }
  return g_memoria.emplace(d.Nome(), m).first->second;
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

// The child of MisuraMemoria: one deactivation on a fresh copy, nothing else.
int MemoriaDiUnCiclo(const fs::path& modello, const fs::path& lavoro) {
  CopiaNegozio(modello, lavoro);
  Banco banco(lavoro);
  banco.ApriDatabase();
  const long base = StatoKb("VmRSS");
  CicloNostro(banco);
  rusage uso{};
  ::getrusage(RUSAGE_SELF, &uso);
  std::cout << base << " " << StatoKb("VmHWM") << " " << uso.ru_maxrss << "\n";
  return 0;
}

// One deactivation, of the program or of the floor, on a fresh copy of the store of size `d`: for
// a profiler, e.g. valgrind --tool=callgrind --toggle-collect='zav5::bench::*Profilato*'.
void Profilato(std::string_view chi, const fs::path& lavoro) {
  if (chi == "pavimento") {
    Pavimento(lavoro);
    return;
  }
  Banco banco(lavoro);
  banco.ApriDatabase();
  CicloNostro(banco);
}

int Profilo(std::string_view chi, const Dimensioni& d) {
  if (chi != "nostra" && chi != "pavimento") {
    std::cerr << "zav5_bench profilo nostra|pavimento ARTICOLI RIGHE\n";
    return 2;
  }
  const fs::path lavoro = Lavoro("profilo");
  CopiaNegozio(Modello(d), lavoro);
  Profilato(chi, lavoro);
  return 0;
}

Dimensioni DimensioniDi(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
}

void Contatori(benchmark::State& state, const Dimensioni& d) {
  state.counters["righe/s"] =
      benchmark::Counter(d.righe, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Nostra(benchmark::State& state) {
  const Dimensioni d = DimensioniDi(state);
  const fs::path modello = Modello(d);
  Verifica(d, modello);
  const Memoria& memoria = MisuraMemoria(d, modello);
  const fs::path lavoro = Lavoro("nostra");
  for (auto _ : state) {
    state.PauseTiming();
    CopiaNegozio(modello, lavoro);
    auto banco = std::make_unique<Banco>(lavoro);
    banco->ApriDatabase();
    state.ResumeTiming();
    CicloNostro(*banco);
    state.PauseTiming();
    banco.reset();
    state.ResumeTiming();
  }
  Contatori(state, d);
  state.counters["picco_MiB"] = memoria.picco_kb / 1024.0;
  state.counters["crescita_MiB"] = (memoria.picco_kb - memoria.base_kb) / 1024.0;
}

void BM_Pavimento(benchmark::State& state) {
  const Dimensioni d = DimensioniDi(state);
  const fs::path modello = Modello(d);
  Verifica(d, modello);
  const fs::path lavoro = Lavoro("pavimento");
  for (auto _ : state) {
    state.PauseTiming();
    CopiaNegozio(modello, lavoro);
    state.ResumeTiming();
    Pavimento(lavoro);
  }
  Contatori(state, d);
}

void Registra() {
  for (const auto& [nome, funzione] :
       {std::pair{"nostra", &BM_Nostra}, std::pair{"pavimento", &BM_Pavimento}}) {
    for (const Dimensioni& d : kDimensioni) {
      benchmark::RegisterBenchmark(nome, funzione)
          ->Args({d.articoli, d.righe})
          ->ArgNames({"articoli", "righe"})
          ->Iterations(Iterazioni(d.righe))
          ->Repetitions(3)
          ->ReportAggregatesOnly(true)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
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

  std::string Tabella() const {
    std::ostringstream out;
    out << "| articoli | righe | nostra (ms) | pavimento (ms) | rapporto | righe/s (nostra) | "
           "picco RSS (MiB) | crescita RSS (MiB) |\n"
        << "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Dimensioni& d : kDimensioni) {
      const std::string args = fmt::format("articoli:{}/righe:{}", d.articoli, d.righe);
      const auto nostra = mediane_.find({"nostra", args});
      const auto pavimento = mediane_.find({"pavimento", args});
      if (nostra == mediane_.end() || pavimento == mediane_.end()) {
        continue;
      }
      const double ms_nostra = nostra->second.GetAdjustedRealTime();
      const double ms_pavimento = pavimento->second.GetAdjustedRealTime();
      const auto contatore = [&](const char* nome) {
        const auto c = nostra->second.counters.find(nome);
        return c == nostra->second.counters.end() ? 0.0 : c->second.value;
      };
      out << fmt::format("| {} | {} | {:.1f} | {:.1f} | {:.2f} | {:.0f} | {:.1f} | {:.1f} |\n",
                         d.articoli, d.righe, ms_nostra, ms_pavimento, ms_nostra / ms_pavimento,
                         contatore("righe/s"), contatore("picco_MiB"), contatore("crescita_MiB"));
    }
    return out.str();
  }

 private:
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
  if (argc == 4 && std::string_view(argv[1]) == "memoria") {
    return MemoriaDiUnCiclo(argv[2], argv[3]);
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
