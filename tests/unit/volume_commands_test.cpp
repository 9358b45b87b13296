// "Go to Cluster", "MBR Data" and the panel's controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "volume_sectors.h"

namespace dulvex::testing {
namespace {

// A model with the floppy of the hand-built sector chosen as A:.
struct FloppyFixture : ModelFixture {
  explicit FloppyFixture(const BootFields& fields = {}) {
    MakeZeroImage(Drive('A'), 2880);
    SectorBytes b = BootSector(fields);
    PokeBytes(Drive('A'), 0, 0, std::vector<std::uint8_t>(b.begin(), b.end()));
    // A mark in the first byte of every sector, to tell which one is shown.
    for (std::uint64_t s = 1; s < 40; ++s) PokeBytes(Drive('A'), s, 0, {std::uint8_t(s)});
    Choose('A');
    prompter.shown.clear();
  }
  // Runs "Go to Cluster" with these replies ("" is Cancel).
  void GoTo(const std::vector<std::string>& replies) {
    prompter.shown.clear();
    for (const std::string& r : replies) prompter.inputAnswers.push_back(r);
    ASSERT_TRUE(model.Click("mnuGoto_Cluster"));
  }
  std::string Text21() { return model.At("Text21").caption; }
};

TEST(GoToCluster, FloppyReplies) {
  const struct {
    std::vector<std::string> replies;
    std::size_t asked;
    const char* text21;
    std::int32_t shown;
  } cases[] = {
      {{"2"}, 1, "33", 33},
      {{"2847", "2846"}, 2, "2877", 2877},  // 2847 is the cluster count itself
      {{""}, 1, "31", 31},                  // Cancel reads as cluster 0
      {{"-1"}, 1, "30", 30},
      {{"2.5"}, 1, "33.5", 34},  // the sector view rounds half to even
      {{"&H3"}, 1, "34", 34},
      {{"1e9", "abc"}, 2, "31", 31},
  };
  for (const auto& c : cases) {
    FloppyFixture f;
    f.GoTo(c.replies);
    ASSERT_EQ(f.prompter.shown.size(), c.asked) << c.replies[0];
    for (const ShownBox& box : f.prompter.shown) {
      EXPECT_TRUE(box.input);
      EXPECT_EQ(box.text, "Insert Cluster Number.");
      EXPECT_EQ(box.title, "DulvexHexEditor");
      EXPECT_EQ(box.defaultText, "0");
    }
    EXPECT_EQ(f.Text21(), c.text21) << c.replies[0];
    ASSERT_TRUE(f.model.state.lastShown.has_value());
    EXPECT_EQ(f.model.state.lastShown->sector, c.shown);
    if (c.shown < 40) {
      EXPECT_EQ(f.model.state.SectorBuffer[0], c.shown);
    }
    // The box's change handler names the sector.
    if (c.shown == 33) {
      EXPECT_EQ(f.model.At("Label53").caption, "First Data Sector (1st Sector Of Cluster 2)");
    }
  }
}

TEST(GoToCluster, CancelEndsTheQuestionWhenNoClusterIsAccepted) {
  BootFields empty;
  empty.totSec16 = 33;  // no data region: a cluster count of 0
  FloppyFixture f(empty);
  ASSERT_EQ(f.model.state.geometry.CountofClusters, 0);
  f.model.SetText(f.model.At("Text21"), "5");
  f.GoTo({"0", "3", ""});
  EXPECT_EQ(f.prompter.shown.size(), 3u);
  EXPECT_EQ(f.Text21(), "5");
  // A reply that is not empty but reads as 0 is asked again; a negative one is accepted.
  f.GoTo({"none", "-2"});
  EXPECT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.Text21(), "29");
}

TEST(GoToCluster, OnlyWithAVolume) {
  ModelFixture f;
  EXPECT_FALSE(f.model.Click("mnuGoto_Cluster"));
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST(MbrData, ShowsTheVolumePanelAgain) {
  ModelFixture f;
  f.model.At("Frame1").visible = false;
  f.model.At("Frame6").visible = true;
  f.model.At("Label2", 3).caption = "7";
  ASSERT_TRUE(f.model.Click("mnuVolDa"));
  EXPECT_TRUE(f.model.At("Frame1").visible);
  EXPECT_FALSE(f.model.At("Frame6").visible);
  EXPECT_EQ(f.model.At("Label2", 3).caption, "7");
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST(VolumePanel, Controls) {
  ModelFixture f;
  const Control& refresh = f.model.At("Command3");
  EXPECT_EQ(refresh.parent, "Frame1");
  EXPECT_FALSE(refresh.visible);
  EXPECT_EQ(refresh.caption, "REFRESH Master Boot Record");
  EXPECT_DOUBLE_EQ(refresh.left, 1500);
  EXPECT_DOUBLE_EQ(refresh.width, 3495);

  // Every value box starts empty and bordered, to the right of Frame2's captions.
  const Control& frame2 = f.model.At("Frame2");
  int boxes = 0;
  for (const Control& c : f.model.Controls()) {
    if (c.name != "Label2" && c.name != "Label32" && c.name != "Label33") continue;
    ++boxes;
    EXPECT_EQ(c.parent, "Frame1") << c.Key();
    EXPECT_TRUE(c.caption.empty()) << c.Key();
    EXPECT_TRUE(c.border) << c.Key();
    EXPECT_DOUBLE_EQ(c.height, 252) << c.Key();
    EXPECT_GE(f.model.At("Frame1").left + c.left, frame2.left + frame2.width) << c.Key();
  }
  EXPECT_EQ(boxes, 14 + 6 + 13 + 8 + 1);

  const struct {
    const char* name;
    int index;
    const char* caption;
    double top;
  } captions[] = {
      {"Label34", 0, "BS_jmpBoot 0-2", 360},
      {"Label34", 12, "BPB_HiddSec 28-29-30-31", 3240},
      {"Label34", 15, "BS_Reserved1 37", 4200},
      {"Label34", 16, "BS_BootSig 38", 4440},
      {"Label34", 32, "BS_FilSysType 82-89", 8400},
      {"Label35", 0, "FAT12/FAT16", 3780},
      {"Label35", 1, "FAT32", 5340},
      {"Label1", 1, "Data sector(1st sec of clus2)", 8940},
      {"Label1", 7, "Root Dir Entry sector", 10500},
      {"Label36", -1, ">", 9420},
  };
  for (const auto& c : captions) {
    const Control& label = f.model.At(c.name, c.index);
    EXPECT_EQ(label.caption, c.caption);
    EXPECT_DOUBLE_EQ(label.top, c.top) << c.caption;
  }
  EXPECT_EQ(f.model.At("Label34", 0).align, Align::Right);
  EXPECT_EQ(f.model.At("Label34", 0).parent, "Frame2");
  EXPECT_EQ(f.model.At("Label34", 20).fore, MakeRgb(255, 255, 128));
  EXPECT_EQ(f.model.At("Label1", 0).fore, MakeRgb(192, 192, 192));
  EXPECT_DOUBLE_EQ(f.model.At("Label1", 0).left, 180);
  EXPECT_DOUBLE_EQ(f.model.At("Label2", 29).left, 4080);
  EXPECT_DOUBLE_EQ(f.model.At("Label2", 29).width, 912);
  EXPECT_EQ(f.model.At("Label2", 24).back, MakeRgb(255, 255, 0));
  EXPECT_EQ(f.model.At("Label33", 0).back, MakeRgb(192, 192, 255));
}

}  // namespace
}  // namespace dulvex::testing
