// The About box: texts of its load handler, its design, and one box at a time.
#include <gtest/gtest.h>

#include "help/about.h"

namespace dulvex {
namespace {

TEST(About, TextsFromTheVersionRecord) {
  VersionRecord v{"DulvexHexEditor", 1, 0, 0, "Morlentis", "A comment"};
  AboutTexts t = Form2_Load(v);
  EXPECT_EQ(t.Label6, "DulvexHexEditor - version: 1.0.0");
  EXPECT_EQ(t.Label2, "by Morlentis");
  EXPECT_EQ(t.Label1, "A comment");
  v.major = 2;
  v.minor = 10;
  v.revision = 7;
  EXPECT_EQ(Form2_Load(v).Label6, "DulvexHexEditor - version: 2.10.7");
  EXPECT_EQ(Form2_Load(AppVersion()).Label1,
            "Dulvex Hexadecimal Editor With a Short Guide for the Sectors in Various Devices and "
            "Volumes");
}

TEST(About, Design) {
  std::vector<Control> d = Form2Design();
  ASSERT_EQ(d.size(), 6u);
  EXPECT_EQ(d[0].name, "Form2");
  EXPECT_EQ(d[0].caption, "About");
  EXPECT_EQ(d[0].back, MakeRgb(0, 0, 0));
  EXPECT_EQ(d[0].width, 7680);
  EXPECT_EQ(d[0].height, 9144);
  struct Row {
    const char* name;
    double left, top, width, height;
    Rgb fore;
    Align align;
  };
  const Row rows[] = {
      {"Label6", 240, 60, 7272, 492, MakeRgb(255, 255, 255), Align::Center},
      {"Label2", 240, 600, 7272, 492, MakeRgb(255, 255, 255), Align::Center},
      {"Image1", 240, 960, 7200, 6192, MakeRgb(255, 255, 255), Align::Left},
      {"Label1", 240, 7200, 7272, 1272, MakeRgb(255, 255, 255), Align::Left},
      {"Label3", 240, 8520, 7272, 492, MakeRgb(128, 255, 255), Align::Center},
  };
  for (std::size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(rows[i].name);
    const Control& c = d[i + 1];
    EXPECT_EQ(c.name, rows[i].name);
    EXPECT_EQ(c.left, rows[i].left);
    EXPECT_EQ(c.top, rows[i].top);
    EXPECT_EQ(c.width, rows[i].width);
    EXPECT_EQ(c.height, rows[i].height);
    if (c.name != "Image1") {
      EXPECT_EQ(c.fore, rows[i].fore);
      EXPECT_EQ(c.align, rows[i].align);
      EXPECT_EQ(c.fontSize, 13.8);
      EXPECT_TRUE(c.transparent);
    }
  }
  EXPECT_EQ(d[5].caption, kAboutAddress);
  // The picture's area holds 600 by 516 pixels at 12 twips a pixel.
  EXPECT_EQ(d[3].width / kAboutPictureWidth, d[3].height / kAboutPictureHeight);
}

struct FakeAbout : AboutHost {
  bool exists = false;
  int loads = 0, shows = 0;
  AboutTexts texts;
  bool Exists() const override { return exists; }
  void Load(const AboutTexts& t) override {
    ++loads;
    exists = true;
    texts = t;
  }
  void Show() override { ++shows; }
};

TEST(About, OpeningTwiceGivesOneBoxLoadedOnce) {
  FakeAbout box;
  VersionRecord v{"T", 1, 0, 0, "C", "X"};
  mnuAbout_Click(box, v);
  v.minor = 5;
  mnuAbout_Click(box, v);
  EXPECT_EQ(box.loads, 1);
  EXPECT_EQ(box.shows, 2);
  EXPECT_EQ(box.texts.Label6, "T - version: 1.0.0");  // not filled again while open
  box.exists = false;                                 // closed by the user
  mnuAbout_Click(box, v);
  EXPECT_EQ(box.loads, 2);
  EXPECT_EQ(box.texts.Label6, "T - version: 1.5.0");
}

}  // namespace
}  // namespace dulvex
