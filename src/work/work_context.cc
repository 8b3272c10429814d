#include "work/work_context.h"

#include <utility>

namespace zav5::work {

WorkContext::WorkContext(platform::Env& env, data::EngineOptions options)
    : env_(env), engine_(env, std::move(options)), sources_(engine_) {}

data::DataSource& WorkContext::PointSource(std::string_view name, std::string_view sql,
                                           bool hidden) {
  data::DataSource& source = sources_.Source(name);
  source.DatabaseName = store_context_.PercorsoDati;
  source.RecordSource = sql;
  if (hidden) {
    source.Visible = false;
  }
  source.Refresh();
  return source;
}

}  // namespace zav5::work
