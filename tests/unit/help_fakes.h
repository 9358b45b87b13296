// A fake help window for the tests of the help rules.
#pragma once

#include "help/help_viewer.h"

namespace dulvex::testing {

// A help window that records what the rules do to it. Show() activates it at once, as a
// window shown in front does.
struct FakeHelpWindow : HelpWindowHost {
  HelpViewer* viewer = nullptr;
  bool exists = false;
  int creates = 0, shows = 0, closes = 0, documents = 0;
  int createError = 0, showError = 0;
  std::string caption;
  TwipsRect outer{0, 0, 10740 + 120, 7908 + 480};
  TwipsSize screen{19200, 10800};
  bool minimized = false;
  TwipsRect view{};
  RtfDocument document;

  int Create() override {
    ++creates;
    if (createError) return createError;
    exists = true;
    outer = {0, 0, 10740 + 120, 7908 + 480};
    return 0;
  }
  void SetCaption(const std::string& c) override { caption = c; }
  int Show() override {
    ++shows;
    if (showError) return showError;
    if (viewer) viewer->Form_Activate();
    return 0;
  }
  void Close() override {
    ++closes;
    exists = false;
  }
  TwipsRect OuterBounds() const override { return outer; }
  void Move(double left, double top) override {
    outer.left = left;
    outer.top = top;
  }
  TwipsSize ScreenSize() const override { return screen; }
  bool Minimized() const override { return minimized; }
  void PlaceView(double l, double t, double w, double h) override { view = {l, t, w, h}; }
  void ShowDocument(const RtfDocument& d) override {
    ++documents;
    document = d;
  }
};

}  // namespace dulvex::testing
