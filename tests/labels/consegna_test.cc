#include "labels/consegna.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"

namespace zav5::labels {
namespace {

using namespace std::chrono_literals;

constexpr platform::LocalTime kPreparata =
    std::chrono::local_days{std::chrono::year{2026} / 12 / 7} + 11h + 49min + 30s;

// Every field away from its default, so that a field the text forgets cannot come back by chance.
Consegna Esempio() {
  Consegna c;
  c.sequence = 17;
  c.negozio = "C:\\negozi\\negozio1.mdb";
  c.offerta = 101;
  c.anno = 2026;
  c.sistema = {"C:\\sulvo\\esl\\", Tracciato::kFileUnico, "ESL"};
  c.script = true;
  c.preparata = kPreparata;
  c.state = StatoConsegna::kConfermata;
  c.file = {{TipoImport::kPrezzi, "C:\\sulvo\\\\Import_VPA_20261207114930.txt", true},
            {TipoImport::kPromozioni, "C:\\sulvo\\\\Import_PRO_20261207114930.txt", false},
            {TipoImport::kUnico, "", false}};
  c.avviato = true;
  return c;
}

void ExpectUguali(const Consegna& letta, const Consegna& attesa) {
  EXPECT_EQ(letta.sequence, attesa.sequence);
  EXPECT_EQ(letta.negozio, attesa.negozio);
  EXPECT_EQ(letta.offerta, attesa.offerta);
  EXPECT_EQ(letta.anno, attesa.anno);
  EXPECT_EQ(letta.sistema.cartella, attesa.sistema.cartella);
  EXPECT_EQ(letta.sistema.tracciato, attesa.sistema.tracciato);
  EXPECT_EQ(letta.sistema.prefisso, attesa.sistema.prefisso);
  EXPECT_EQ(letta.script, attesa.script);
  EXPECT_EQ(letta.preparata, attesa.preparata);
  EXPECT_EQ(letta.state, attesa.state);
  ASSERT_EQ(letta.file.size(), attesa.file.size());
  for (std::size_t i = 0; i < letta.file.size(); ++i) {
    EXPECT_EQ(letta.file[i].tipo, attesa.file[i].tipo) << "file " << i;
    EXPECT_EQ(letta.file[i].nome, attesa.file[i].nome) << "file " << i;
    EXPECT_EQ(letta.file[i].posto, attesa.file[i].posto) << "file " << i;
  }
  EXPECT_EQ(letta.avviato, attesa.avviato);
}

// `testo` with its first `vecchio` replaced by `nuovo`.
std::string Sostituito(std::string testo, std::string_view vecchio, std::string_view nuovo) {
  const std::size_t dove = testo.find(vecchio);
  EXPECT_NE(dove, std::string::npos) << vecchio;
  if (dove != std::string::npos) {
    testo.replace(dove, vecchio.size(), nuovo);
  }
  return testo;
}

TEST(ConsegnaTest, EveryFieldComesBackWhateverItsValuesHold) {
  // Values that the text form itself uses (%, =, line ends), blanks a reader could trim, the
  // store's accented letters, and an escape written literally.
  const std::vector<std::string> scomodi = {
      "100%",   "a\rb",        "a\nb", "fine\r\n", "x=y=z", "  due spazi  ", "perché €",
      "%0A%25", "%",           "",     "=",        " ",     "C:\\a b\\",     "\xF0\x9F\x98\x80",
      "%2",     "riga\n%0D=\r"};
  for (const std::string& valore : scomodi) {
    SCOPED_TRACE(testing::PrintToString(valore));
    Consegna c = Esempio();
    c.negozio = valore;
    c.sistema.cartella = valore;
    c.sistema.prefisso = valore + "P";
    c.file[0].nome = valore;
    c.file[1].nome = "X" + valore;
    const std::string testo = TestoConsegna(c);
    ExpectUguali(LeggiConsegna(testo), c);
    // One field a line: every CR and LF of a value is written as an escape.
    EXPECT_EQ(std::count(testo.begin(), testo.end(), '\n'), 1 + 11 + 3);
    EXPECT_EQ(testo.find('\r'), std::string::npos);
  }
}

TEST(ConsegnaTest, NumbersFlagsKindsAndStatesComeBackAtTheirLimits) {
  struct Caso {
    std::uint64_t numero;
    std::int32_t offerta;
    std::int32_t anno;
    Tracciato tracciato;
    bool script;
    StatoConsegna stato;
    bool avviato;
  };
  const Caso casi[] = {
      {1, 0, 0, Tracciato::kDueFile, false, StatoConsegna::kPreparata, false},
      {std::numeric_limits<std::uint64_t>::max(), std::numeric_limits<std::int32_t>::max(),
       std::numeric_limits<std::int32_t>::min(), Tracciato::kFileUnico, true,
       StatoConsegna::kConfermata, true},
      {99999999, -1, 2026, Tracciato::kDueFile, true, StatoConsegna::kConfermata, false},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.numero);
    Consegna c = Esempio();
    c.sequence = caso.numero;
    c.offerta = caso.offerta;
    c.anno = caso.anno;
    c.sistema.tracciato = caso.tracciato;
    c.script = caso.script;
    c.state = caso.stato;
    c.avviato = caso.avviato;
    ExpectUguali(LeggiConsegna(TestoConsegna(c)), c);
  }
  Consegna senza_file = Esempio();
  senza_file.file.clear();
  ExpectUguali(LeggiConsegna(TestoConsegna(senza_file)), senza_file);
}

TEST(ConsegnaTest, EveryTruncationOfARecordIsRefused) {
  // A record cut anywhere by a crash, at a line end included, is never taken for a shorter one.
  const std::string testo = TestoConsegna(Esempio());
  for (std::size_t lunghezza = 0; lunghezza < testo.size(); ++lunghezza) {
    EXPECT_THROW(LeggiConsegna(testo.substr(0, lunghezza)), Errore) << lunghezza;
  }
}

TEST(ConsegnaTest, EveryMissingFieldIsNamed) {
  const std::string testo = TestoConsegna(Esempio());
  for (const std::string_view campo :
       {"numero", "negozio", "offerta", "anno", "cartella", "tracciato", "prefisso", "script",
        "preparata", "stato", "avviato"}) {
    SCOPED_TRACE(campo);
    const std::size_t inizio = testo.find("\n" + std::string(campo) + "=") + 1;
    ASSERT_NE(inizio, 0u);
    std::string senza = testo;
    senza.erase(inizio, testo.find('\n', inizio) + 1 - inizio);
    try {
      LeggiConsegna(senza);
      ADD_FAILURE() << "read without " << campo;
    } catch (const Errore& errore) {
      EXPECT_NE(std::string(errore.what()).find(campo), std::string::npos) << errore.what();
    }
  }
}

TEST(ConsegnaTest, CorruptValuesAreRefusedNamingWhatIsWrong) {
  const std::string testo = TestoConsegna(Esempio());
  struct Caso {
    std::string_view vecchio;
    std::string_view nuovo;
    std::string_view nel_messaggio;
  };
  const Caso casi[] = {
      {"zav5 consegna 1\n", "", "registro"},
      {"zav5 consegna 1\n", "zav5 consegna 2\n", "registro"},
      {"zav5 consegna 1\n", "ZAV5 CONSEGNA 1\n", "registro"},
      {"numero=17\n", "numero=-17\n", "numero"},
      {"numero=17\n", "numero=+17\n", "numero"},
      {"numero=17\n", "numero=17a\n", "numero"},
      {"numero=17\n", "numero= 17\n", "numero"},
      {"offerta=101\n", "offerta=\n", "offerta"},
      {"offerta=101\n", "offerta=99999999999\n", "offerta"},
      {"anno=2026\n", "anno=2026.0\n", "anno"},
      {"tracciato=1\n", "tracciato=2\n", "tracciato"},
      {"script=1\n", "script=si\n", "script"},
      {"avviato=1\n", "avviato=\n", "avviato"},
      {"preparata=20261207114930\n", "preparata=20261307114930\n", "preparata"},
      {"preparata=20261207114930\n", "preparata=2026120711493\n", "preparata"},
      {"stato=confermata\n", "stato=consegnata\n", "consegnata"},
      {"stato=confermata\n", "stato=Confermata\n", "Confermata"},
      {"file=VPA 1 ", "file=XYZ 1 ", "XYZ"},
      {"file=VPA 1 ", "file=vpa 1 ", "vpa"},
      {"file=VPA 1 ", "file=VPA 2 ", "file"},
      {"file=VPA 1 ", "file=VPA1 ", "file"},
      {"file=UNI 0 \n", "file=UNI\n", "file"},
      {"negozio=C:", "negozio=%0a", "%0a"},
      {"negozio=C:", "negozio=%ZZ", "%ZZ"},
      {"negozio=C:\\negozi\\negozio1.mdb\n", "negozio=C:%2\n", "%"},
      {"negozio=C:\\negozi\\negozio1.mdb\n", "negozio=C:%\n", "%"},
      {"negozio=C:\\negozi\\negozio1.mdb\n", "negozio C:\\negozi\\negozio1.mdb\n", "="},
      {"avviato=1\n", "avviato=1\r\n", "avviato"},
  };
  for (const Caso& caso : casi) {
    const std::string guasto = Sostituito(testo, caso.vecchio, caso.nuovo);
    SCOPED_TRACE(guasto);
    try {
      LeggiConsegna(guasto);
      ADD_FAILURE() << "read";
    } catch (const Errore& errore) {
      EXPECT_NE(std::string(errore.what()).find(caso.nel_messaggio), std::string::npos)
          << errore.what();
    }
  }
}

}  // namespace
}  // namespace zav5::labels
