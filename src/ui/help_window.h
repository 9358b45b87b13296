// The Qt help window `frmIstruzioni` with its rich-text view `rtfIstruzioni`, and the
// wiring of the main window's "Help" and "About" commands to the Qt windows. The rules
// (placement, reloading, the missing file) live in help/help_viewer.h.
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <memory>

#include "core/window_model.h"
#include "help/about.h"
#include "help/help_viewer.h"

namespace dulvex::ui {

class AboutBox;

class HelpWindow : public QWidget, public HelpWindowHost {
  Q_OBJECT
 public:
  HelpWindow();
  // The viewer that receives this window's activate, resize and close events.
  void SetViewer(HelpViewer* viewer) { viewer_ = viewer; }
  QTextBrowser* view() const { return view_; }

  int Create() override;
  void SetCaption(const std::string& caption) override;
  int Show() override;
  void Close() override;
  TwipsRect OuterBounds() const override;
  void Move(double left, double top) override;
  TwipsSize ScreenSize() const override;
  bool Minimized() const override;
  void PlaceView(double left, double top, double width, double height) override;
  void ShowDocument(const RtfDocument& document) override;

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QTextBrowser* view_;
  HelpViewer* viewer_ = nullptr;
};

// A Qt window as the owner the help window is placed against.
class WidgetOwner : public HelpOwner {
 public:
  explicit WidgetOwner(QWidget* widget) : widget_(widget) {}
  TwipsRect OuterBounds() const override;

 private:
  QPointer<QWidget> widget_;
};

// The About box as the rules see it: one box at a time, deleted when the user closes it.
class AboutBoxHost : public AboutHost {
 public:
  // A box is placed over the centre of `owner` (when given) as it is loaded, so it never
  // depends on a window manager to keep it off the main window's menu bar.
  explicit AboutBoxHost(const HelpOwner* owner = nullptr) : owner_(owner) {}
  ~AboutBoxHost() override;
  bool Exists() const override;
  void Load(const AboutTexts& texts) override;
  void Show() override;
  AboutBox* box() const;

 private:
  const HelpOwner* owner_;
  QPointer<AboutBox> box_;
};

// The help window, its viewer, the About box and the main window as owner, living as long
// as the main window; the help window and the About box close with it.
class HelpWindows : public QObject {
  Q_OBJECT
 public:
  HelpWindows(WindowModel& model, QWidget* mainWindow);
  ~HelpWindows() override;
  HelpWindow& helpWindow() { return *window_; }
  HelpViewer& viewer() { return viewer_; }
  AboutBoxHost& about() { return about_; }
  const WidgetOwner& owner() const { return owner_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  std::unique_ptr<HelpWindow> window_;
  HelpViewer viewer_;
  WidgetOwner owner_;
  AboutBoxHost about_;
};

// Makes the help window and the About box for the main window and registers the "Help"
// and "About" commands with the model. Returns the windows (owned by the main window).
HelpWindows* InstallHelpWindows(WindowModel& model, QWidget* mainWindow);

}  // namespace dulvex::ui
