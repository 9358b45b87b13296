// The Qt About box `Form2`, laid out from its design (help/about.h).
#pragma once

#include <QWidget>

#include "help/about.h"

namespace dulvex::ui {

class AboutBox : public QWidget {
  Q_OBJECT
 public:
  // A top-level window, deleted when the user closes it.
  explicit AboutBox(const AboutTexts& texts);
};

}  // namespace dulvex::ui
