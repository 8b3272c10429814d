// The main window as drawn: its frame, every control with its place and look, and its menu. Front
// ends build the window from this description alone, and the window's data sources are created
// from its data controls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zav5::window {

// Name under which controls placed directly on the window give their container.
inline constexpr std::string_view kFinestra = "Form1";

enum class TipoControllo {
  kTimer,
  kPulsante,      // command button
  kElencoUnita,   // drive list
  kCasellaTesto,  // text box
  kRiquadro,      // frame: a container with a caption
  kCerchio,       // circle shape
  kEtichetta,     // label
  kDati,          // data control: a data source with a bar of its own
};

// True for the kinds that can take the keyboard focus, and so have a place in the tab order.
bool PrendeFuoco(TipoControllo tipo);

enum class Allineamento { kSinistra, kDestra, kCentro };

// Position and size in twips; left and top are relative to the container's client area.
struct Rettangolo {
  std::int32_t sinistra = 0;
  std::int32_t alto = 0;
  std::int32_t larghezza = 0;
  std::int32_t altezza = 0;

  std::int32_t Destra() const { return sinistra + larghezza; }
  std::int32_t Basso() const { return alto + altezza; }
  bool operator==(const Rettangolo&) const = default;
};

struct Carattere {
  std::string nome;
  double punti = 0;
  bool grassetto = false;
  bool operator==(const Carattere&) const = default;
};

struct Colore {
  std::uint8_t rosso = 0;
  std::uint8_t verde = 0;
  std::uint8_t blu = 0;
  bool operator==(const Colore&) const = default;
};

struct Controllo {
  std::string nome;
  // Index within a control array (c1(3), num(7)); absent for a control of its own.
  std::optional<int> indice;
  TipoControllo tipo = TipoControllo::kEtichetta;
  // Caption; for a text box, its text.
  std::string didascalia;
  Rettangolo posizione;
  // kFinestra, or the name of the frame that holds the control.
  std::string contenitore{kFinestra};
  // Absent: the window's font.
  std::optional<Carattere> carattere;
  Allineamento allineamento = Allineamento::kSinistra;
  // Solid fill of a shape; absent: the shape is not filled.
  std::optional<Colore> riempimento;
  // A label drawn over a shape lets the shape show around its text.
  bool sfondo_trasparente = false;
  // Place in the tab order, from 0; present exactly for the kinds that take the focus.
  std::optional<int> ordine_tab;
  bool visibile = true;
  bool abilitato = true;
  // Timers: milliseconds between ticks.
  int intervallo_ms = 0;
  // Command buttons: graphical style, showing a picture of their own above the caption.
  bool grafico = false;
  // Data controls: connect string of the engine; no database or query at design time.
  std::string connessione;
  // Handler run by the control's one event (a timer's tick, a button's click); empty: none.
  std::string gestore;
};

struct VoceMenu {
  std::string nome;
  std::string didascalia;
  bool visibile = true;
  // Handler run when the item is chosen; empty: choosing it does nothing.
  std::string gestore;
  std::vector<VoceMenu> voci;
};

enum class StileBordo { kNessuno, kFisso, kRidimensionabile, kDialogoFisso };

struct ModelloFinestra {
  std::string nome{kFinestra};
  std::string didascalia;
  StileBordo bordo = StileBordo::kDialogoFisso;
  bool casella_chiusura = false;
  bool pulsante_minimizza = false;
  bool pulsante_massimizza = false;
  bool in_barra_applicazioni = false;
  // Shown first in the middle of the screen.
  bool centrata = true;
  // Client area in twips (15 twips to a pixel on the store's screens).
  std::int32_t larghezza_interna = 0;
  std::int32_t altezza_interna = 0;
  // Side in pixels of the window's own icon; absent: the system's default icon.
  std::optional<int> lato_icona;
  // Font of every control that names none of its own.
  Carattere carattere;
  // Back to front: a control drawn later covers the ones before it where they meet. A frame
  // comes before the controls it holds.
  std::vector<Controllo> controlli;
  std::vector<VoceMenu> menu;

  // The control `nome` with index `indice` (none for a control that is not in an array), or
  // nullptr when the window has no such control. Names are matched exactly.
  const Controllo* Trova(std::string_view nome, std::optional<int> indice = std::nullopt) const;

  // The menu entry `nome` at any depth, or nullptr.
  const VoceMenu* TrovaVoce(std::string_view nome) const;

  // The controls held directly by `contenitore` (kFinestra or a frame's name), back to front;
  // empty for a name that holds nothing.
  std::vector<const Controllo*> Contenuti(std::string_view contenitore) const;

  // The data controls: one data source each, in the window's order.
  std::vector<const Controllo*> SorgentiDati() const;

  // The controls that take the focus, in tab order; the first one holds the focus when the
  // window opens.
  std::vector<const Controllo*> OrdineTabulazione() const;
};

// The main window Form1 as designed. Built once; lives for the whole program.
const ModelloFinestra& ProgettoForm1();

}  // namespace zav5::window
