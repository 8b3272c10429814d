#include "labels/delivery.h"

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

constexpr platform::LocalTime kPrepared =
    std::chrono::local_days{std::chrono::year{2026} / 12 / 7} + 11h + 49min + 30s;

// Every field away from its default, so that a field the text forgets cannot come back by chance.
Delivery Sample() {
  Delivery c;
  c.sequence = 17;
  c.store = "C:\\negozi\\negozio1.mdb";
  c.offer = 101;
  c.anno = 2026;
  c.system = {"C:\\sulvo\\esl\\", FileLayout::kOneFile, "ESL"};
  c.script = true;
  c.prepared_at = kPrepared;
  c.state = DeliveryState::kConfirmed;
  c.file = {{ImportKind::kPrices, "C:\\sulvo\\\\Import_VPA_20261207114930.txt", true},
            {ImportKind::kPromotions, "C:\\sulvo\\\\Import_PRO_20261207114930.txt", false},
            {ImportKind::kSingle, "", false}};
  c.script_started = true;
  return c;
}

void ExpectSame(const Delivery& letta, const Delivery& attesa) {
  EXPECT_EQ(letta.sequence, attesa.sequence);
  EXPECT_EQ(letta.store, attesa.store);
  EXPECT_EQ(letta.offer, attesa.offer);
  EXPECT_EQ(letta.anno, attesa.anno);
  EXPECT_EQ(letta.system.folder, attesa.system.folder);
  EXPECT_EQ(letta.system.layout, attesa.system.layout);
  EXPECT_EQ(letta.system.prefix, attesa.system.prefix);
  EXPECT_EQ(letta.script, attesa.script);
  EXPECT_EQ(letta.prepared_at, attesa.prepared_at);
  EXPECT_EQ(letta.state, attesa.state);
  ASSERT_EQ(letta.file.size(), attesa.file.size());
  for (std::size_t i = 0; i < letta.file.size(); ++i) {
    EXPECT_EQ(letta.file[i].kind, attesa.file[i].kind) << "file " << i;
    EXPECT_EQ(letta.file[i].name, attesa.file[i].name) << "file " << i;
    EXPECT_EQ(letta.file[i].placed, attesa.file[i].placed) << "file " << i;
  }
  EXPECT_EQ(letta.script_started, attesa.script_started);
}

// `testo` with its first `vecchio` replaced by `nuovo`.
std::string Replaced(std::string testo, std::string_view vecchio, std::string_view nuovo) {
  const std::size_t dove = testo.find(vecchio);
  EXPECT_NE(dove, std::string::npos) << vecchio;
  if (dove != std::string::npos) {
    testo.replace(dove, vecchio.size(), nuovo);
  }
  return testo;
}

TEST(DeliveryTest, EveryFieldComesBackWhateverItsValuesHold) {
  // Values that the text form itself uses (%, =, line ends), blanks a reader could trim, the
  // store's accented letters, and an escape written literally.
  const std::vector<std::string> scomodi = {
      "100%",   "a\rb",        "a\nb", "fine\r\n", "x=y=z", "  due spazi  ", "perché €",
      "%0A%25", "%",           "",     "=",        " ",     "C:\\a b\\",     "\xF0\x9F\x98\x80",
      "%2",     "riga\n%0D=\r"};
  for (const std::string& valore : scomodi) {
    SCOPED_TRACE(testing::PrintToString(valore));
    Delivery c = Sample();
    c.store = valore;
    c.system.folder = valore;
    c.system.prefix = valore + "P";
    c.file[0].name = valore;
    c.file[1].name = "X" + valore;
    const std::string testo = DeliveryText(c);
    ExpectSame(ParseDelivery(testo), c);
    // One field a line: every CR and LF of a value is written as an escape.
    EXPECT_EQ(std::count(testo.begin(), testo.end(), '\n'), 1 + 11 + 3);
    EXPECT_EQ(testo.find('\r'), std::string::npos);
  }
}

TEST(DeliveryTest, NumbersFlagsKindsAndStatesComeBackAtTheirLimits) {
  struct Caso {
    std::uint64_t numero;
    std::int32_t offer;
    std::int32_t anno;
    FileLayout layout;
    bool script;
    DeliveryState stato;
    bool script_started;
  };
  const Caso casi[] = {
      {1, 0, 0, FileLayout::kTwoFiles, false, DeliveryState::kPrepared, false},
      {std::numeric_limits<std::uint64_t>::max(), std::numeric_limits<std::int32_t>::max(),
       std::numeric_limits<std::int32_t>::min(), FileLayout::kOneFile, true,
       DeliveryState::kConfirmed, true},
      {99999999, -1, 2026, FileLayout::kTwoFiles, true, DeliveryState::kConfirmed, false},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.numero);
    Delivery c = Sample();
    c.sequence = caso.numero;
    c.offer = caso.offer;
    c.anno = caso.anno;
    c.system.layout = caso.layout;
    c.script = caso.script;
    c.state = caso.stato;
    c.script_started = caso.script_started;
    ExpectSame(ParseDelivery(DeliveryText(c)), c);
  }
  Delivery senza_file = Sample();
  senza_file.file.clear();
  ExpectSame(ParseDelivery(DeliveryText(senza_file)), senza_file);
}

TEST(DeliveryTest, EveryTruncationOfARecordIsRefused) {
  // A record cut anywhere by a crash, at a line end included, is never taken for a shorter one.
  const std::string testo = DeliveryText(Sample());
  for (std::size_t lunghezza = 0; lunghezza < testo.size(); ++lunghezza) {
    EXPECT_THROW(ParseDelivery(testo.substr(0, lunghezza)), Error) << lunghezza;
  }
}

TEST(DeliveryTest, EveryMissingFieldIsNamed) {
  const std::string testo = DeliveryText(Sample());
  for (const std::string_view campo :
       {"numero", "negozio", "offerta", "anno", "cartella", "tracciato", "prefisso", "script",
        "preparata", "stato", "avviato"}) {
    SCOPED_TRACE(campo);
    const std::size_t inizio = testo.find("\n" + std::string(campo) + "=") + 1;
    ASSERT_NE(inizio, 0u);
    std::string senza = testo;
    senza.erase(inizio, testo.find('\n', inizio) + 1 - inizio);
    try {
      ParseDelivery(senza);
      ADD_FAILURE() << "read without " << campo;
    } catch (const Error& errore) {
      EXPECT_NE(std::string(errore.what()).find(campo), std::string::npos) << errore.what();
    }
  }
}

TEST(DeliveryTest, CorruptValuesAreRefusedNamingWhatIsWrong) {
  const std::string testo = DeliveryText(Sample());
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
    const std::string guasto = Replaced(testo, caso.vecchio, caso.nuovo);
    SCOPED_TRACE(guasto);
    try {
      ParseDelivery(guasto);
      ADD_FAILURE() << "read";
    } catch (const Error& errore) {
      EXPECT_NE(std::string(errore.what()).find(caso.nel_messaggio), std::string::npos)
          << errore.what();
    }
  }
}

}  // namespace
}  // namespace zav5::labels
