#include "ui/help_window.h"

#include <QCloseEvent>
#include <QEvent>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "help/install_help.h"
#include "ui/about_box.h"
#include "ui/program_windows.h"

namespace dulvex::ui {

namespace {

constexpr double kTwipsPerPixel = 15;
// The design client area of the help window.
constexpr double kClientWidth = 10740;
constexpr double kClientHeight = 7908;
// The outer size the rules see is the client area and a frame of 120 by 480 twips, so the
// resize rule makes the view fill the client area exactly.
constexpr double kFrameWidth = 120;
constexpr double kFrameHeight = 480;

int Px(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

}  // namespace

HelpWindow::HelpWindow() : view_(new QTextBrowser(this)) {
  setObjectName("frmIstruzioni");
  CloseOnEscape(*this);
  setAttribute(Qt::WA_QuitOnClose, false);
  view_->setObjectName("rtfIstruzioni");
  view_->setReadOnly(true);
  view_->setOpenLinks(false);
  QFont font("sans-serif");
  font.setStyleHint(QFont::SansSerif);
  view_->document()->setDefaultFont(font);
  Create();
}

int HelpWindow::Create() {
  resize(Px(kClientWidth), Px(kClientHeight));
  view_->setGeometry(0, 0, width(), height());
  return 0;
}

void HelpWindow::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

int HelpWindow::Show() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  return 0;
}

void HelpWindow::Close() {
  hide();
}

TwipsRect HelpWindow::OuterBounds() const {
  return {pos().x() * kTwipsPerPixel, pos().y() * kTwipsPerPixel,
          width() * kTwipsPerPixel + kFrameWidth, height() * kTwipsPerPixel + kFrameHeight};
}

void HelpWindow::Move(double left, double top) {
  move(Px(left), Px(top));
}

TwipsSize HelpWindow::ScreenSize() const {
  QScreen* s = screen();
  if (s == nullptr) return {};
  QSize size = s->geometry().size();
  return {size.width() * kTwipsPerPixel, size.height() * kTwipsPerPixel};
}

bool HelpWindow::Minimized() const {
  return isMinimized();
}

void HelpWindow::PlaceView(double left, double top, double width, double height) {
  view_->setGeometry(Px(left), Px(top), std::max(1, Px(width)), std::max(1, Px(height)));
}

void HelpWindow::ShowDocument(const RtfDocument& document) {
  // The guide's colours, made readable on the viewer's background in the palette in use.
  RtfDocument shown = document;
  const QPalette& palette = view_->palette();
  const auto rgb = [&palette](QPalette::ColorRole role) {
    const QColor c = palette.color(QPalette::Active, role);
    return MakeRgb(c.red(), c.green(), c.blue());
  };
  MakeReadable(shown, rgb(QPalette::Text), rgb(QPalette::Base));
  view_->setHtml(QString::fromStdString(RtfToHtml(shown)));
}

bool HelpWindow::event(QEvent* e) {
  bool handled = QWidget::event(e);
  if (e->type() == QEvent::WindowActivate && viewer_ != nullptr) viewer_->Form_Activate();
  return handled;
}

void HelpWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (viewer_ != nullptr) viewer_->Form_Resize();
}

void HelpWindow::closeEvent(QCloseEvent* e) {
  if (viewer_ != nullptr) viewer_->Form_Unload();
  QWidget::closeEvent(e);
}

TwipsRect WidgetOwner::OuterBounds() const {
  if (widget_.isNull()) return {};
  QRect r = widget_->frameGeometry();
  return {r.x() * kTwipsPerPixel, r.y() * kTwipsPerPixel, r.width() * kTwipsPerPixel,
          r.height() * kTwipsPerPixel};
}

AboutBoxHost::~AboutBoxHost() {
  delete box_.data();
}

bool AboutBoxHost::Exists() const {
  return !box_.isNull();
}

void AboutBoxHost::Load(const AboutTexts& texts) {
  delete box_.data();
  box_ = new AboutBox(texts);
  if (owner_ == nullptr) return;
  const TwipsRect owner = owner_->OuterBounds();
  const TwipsSize self{box_->width() * kTwipsPerPixel, box_->height() * kTwipsPerPixel};
  const TwipsPoint at = HelpPlacement(1, self, &owner, self);  // 1: centred on the owner
  box_->move(Px(at.left), Px(at.top));
}

void AboutBoxHost::Show() {
  if (box_.isNull()) return;
  if (box_->isMinimized()) box_->showNormal();
  box_->show();
  box_->raise();
  box_->activateWindow();
}

AboutBox* AboutBoxHost::box() const {
  return box_.data();
}

HelpWindows::HelpWindows(WindowModel& model, QWidget* mainWindow)
    : QObject(mainWindow),
      window_(std::make_unique<HelpWindow>()),
      viewer_(*window_, model),
      owner_(mainWindow),
      about_(&owner_) {
  window_->SetViewer(&viewer_);
  if (mainWindow != nullptr) mainWindow->installEventFilter(this);
}

HelpWindows::~HelpWindows() {
  window_->SetViewer(nullptr);
}

bool HelpWindows::eventFilter(QObject* watched, QEvent* e) {
  // The help window and the About box close with the main window.
  if (e->type() == QEvent::Close && watched == parent()) {
    window_->close();
    if (about_.Exists()) about_.box()->close();
  }
  return QObject::eventFilter(watched, e);
}

HelpWindows* InstallHelpWindows(WindowModel& model, QWidget* mainWindow) {
  auto* windows = new HelpWindows(model, mainWindow);
  InstallHelp(model, windows->viewer(), windows->about(), &windows->owner());
  return windows;
}

}  // namespace dulvex::ui
