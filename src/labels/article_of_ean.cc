#include "labels/article_of_ean.h"

#include "data/field_reading.h"
#include "data/sql_text.h"

namespace zav5::labels {

std::optional<std::int32_t> ArticleOfEan(work::WorkContext& work, const std::string& ean) {
  data::Recordset& codean =
      work.PointSource("Data2",
                       "SELECT * FROM codean WHERE eanare = '" + data::DoubleQuotes(ean) + "' ",
                       true)
          .Recordset();
  if (codean.Eof()) {
    return std::nullopt;
  }
  return data::FieldLong(codean, "codean", "codare");
}

}  // namespace zav5::labels
