#include "fattools/fat_tools.h"

#include "fattools/cluster_chain.h"
#include "fattools/code_page_command.h"
#include "fattools/file_data_command.h"
#include "fattools/file_follower.h"
#include "fattools/find_file_cluster.h"

namespace dulvex {

FatToolsState& FatToolsOf(WindowModel& model) {
  if (!model.state.fatTools) model.state.fatTools = std::make_shared<FatToolsState>();
  return *model.state.fatTools;
}

void InstallFatTools(WindowModel& model) {
  FatToolsOf(model);
  model.OnClick(kClusterChain, [&model](int) { fattools::mnuClusChain_Click(model); });
  model.OnClick(kFileFollower, [&model](int) { fattools::mnuFileFollow_Click(model); });
  model.OnClick(kFindFileCluster, [&model](int) { fattools::mnuFFind_Click(model); });
  model.OnClick(kFileData, [&model](int) { fattools::mnuFileData_Click(model); });
  model.OnClick(kShortNameCodePage, [&model](int) { fattools::mnuCodePage_Click(model); });
  fattools::InstallFileFollower(model);
  model.onSectorShown.emplace_back([&model] { fattools::ShowFatEntries(model); });
}

}  // namespace dulvex
