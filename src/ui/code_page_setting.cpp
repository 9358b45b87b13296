#include "ui/code_page_setting.h"

#include <QSettings>

#include "fattools/fat_tools.h"

namespace dulvex::ui {

namespace {

constexpr const char* kKey = "shortNameCodePage";

}  // namespace

void InstallCodePageSetting(WindowModel& model, std::optional<OemCodePage> fromCommandLine) {
  const std::string kept = QSettings("Dulvex", "dulvex").value(kKey).toString().toStdString();
  model.state.codePage =
      fromCommandLine.value_or(OemCodePageNamed(kept).value_or(kDefaultOemCodePage));
  FatToolsOf(model).keepCodePage = [](OemCodePage page) {
    QSettings("Dulvex", "dulvex").setValue(kKey, QString::fromStdString(OemCodePageName(page)));
  };
}

}  // namespace dulvex::ui
