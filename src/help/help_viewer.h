// The help window `frmIstruzioni`: a small reusable viewer of a rich-text file. Its opening
// routine `Apri` takes the file, a title, a placement mode and an owner window; the window
// places itself when it is loaded, reloads the file every time it becomes active, reports a
// missing file and closes itself. The window itself is behind `HelpWindowHost`, so these
// rules run with the Qt window in the program and with a fake one in the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/window_model.h"
#include "help/rtf_reader.h"

namespace dulvex {

// Position and size of a window in twips (15 twips make one pixel).
struct TwipsRect {
  double left = 0, top = 0, width = 0, height = 0;
};
struct TwipsSize {
  double width = 0, height = 0;
};
struct TwipsPoint {
  double left = 0, top = 0;
  bool operator==(const TwipsPoint&) const = default;
};

// A window the help window can be placed against.
class HelpOwner {
 public:
  virtual ~HelpOwner() = default;
  // Outer position and size (frame included).
  virtual TwipsRect OuterBounds() const = 0;
};

// The help window as its rules see it. Operations that can fail return an error number
// (0 for success), which `Apri` passes on to its caller.
class HelpWindowHost {
 public:
  virtual ~HelpWindowHost() = default;
  // Creates the window, hidden, with its design client area (10740 by 7908 twips).
  virtual int Create() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // Shows the window, not modal and without owner, in front; it then becomes active and
  // the host calls HelpViewer::Form_Activate.
  virtual int Show() = 0;
  // Closes and unloads the window.
  virtual void Close() = 0;
  virtual TwipsRect OuterBounds() const = 0;
  virtual void Move(double left, double top) = 0;
  virtual TwipsSize ScreenSize() const = 0;
  virtual bool Minimized() const = 0;
  // Position and size of the rich-text view `rtfIstruzioni` inside the window.
  virtual void PlaceView(double left, double top, double width, double height) = 0;
  // Replaces what `rtfIstruzioni` shows.
  virtual void ShowDocument(const RtfDocument& document) = 0;
};

// Where the load handler puts the window: Width and Height are its outer size. Modes 0 and
// 1 follow the owner; without an owner they place like mode 2. Positions are rounded to
// whole twips, halves to the even neighbour.
TwipsPoint HelpPlacement(std::int32_t mode, TwipsSize self, const TwipsRect* owner,
                         TwipsSize screen);

// True when the length of the named file can be obtained; never throws. A folder, or
// anything else that is not a regular file, has no length.
bool FileExists(const std::string& name);

// The model of `frmIstruzioni`.
class HelpViewer {
 public:
  HelpViewer(HelpWindowHost& host, WindowModel& model) : host_(host), model_(model) {}
  HelpViewer(const HelpViewer&) = delete;
  HelpViewer& operator=(const HelpViewer&) = delete;

  // Opens the window on a file: stores the arguments, sets the caption to a blank and the
  // title (loading and placing the window when it is not loaded yet), and shows it.
  // Returns 0, or the number of the error that stopped it.
  int Apri(const std::string& NFileIstruzioni, const std::string& Titolo = "",
           std::int32_t NPosizione = 0, const HelpOwner* NSform = nullptr);

  // Window events, raised by the host.
  void Form_Load();      // placement
  void Form_Activate();  // reload the file, or report it missing and close
  void Form_Resize();    // the view fills the window
  void Form_Unload();    // the user closed the window

  bool loaded() const { return loaded_; }
  const std::string& NFileIstruzioni() const { return NFileIstruzioni_; }
  std::int32_t NPosizione() const { return NPosizione_; }
  const HelpOwner* NSform() const { return NSform_; }

 private:
  HelpWindowHost& host_;
  WindowModel& model_;
  std::string NFileIstruzioni_;        // path of the rich-text file shown
  std::int32_t NPosizione_ = 0;        // placement mode, see HelpPlacement
  const HelpOwner* NSform_ = nullptr;  // owner window for modes 0 and 1, may be empty
  bool loaded_ = false;
  bool reporting_ = false;  // the missing-file box is up; activations meanwhile do nothing
};

// The help file beside the executable: the folder, then "\HELP.rtf" with this platform's
// separator. A folder ending in a separator gives a doubled one, which names the same file.
std::string HelpFilePath(const std::filesystem::path& exeDir);

// The main window's "Help" command.
void mnuHelp_Click(WindowModel& model, HelpViewer& viewer, const HelpOwner* mainWindow);

}  // namespace dulvex
