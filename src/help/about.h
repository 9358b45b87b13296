// The About box `Form2`: the program's title and version, its maker, a picture, a one-line
// description and the project's web address. Its design and the texts of its load handler
// live here; the Qt layer draws them behind `AboutHost`.
#pragma once

#include <string>
#include <vector>

#include "base/version.h"
#include "core/control.h"

namespace dulvex {

// Texts the load handler puts into the labels.
struct AboutTexts {
  std::string Label1;  // the comments
  std::string Label2;  // "by " and the company name
  std::string Label6;  // title, " - version: ", major.minor.revision
};

// The load handler of `Form2`.
AboutTexts Form2_Load(const VersionRecord& version);

// The project's web address, shown in `Label3`.
inline constexpr const char* kAboutAddress = "https://dulvex.example/hex-editor";

// Size in pixels of the picture `Image1` shows.
inline constexpr int kAboutPictureWidth = 600;
inline constexpr int kAboutPictureHeight = 516;

// The design of `Form2`: the window record (its size is the client area) and its controls
// Label6, Label2, Image1 (the picture), Label1 and Label3, top to bottom.
std::vector<Control> Form2Design();

// The About box as its rules see it.
class AboutHost {
 public:
  virtual ~AboutHost() = default;
  // Whether the box exists (shown since its last load and not closed by the user).
  virtual bool Exists() const = 0;
  // Creates the box from its design and puts the load handler's texts into its labels.
  virtual void Load(const AboutTexts& texts) = 0;
  // Shows the box, not modal and without owner, and brings it in front.
  virtual void Show() = 0;
};

// The main window's "About" command: one box at a time, loaded afresh after it was closed.
void mnuAbout_Click(AboutHost& host, const VersionRecord& version);

}  // namespace dulvex
