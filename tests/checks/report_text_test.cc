// The pure parts of the checks: the aligned table, the reading of a run log, the store's forms of
// days and moments.

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "checks/json_text.h"
#include "checks/run_log_digest.h"
#include "checks/store_text.h"
#include "checks/text_table.h"
#include "data/value_calendar.h"

namespace zav5::checks {
namespace {

TEST(TextTableTest, AlignsOnCharactersAndCountsTheRowsLeftOut) {
  TextTable table({{"offerta"}, {"righe", TextTable::Align::kRight}, {"nota"}});
  table.AddRow({"101/2026", "3", "più"});
  table.AddRow({"7/2026", "1200", ""});
  table.AddRow({"8/2026", "1", "x"});
  std::ostringstream all;
  table.Write(all, 0, Language::kItalian);
  EXPECT_EQ(all.str(),
            "  offerta   righe  nota\n"
            "  101/2026      3  più\n"
            "  7/2026     1200\n"
            "  8/2026        1  x\n");
  std::ostringstream two;
  table.Write(two, 2, Language::kEnglish);
  EXPECT_EQ(two.str(),
            "  offerta   righe  nota\n"
            "  101/2026      3  più\n"
            "  7/2026     1200\n"
            "  ... and 1 more rows (--limit 0 shows them all)\n");
}

TEST(RunLogDigestTest, TakesTheLastCycleEachOffersLastFailureAndOpenLabelLines) {
  const std::string log =
      "09/12/2026-08:00:00- Avvio programma\r\n"
      "09/12/2026-08:00:10- Inizio elaborazione \r\n"
      "ERRORE : offerta 101/2026 non disattivata, modifiche annullate: primo motivo\r\n"
      "09/12/2026-08:00:20- Inizio elaborazione \r\n"
      "ERRORE : offerta 7/2026: esito incerto (il database non si legge ora), sarà verificato\r\n"
      "ERRORE : etichette dell'offerta 5/2026 non consegnate al sistema ESL (cartella "
      "C:\\sulvo\\esl\\): impossibile avviare C:\\sulvo\\esl.bat. Finché non arrivano, ...\r\n"
      "ERRORE : etichette dell'offerta 6/2026 non consegnate al sistema ESL (cartella "
      "C:\\sulvo\\esl\\): disco pieno. Finché non arrivano, ...\r\n"
      "ERRORE : etichette dell'offerta 4/2026 in attesa dal 08/12/2026 10:00:00 per il sistema "
      "ESL (cartella C:\\sulvo\\esl\\): i file sono in C:\\dorn\\zav5\\consegne\\; finché non "
      "arrivano, ...\r\n"
      "09/12/2026-08:00:30- Inizio elaborazione \r\n"
      "ERRORE : offerta 101/2026 non disattivata, modifiche annullate: secondo motivo\r\n"
      "09/12/2026-08:00:31- Etichette dell'offerta 6/2026 consegnate al sistema ESL (cartella "
      "C:\\sulvo\\esl\\): C:\\sulvo\\esl\\ESL1.txt\r\n";
  const RunLogDigest digest = DigestRunLog(log);
  EXPECT_EQ(digest.last_cycle, "09/12/2026-08:00:30");
  ASSERT_EQ(digest.offer_failures.size(), 2u);
  EXPECT_EQ(digest.offer_failures[0].offer, "101/2026");
  EXPECT_EQ(digest.offer_failures[0].at, "09/12/2026-08:00:30");
  EXPECT_EQ(digest.offer_failures[0].reason,
            "offerta 101/2026 non disattivata, modifiche annullate: secondo motivo");
  EXPECT_EQ(digest.offer_failures[1].offer, "7/2026");

  const std::string esl = "ESL (cartella C:\\sulvo\\esl\\)";
  const RunLogDigest::LabelLine* five = digest.LastAbout("5/2026", esl);
  ASSERT_NE(five, nullptr);
  EXPECT_EQ(five->at, "09/12/2026-08:00:20");
  EXPECT_EQ(LabelReason(five->text, esl), "impossibile avviare C:\\sulvo\\esl.bat");
  EXPECT_EQ(digest.LastAbout("6/2026", esl), nullptr) << "delivered later";
  const RunLogDigest::LabelLine* four = digest.LastAbout("4/2026", esl);
  ASSERT_NE(four, nullptr);
  EXPECT_EQ(LabelReason(four->text, esl), "i file sono in C:\\dorn\\zav5\\consegne\\");
  EXPECT_EQ(digest.LastAbout("5/2026", "VPA (cartella C:\\sulvo\\)"), nullptr);
  EXPECT_FALSE(DigestRunLog("").last_cycle.has_value());
}

TEST(JsonTextTest, EscapesAndKeepsEveryTextValidUtf8) {
  EXPECT_EQ(JsonString("a\"b\\c\nd\re\tf\x01"), "\"a\\\"b\\\\c\\nd\\re\\tf\\u0001\"");
  EXPECT_EQ(JsonString("più"), "\"più\"");
  EXPECT_EQ(JsonString("pi\xf9"), "\"più\"") << "a Windows-1252 byte";
}

TEST(StoreTextTest, DaysAndMomentsBothWays) {
  const std::int32_t day = data::DayNumber(std::chrono::year{2026} / 12 / 9);
  EXPECT_EQ(FormatDay(day), "09/12/2026");
  EXPECT_EQ(IsoDay(day), "2026-12-09");
  const auto moment = ParseMoment("09/12/2026-14:05:07");
  ASSERT_TRUE(moment.has_value());
  EXPECT_EQ(FormatMoment(*moment), "09/12/2026 14:05:07");
  EXPECT_EQ(IsoMoment(*moment), "2026-12-09T14:05:07");
  for (const char* bad : {"", "09/12/2026 14:05:07", "31/02/2026-14:05:07", "09/12/2026-24:00:00",
                          "aa/12/2026-14:05:07"}) {
    EXPECT_FALSE(ParseMoment(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace zav5::checks
