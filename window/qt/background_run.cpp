#include "window/qt/background_run.h"

#include <utility>

namespace telltale {

void BackgroundRun::Start(std::string path, ResultsSink& sink) {
  thread_.Start(std::move(path), sink, [this] { emit finished(); });
}

}  // namespace telltale
