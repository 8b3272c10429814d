#include "labels/finestra.h"

#include <utility>

namespace zav5::labels {

data::DataSource& PuntaSorgente(Finestra& finestra, std::string_view nome, std::string_view sql,
                                bool nascosta) {
  data::DataSource& source = finestra.sorgenti.Sorgente(nome);
  source.DatabaseName = finestra.contesto.PercorsoDati;
  source.RecordSource = sql;
  if (nascosta) {
    source.Visible = false;
  }
  source.Refresh();
  return source;
}

}  // namespace zav5::labels
