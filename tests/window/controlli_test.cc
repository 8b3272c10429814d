// The main window as drawn: what an operator would see wrong on screen (controls cut off or on
// top of one another, wrong captions, a panel out of line) and what the program relies on (the
// data sources, the timer, the focus).

#include "window/controlli.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

namespace zav5::window {
namespace {

std::string Nome(const Controllo& c) {
  return c.indice ? c.nome + "(" + std::to_string(*c.indice) + ")" : c.nome;
}

bool SiToccano(const Rettangolo& a, const Rettangolo& b) {
  return a.sinistra < b.sinistra + b.larghezza && b.sinistra < a.sinistra + a.larghezza &&
         a.alto < b.alto + b.altezza && b.alto < a.alto + a.altezza;
}

// The only controls drawn over one another on purpose: each till number on its own circle, and
// the drive list that Frame1 covers.
bool SovrapposizioneVoluta(const Controllo& a, const Controllo& b) {
  auto numero_sul_cerchio = [](const Controllo& etichetta, const Controllo& cerchio) {
    return cerchio.nome == "c1" && cerchio.indice &&
           etichetta.nome == "Label" + std::to_string(*cerchio.indice);
  };
  auto unita_sotto_riquadro = [](const Controllo& x, const Controllo& y) {
    return x.nome == "Drive1" && y.nome == "Frame1";
  };
  return numero_sul_cerchio(a, b) || numero_sul_cerchio(b, a) || unita_sotto_riquadro(a, b) ||
         unita_sotto_riquadro(b, a);
}

TEST(ControlliTest, WindowFrameAsDesigned) {
  const ModelloFinestra& f = ProgettoForm1();
  EXPECT_EQ(f.nome, "Form1");
  EXPECT_EQ(f.didascalia, "B");
  EXPECT_EQ(f.bordo, StileBordo::kDialogoFisso);
  EXPECT_FALSE(f.pulsante_minimizza);
  EXPECT_FALSE(f.pulsante_massimizza);
  EXPECT_FALSE(f.in_barra_applicazioni);
  // Only Uscita ends the program.
  EXPECT_FALSE(f.casella_chiusura);
  EXPECT_EQ(f.larghezza_interna, 8880);
  EXPECT_EQ(f.altezza_interna, 7965);
  EXPECT_EQ(f.lato_icona, 32);
}

TEST(ControlliTest, EveryControlFitsInsideItsContainer) {
  const ModelloFinestra& f = ProgettoForm1();
  std::set<std::string> disegnati = {f.nome};
  for (const Controllo& c : f.controlli) {
    SCOPED_TRACE(Nome(c));
    // A front end creates each container before what it holds.
    ASSERT_TRUE(disegnati.count(c.contenitore)) << c.contenitore;
    std::int32_t larghezza = f.larghezza_interna;
    std::int32_t altezza = f.altezza_interna;
    if (c.contenitore != f.nome) {
      const Controllo* contenitore = f.Trova(c.contenitore);
      ASSERT_NE(contenitore, nullptr);
      EXPECT_EQ(contenitore->tipo, TipoControllo::kRiquadro);
      larghezza = contenitore->posizione.larghezza;
      altezza = contenitore->posizione.altezza;
    }
    EXPECT_GT(c.posizione.larghezza, 0);
    EXPECT_GT(c.posizione.altezza, 0);
    EXPECT_GE(c.posizione.sinistra, 0);
    EXPECT_GE(c.posizione.alto, 0);
    EXPECT_LE(c.posizione.Destra(), larghezza);
    EXPECT_LE(c.posizione.Basso(), altezza);
    if (c.tipo == TipoControllo::kRiquadro) {
      disegnati.insert(c.nome);
    }
  }
}

TEST(ControlliTest, SiblingsDoNotOverlapExceptTillNumbersOnTheirCircles) {
  const ModelloFinestra& f = ProgettoForm1();
  for (std::string_view contenitore : {std::string_view("Form1"), std::string_view("Frame1")}) {
    const std::vector<const Controllo*> fratelli = f.Contenuti(contenitore);
    ASSERT_FALSE(fratelli.empty()) << contenitore;
    for (std::size_t i = 0; i < fratelli.size(); ++i) {
      for (std::size_t j = i + 1; j < fratelli.size(); ++j) {
        const Controllo& a = *fratelli[i];
        const Controllo& b = *fratelli[j];
        if (!SovrapposizioneVoluta(a, b)) {
          EXPECT_FALSE(SiToccano(a.posizione, b.posizione)) << Nome(a) << " / " << Nome(b);
        }
      }
    }
  }
}

TEST(ControlliTest, DriveListKeepsItsPlaceUnderFrame1) {
  const ModelloFinestra& f = ProgettoForm1();
  const Controllo* unita = f.Trova("Drive1");
  const Controllo* riquadro = f.Trova("Frame1");
  ASSERT_NE(unita, nullptr);
  ASSERT_NE(riquadro, nullptr);
  EXPECT_EQ(unita->contenitore, "Form1");
  EXPECT_EQ(unita->posizione, (Rettangolo{720, 600, 735, 315}));
  // Back to front: the frame is drawn over it.
  EXPECT_LT(unita, riquadro);
}

TEST(ControlliTest, NamesAreUniquePerNameAndIndex) {
  const ModelloFinestra& f = ProgettoForm1();
  std::set<std::pair<std::string, std::optional<int>>> visti;
  std::map<std::string, std::set<int>> schiere;
  for (const Controllo& c : f.controlli) {
    EXPECT_TRUE(visti.insert({c.nome, c.indice}).second) << Nome(c);
    EXPECT_EQ(f.Trova(c.nome, c.indice), &c) << Nome(c);
    if (c.indice) {
      schiere[c.nome].insert(*c.indice);
    }
  }
  // A name is either a control array or a single control, never both.
  for (const Controllo& c : f.controlli) {
    EXPECT_EQ(schiere.count(c.nome) == 1, c.indice.has_value()) << Nome(c);
  }
  const std::set<int> uno_a_dieci = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(schiere, (std::map<std::string, std::set<int>>{
                         {"c1", uno_a_dieci}, {"num", uno_a_dieci}, {"pun", uno_a_dieci}}));
}

TEST(ControlliTest, LookUpOfAbsentControlsGivesNothing) {
  const ModelloFinestra& f = ProgettoForm1();
  EXPECT_EQ(f.Trova("ftp"), nullptr);
  EXPECT_EQ(f.Trova("Data3"), nullptr);
  EXPECT_EQ(f.Trova("command1"), nullptr);
  EXPECT_EQ(f.Trova("c1"), nullptr);
  EXPECT_EQ(f.Trova("c1", 0), nullptr);
  EXPECT_EQ(f.Trova("num", 11), nullptr);
  EXPECT_EQ(f.Trova("Command1", 1), nullptr);
  EXPECT_EQ(f.TrovaVoce("mPopHide"), nullptr);
  EXPECT_TRUE(f.Contenuti("nrposw").empty());
  EXPECT_TRUE(f.Contenuti("Frame2").empty());
}

TEST(ControlliTest, CaptionsAreExact) {
  const ModelloFinestra& f = ProgettoForm1();
  const std::vector<std::pair<std::string, std::string>> attese = {
      {"Command1", "Uscita"}, {"Frame1", "Numero Pos"}, {"nrposw", ""},
      {"Label1", "1"},        {"Label9", "9"},          {"Label10", "10"},
  };
  for (const auto& [nome, didascalia] : attese) {
    const Controllo* c = f.Trova(nome);
    ASSERT_NE(c, nullptr) << nome;
    EXPECT_EQ(c->didascalia, didascalia) << nome;
  }
  const Controllo* uscita = f.Trova("Command1");
  EXPECT_EQ(uscita->tipo, TipoControllo::kPulsante);
  EXPECT_TRUE(uscita->grafico);
}

TEST(ControlliTest, MenuCaptionsKeepTheirFourTrailingBlanksAndDoNothing) {
  const ModelloFinestra& f = ProgettoForm1();
  ASSERT_EQ(f.menu.size(), 1u);
  const VoceMenu& sys = f.menu[0];
  EXPECT_EQ(sys.nome, "mPopupSys");
  EXPECT_EQ(sys.didascalia, "&SysTray    ");
  ASSERT_EQ(sys.voci.size(), 2u);
  EXPECT_EQ(sys.voci[0].nome, "mPopRestore");
  EXPECT_EQ(sys.voci[0].didascalia, "&Restore    ");
  EXPECT_EQ(sys.voci[1].nome, "mPopExit");
  EXPECT_EQ(sys.voci[1].didascalia, "&Exit    ");
  for (const VoceMenu* v : {&sys, &sys.voci[0], &sys.voci[1]}) {
    EXPECT_EQ(f.TrovaVoce(v->nome), v);
    EXPECT_TRUE(v->gestore.empty()) << v->nome;
  }
  EXPECT_TRUE(sys.voci[0].voci.empty());
  EXPECT_TRUE(sys.voci[1].voci.empty());
}

TEST(ControlliTest, OnlyTheTimerAndTheExitButtonHaveHandlers) {
  std::map<std::string, std::string> gestori;
  for (const Controllo& c : ProgettoForm1().controlli) {
    if (!c.gestore.empty()) {
      gestori[Nome(c)] = c.gestore;
    }
  }
  EXPECT_EQ(gestori, (std::map<std::string, std::string>{{"Timer2", "Timer2_Timer"},
                                                         {"Command1", "Command1_Click"}}));
}

TEST(ControlliTest, TimerTicksEveryFiveSecondsFromTheStart) {
  const Controllo* timer = ProgettoForm1().Trova("Timer2");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->tipo, TipoControllo::kTimer);
  EXPECT_EQ(timer->intervallo_ms, 5000);
  EXPECT_TRUE(timer->abilitato);
}

TEST(ControlliTest, ExitButtonComesFirstInTheTabOrder) {
  const ModelloFinestra& f = ProgettoForm1();
  const std::vector<const Controllo*> ordine = f.OrdineTabulazione();
  ASSERT_FALSE(ordine.empty());
  EXPECT_EQ(ordine.front()->nome, "Command1");
  for (std::size_t i = 0; i < ordine.size(); ++i) {
    EXPECT_EQ(ordine[i]->ordine_tab, static_cast<int>(i)) << Nome(*ordine[i]);
  }
  // Every control that can take the focus has its place, and nothing else has one.
  for (const Controllo& c : f.controlli) {
    EXPECT_EQ(c.ordine_tab.has_value(), PrendeFuoco(c.tipo)) << Nome(c);
  }
  EXPECT_EQ(ordine.size(), 3u);
}

TEST(ControlliTest, TillNumberTextBox) {
  const Controllo* nrposw = ProgettoForm1().Trova("nrposw");
  ASSERT_NE(nrposw, nullptr);
  EXPECT_EQ(nrposw->tipo, TipoControllo::kCasellaTesto);
  EXPECT_EQ(nrposw->contenitore, "Frame1");
  EXPECT_EQ(nrposw->posizione, (Rettangolo{240, 840, 975, 405}));
  EXPECT_EQ(nrposw->carattere, (Carattere{"MS Sans Serif", 12, false}));
}

TEST(ControlliTest, ControlsOfTheDrawingKeepTheirPlaces) {
  const ModelloFinestra& f = ProgettoForm1();
  const std::vector<std::pair<std::string, Rettangolo>> attesi = {
      {"Frame1", {120, 120, 5295, 6495}},
      {"Command1", {120, 6720, 8655, 1095}},
  };
  for (const auto& [nome, posizione] : attesi) {
    const Controllo* c = f.Trova(nome);
    ASSERT_NE(c, nullptr) << nome;
    EXPECT_EQ(c->posizione, posizione) << nome;
    EXPECT_EQ(c->contenitore, "Form1") << nome;
  }
  EXPECT_EQ(f.Trova("Frame1")->carattere, (Carattere{"MS Sans Serif", 9.75, true}));
}

TEST(ControlliTest, TillPanelHasTenRowsSixHundredApart) {
  const ModelloFinestra& f = ProgettoForm1();
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE(i);
    const Controllo* cerchio = f.Trova("c1", i);
    const Controllo* numero = f.Trova("Label" + std::to_string(i));
    const Controllo* num = f.Trova("num", i);
    const Controllo* pun = f.Trova("pun", i);
    ASSERT_TRUE(cerchio && numero && num && pun);
    for (const Controllo* c : {cerchio, numero, num, pun}) {
      EXPECT_EQ(c->contenitore, "Frame1") << Nome(*c);
    }

    const Rettangolo& o = cerchio->posizione;
    EXPECT_EQ(cerchio->tipo, TipoControllo::kCerchio);
    EXPECT_EQ(o.alto, 480 + 600 * (i - 1));
    EXPECT_EQ(o.larghezza, 405);
    EXPECT_EQ(o.altezza, 405);
    EXPECT_EQ(o.sinistra, f.Trova("c1", 1)->posizione.sinistra);
    EXPECT_EQ(cerchio->riempimento, (Colore{224, 224, 224}));

    // The till number is centred on its circle, over it, and lets it show around the text.
    const Rettangolo& n = numero->posizione;
    EXPECT_EQ(numero->tipo, TipoControllo::kEtichetta);
    EXPECT_EQ(2 * n.sinistra + n.larghezza, 2 * o.sinistra + o.larghezza);
    EXPECT_EQ(2 * n.alto + n.altezza, 2 * o.alto + o.altezza);
    EXPECT_EQ(numero->allineamento, Allineamento::kCentro);
    EXPECT_TRUE(numero->sfondo_trasparente);
    EXPECT_LT(cerchio, numero);
    EXPECT_EQ(numero->carattere, (Carattere{"MS Sans Serif", 8.25, true}));

    // num beside the circle on the upper half of the row, pun under it.
    const Rettangolo& su = num->posizione;
    const Rettangolo& giu = pun->posizione;
    EXPECT_EQ(num->tipo, TipoControllo::kEtichetta);
    EXPECT_EQ(pun->tipo, TipoControllo::kEtichetta);
    EXPECT_GE(su.sinistra, o.Destra());
    EXPECT_EQ(giu.sinistra, su.sinistra);
    EXPECT_GE(su.alto, o.alto);
    EXPECT_LE(2 * su.alto + su.altezza, 2 * o.alto + o.altezza);
    EXPECT_GE(giu.alto, su.Basso());
    EXPECT_LE(giu.Basso(), o.alto + 600);
  }
}

