#include "window/controlli.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace zav5::window {

namespace {

constexpr std::string_view kFrame1 = "Frame1";
constexpr std::string_view kConnessione = "Access 2000;";
constexpr std::string_view kSansSerif = "MS Sans Serif";
constexpr std::string_view kZeri = "0000000";

// The till panel: one row per till, the circle at the left, the label with the till number on
// it, and the two counters beside it (num on the upper half, pun under it).
constexpr int kCasse = 10;
constexpr std::int32_t kPrimaRiga = 480;
constexpr std::int32_t kPassoRiga = 600;
constexpr std::int32_t kSinistraCerchio = 1440;
constexpr std::int32_t kDiametro = 405;
constexpr std::int32_t kAltezzaEtichetta = 195;
constexpr std::int32_t kSinistraContatori = 1965;
constexpr std::int32_t kLarghezzaContatori = 975;

// Where a data control sits matters only to the eye: they are stacked in columns clear of
// everything else, those in Frame1 to the right of the till panel, those on the window between
// Frame1 and the window's right edge, above Command1.
struct Colonna {
  std::int32_t sinistra;
  std::int32_t primo_alto;
  std::int32_t larghezza;
  std::int32_t passo;
};
constexpr std::int32_t kAltezzaDati = 345;
constexpr Colonna kColonnaDatiRiquadro = {3120, 510, 1935, 600};
constexpr Colonna kColonnaDatiFinestra = {5640, 240, 3135, 480};

std::int32_t AltoRiga(int cassa) {
  return kPrimaRiga + (cassa - 1) * kPassoRiga;
}

Controllo Base(std::string_view nome, TipoControllo tipo, Rettangolo posizione,
               std::string_view contenitore = kFinestra) {
  Controllo c;
  c.nome = nome;
  c.tipo = tipo;
  c.posizione = posizione;
  c.contenitore = contenitore;
  return c;
}

Carattere SansSerif(double punti, bool grassetto) {
  return {std::string(kSansSerif), punti, grassetto};
}

void AggiungiPannelloCasse(std::vector<Controllo>& controlli) {
  for (int i = 1; i <= kCasse; ++i) {
    Controllo cerchio = Base("c1", TipoControllo::kCerchio,
                             {kSinistraCerchio, AltoRiga(i), kDiametro, kDiametro}, kFrame1);
    cerchio.indice = i;
    cerchio.riempimento = Colore{224, 224, 224};
    controlli.push_back(std::move(cerchio));
  }
  // Same width as the circle and centred text, at the circle's middle height: the number sits
  // in the middle of its circle.
  for (int i = 1; i <= kCasse; ++i) {
    Controllo numero = Base("Label" + std::to_string(i), TipoControllo::kEtichetta,
                            {kSinistraCerchio, AltoRiga(i) + (kDiametro - kAltezzaEtichetta) / 2,
                             kDiametro, kAltezzaEtichetta},
                            kFrame1);
    numero.didascalia = std::to_string(i);
    numero.carattere = SansSerif(8.25, true);
    numero.allineamento = Allineamento::kCentro;
    numero.sfondo_trasparente = true;
    controlli.push_back(std::move(numero));
  }
  const std::array<std::pair<std::string_view, std::int32_t>, 2> contatori = {{
      {"num", 0},
      {"pun", kDiametro - kAltezzaEtichetta},
  }};
  for (const auto& [nome, scarto] : contatori) {
    for (int i = 1; i <= kCasse; ++i) {
      Controllo c =
          Base(nome, TipoControllo::kEtichetta,
               {kSinistraContatori, AltoRiga(i) + scarto, kLarghezzaContatori, kAltezzaEtichetta},
               kFrame1);
      c.indice = i;
      c.didascalia = kZeri;
      controlli.push_back(std::move(c));
    }
  }
}

// The window's data sources with the captions on their bars, in the order the window creates
// them, and whether they sit inside Frame1.
struct Sorgente {
  std::string_view nome;
  std::string_view didascalia;
  bool nel_riquadro;
};

constexpr std::array<Sorgente, 20> kSorgenti = {{
    {"var", "Data3", false},     {"var2", "Data3", false},     {"Semafori", "Data2", false},
    {"Data2", "Data3", false},   {"listipro", "Data3", false}, {"data3", "Data3", true},
    {"elettro", "Data4", false}, {"Data1", "Data1", false},    {"listi01", "Data2", false},
    {"unita2", "Data3", true},   {"offtab", "Data3", true},    {"codean2", "Data3", false},
    {"codean", "Data3", false},  {"variab2", "Data3", true},   {"ivadb", "Data3", true},
    {"variab", "Data3", true},   {"numeri", "Data3", true},    {"carteTX", "Data3", true},
    {"caselle", "Data4", false}, {"articoli", "Data2", false},
}};

void AggiungiSorgentiDati(std::vector<Controllo>& controlli) {
  int nel_riquadro = 0;
  int sulla_finestra = 0;
  for (const Sorgente& s : kSorgenti) {
    const Colonna& colonna = s.nel_riquadro ? kColonnaDatiRiquadro : kColonnaDatiFinestra;
    int& posto = s.nel_riquadro ? nel_riquadro : sulla_finestra;
    Controllo c = Base(s.nome, TipoControllo::kDati,
                       {colonna.sinistra, colonna.primo_alto + posto * colonna.passo,
                        colonna.larghezza, kAltezzaDati},
                       s.nel_riquadro ? kFrame1 : kFinestra);
    ++posto;
    c.didascalia = s.didascalia;
    c.connessione = kConnessione;
    controlli.push_back(std::move(c));
  }
}

// The window carries no FTP control: nothing in the program would call it.
ModelloFinestra Costruisci() {
  ModelloFinestra f;
  f.didascalia = "B";
  f.larghezza_interna = 8880;
  f.altezza_interna = 7965;
  f.lato_icona = 32;
  f.carattere = SansSerif(8.25, false);

  std::vector<Controllo>& c = f.controlli;

  // Invisible at run time; placed clear of the rest all the same, for a front end that shows it.
  Controllo timer = Base("Timer2", TipoControllo::kTimer, {5640, 6120, 420, 420});
  timer.intervallo_ms = 5000;
  timer.gestore = "Timer2_Timer";
  c.push_back(std::move(timer));

  // Drawn under Frame1, which covers it: the program only reads its current drive.
  Controllo unita = Base("Drive1", TipoControllo::kElencoUnita, {720, 600, 735, 315});
  unita.ordine_tab = 1;
  c.push_back(std::move(unita));

  Controllo riquadro = Base(kFrame1, TipoControllo::kRiquadro, {120, 120, 5295, 6495});
  riquadro.didascalia = "Numero Pos";
  riquadro.carattere = SansSerif(9.75, true);
  c.push_back(std::move(riquadro));

  Controllo nrposw = Base("nrposw", TipoControllo::kCasellaTesto, {240, 840, 975, 405}, kFrame1);
  nrposw.carattere = SansSerif(12, false);
  nrposw.ordine_tab = 2;
  c.push_back(std::move(nrposw));

  AggiungiPannelloCasse(c);

  // First in the tab order so that it holds the focus when the window opens.
  Controllo uscita = Base("Command1", TipoControllo::kPulsante, {120, 6720, 8655, 1095});
  uscita.didascalia = "Uscita";
  uscita.grafico = true;
  uscita.ordine_tab = 0;
  uscita.gestore = "Command1_Click";
  c.push_back(std::move(uscita));

  AggiungiSorgentiDati(c);

  // A notification-area menu that the program never opens: hidden, so the window shows no menu
  // bar whose items do nothing.
  VoceMenu sys{"mPopupSys", "&SysTray    ", false, "", {}};
  sys.voci.push_back({"mPopRestore", "&Restore    ", true, "", {}});
  sys.voci.push_back({"mPopExit", "&Exit    ", true, "", {}});
  f.menu.push_back(std::move(sys));
  return f;
}

const VoceMenu* TrovaIn(const std::vector<VoceMenu>& voci, std::string_view nome) {
  for (const VoceMenu& v : voci) {
    if (v.nome == nome) {
      return &v;
    }
    if (const VoceMenu* trovata = TrovaIn(v.voci, nome)) {
      return trovata;
    }
  }
  return nullptr;
}

std::vector<const Controllo*> Filtra(const std::vector<Controllo>& controlli,
                                     const std::function<bool(const Controllo&)>& scelta) {
  std::vector<const Controllo*> scelti;
  for (const Controllo& c : controlli) {
    if (scelta(c)) {
      scelti.push_back(&c);
    }
  }
  return scelti;
}

}  // namespace

