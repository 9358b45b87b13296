#include "ui/about_box.h"

#include <QLabel>
#include <QPixmap>
#include <cmath>

#include "ui/program_windows.h"

// The picture lives in a resource of the static Qt layer, which must be registered by hand.
static void InitHelpResources() {
  Q_INIT_RESOURCE(help);
}

namespace dulvex::ui {

namespace {

constexpr double kTwipsPerPixel = 15;

int Px(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QColor ToQColor(Rgb c) {
  return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

}  // namespace

AboutBox::AboutBox(const AboutTexts& texts) {
  InitHelpResources();
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false);
  CloseOnEscape(*this);
  for (const Control& c : Form2Design()) {
    if (c.kind == ControlKind::Form) {
      setObjectName(QString::fromStdString(c.name));
      setWindowTitle(QString::fromStdString(c.caption));
      setFixedSize(Px(c.width), Px(c.height));
      QPalette p = palette();
      p.setColor(QPalette::Window, ToQColor(c.back));
      setPalette(p);
      setAutoFillBackground(true);
      continue;
    }
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromStdString(c.name));
    label->setGeometry(Px(c.left), Px(c.top), Px(c.width), Px(c.height));
    if (c.name == "Image1") {
      // The picture is stored at 12 twips a pixel; it fills its design area.
      label->setPixmap(QPixmap(":/dulvex/about.png"));
      label->setScaledContents(true);
      continue;
    }
    std::string text = c.caption;
    if (c.name == "Label1") text = texts.Label1;
    if (c.name == "Label2") text = texts.Label2;
    if (c.name == "Label6") text = texts.Label6;
    label->setText(QString::fromStdString(text));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // "MS Sans Serif" is not on this platform: the nearest sans-serif face.
    QFont font("sans-serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(c.fontSize);
    font.setBold(c.bold);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, ToQColor(c.fore));
    label->setPalette(p);
    label->setAutoFillBackground(!c.transparent);
    Qt::Alignment h = c.align == Align::Center  ? Qt::AlignHCenter
                      : c.align == Align::Right ? Qt::AlignRight
                                                : Qt::AlignLeft;
    label->setAlignment(h | Qt::AlignTop);
  }
}

}  // namespace dulvex::ui