TEST(ControlliTest, TwentyCountersShowSevenZeros) {
  int zeri = 0;
  for (const Controllo& c : ProgettoForm1().controlli) {
    if (c.didascalia == "0000000") {
      ++zeri;
      EXPECT_TRUE(c.nome == "num" || c.nome == "pun") << Nome(c);
      EXPECT_TRUE(c.visibile) << Nome(c);
    }
  }
  EXPECT_EQ(zeri, 20);
}

TEST(ControlliTest, TwentyDataSourcesWithTheirCaptionsAndContainers) {
  struct Attesa {
    std::string contenitore;
    std::string didascalia;
  };
  const std::map<std::string, Attesa> attese = {
      {"var", {"Form1", "Data3"}},      {"var2", {"Form1", "Data3"}},
      {"Semafori", {"Form1", "Data2"}}, {"Data2", {"Form1", "Data3"}},
      {"listipro", {"Form1", "Data3"}}, {"data3", {"Frame1", "Data3"}},
      {"elettro", {"Form1", "Data4"}},  {"Data1", {"Form1", "Data1"}},
      {"listi01", {"Form1", "Data2"}},  {"unita2", {"Frame1", "Data3"}},
      {"offtab", {"Frame1", "Data3"}},  {"codean2", {"Form1", "Data3"}},
      {"codean", {"Form1", "Data3"}},   {"variab2", {"Frame1", "Data3"}},
      {"ivadb", {"Frame1", "Data3"}},   {"variab", {"Frame1", "Data3"}},
      {"numeri", {"Frame1", "Data3"}},  {"carteTX", {"Frame1", "Data3"}},
      {"caselle", {"Form1", "Data4"}},  {"articoli", {"Form1", "Data2"}},
  };
  const ModelloFinestra& f = ProgettoForm1();
  const std::vector<const Controllo*> sorgenti = f.SorgentiDati();
  ASSERT_EQ(sorgenti.size(), attese.size());
  std::set<std::string> viste;
  for (const Controllo* c : sorgenti) {
    SCOPED_TRACE(Nome(*c));
    const auto attesa = attese.find(c->nome);
    ASSERT_NE(attesa, attese.end());
    EXPECT_TRUE(viste.insert(c->nome).second);
    EXPECT_EQ(c->tipo, TipoControllo::kDati);
    EXPECT_FALSE(c->indice.has_value());
    EXPECT_EQ(c->contenitore, attesa->second.contenitore);
    EXPECT_EQ(c->didascalia, attesa->second.didascalia);
    EXPECT_EQ(c->connessione, "Access 2000;");
    EXPECT_TRUE(c->visibile);
  }
  // The window creates its data sources from this list and from nothing else.
  for (const Controllo& c : f.controlli) {
    EXPECT_EQ(c.tipo == TipoControllo::kDati, viste.count(c.nome) == 1) << Nome(c);
  }
}

}  // namespace
}  // namespace zav5::window