bool PrendeFuoco(TipoControllo tipo) {
  return tipo == TipoControllo::kPulsante || tipo == TipoControllo::kElencoUnita ||
         tipo == TipoControllo::kCasellaTesto;
}

const Controllo* ModelloFinestra::Trova(std::string_view nome, std::optional<int> indice) const {
  for (const Controllo& c : controlli) {
    if (c.nome == nome && c.indice == indice) {
      return &c;
    }
  }
  return nullptr;
}

const VoceMenu* ModelloFinestra::TrovaVoce(std::string_view nome) const {
  return TrovaIn(menu, nome);
}

std::vector<const Controllo*> ModelloFinestra::Contenuti(std::string_view contenitore) const {
  return Filtra(controlli, [&](const Controllo& c) { return c.contenitore == contenitore; });
}

std::vector<const Controllo*> ModelloFinestra::SorgentiDati() const {
  return Filtra(controlli, [](const Controllo& c) { return c.tipo == TipoControllo::kDati; });
}

std::vector<const Controllo*> ModelloFinestra::OrdineTabulazione() const {
  std::vector<const Controllo*> ordine =
      Filtra(controlli, [](const Controllo& c) { return c.ordine_tab.has_value(); });
  std::stable_sort(ordine.begin(), ordine.end(), [](const Controllo* a, const Controllo* b) {
    return *a->ordine_tab < *b->ordine_tab;
  });
  return ordine;
}

const ModelloFinestra& ProgettoForm1() {
  static const ModelloFinestra progetto = Costruisci();
  return progetto;
}

}  // namespace zav5::window
