#include "fattools/code_page_command.h"

#include "fattools/fat_tools.h"
#include "sectorio/sector_io.h"

namespace dulvex::fattools {

void mnuCodePage_Click(WindowModel& model) {
  Prompter& p = model.prompter();
  const std::string reply = p.InputBox(
      "The OEM code page FAT short names are stored in: 850 (Western Europe, as mtools "
      "writes them), 437 (the first PCs, the United States) or 1252 (Windows).",
      AppTitle(), OemCodePageName(model.state.codePage));
  if (reply.empty()) return;
  std::string name;
  for (const char c : reply)
    if (c != ' ') name += c;
  const std::optional<OemCodePage> page = OemCodePageNamed(name);
  if (!page) {
    p.MessageBox("There is no code page " + reply + " to choose: give 850, 437 or 1252.",
                 kStyleExclamation, AppTitle());
    return;
  }
  model.state.codePage = *page;
  FatToolsState& tools = FatToolsOf(model);
  if (tools.keepCodePage) tools.keepCodePage(*page);
  p.MessageBox("Short names are read in code page " + OemCodePageName(*page) +
                   " in paths, reports and the file list from now on.",
               kStyleOk, AppTitle());
}

}  // namespace dulvex::fattools
