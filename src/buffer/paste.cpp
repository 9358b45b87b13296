// The two paste commands. Each builds WriteBuffer from the bytes the grid shows with the
// filled board entries laid over them, asks (twice when the write lands on sector 0), writes
// through the write path and the journal, and shows the sector again from the device.
#include <optional>
#include <string>

#include "base/numbers.h"
#include "buffer/buffer.h"
#include "core/form1_design.h"
#include "sectorio/sector_io.h"
#include "view/sector_view.h"

namespace dulvex {

namespace {

std::uint8_t ByteOfCaption(const std::string& caption) {
  // Captions hold two hex digits, or "--" (which reads as 0).
  return static_cast<std::uint8_t>(LeadingHexValue(caption) & 0xFF);
}

bool EntryFilled(const WindowModel& model, std::size_t i) {
  return model.LabelB55[i]->back == TextMarkedColour;
}

void Refuse(WindowModel& model, const std::string& text) {
  model.prompter().MessageBox(text, kStyleExclamation, AppTitle());
}

// The grid's bytes are written back with the buffer laid over them, so a paste may only
// land on the sector the grid really shows: the one ShowSector last read, of the chosen
// device, under the number now in Text21. Otherwise the bytes of one sector (or the design
// captions "--") would overwrite another. Tells the user and returns false when not so.
bool GridShowsTargetSector(WindowModel& model) {
  const double n = NumericValue(model.At(kSectorBox).caption);
  const std::optional<std::int32_t> s = ToInt32(n);
  const std::optional<ShownSector>& shown = model.state.lastShown;
  if (!shown && model.state.staleShown) {
    const ShownSector& stale = *model.state.staleShown;
    Refuse(model, "THE GRID STILL SHOWS SECTOR " + std::to_string(stale.sector) + " OF " +
                      stale.device +
                      " AS IT WAS READ BEFORE, BUT THE DEVICE COULD NOT BE READ SINCE: THOSE "
                      "BYTES (GREYED) MAY NOT BE THE DEVICE'S ANY MORE. SHOW THE SECTOR AGAIN "
                      "(PRESS ENTER IN THE SECTOR BOX) ONCE THE DEVICE CAN BE READ, THEN PASTE "
                      "AGAIN. NOTHING WAS WRITTEN.");
    return false;
  }
  if (!shown) {
    Refuse(model,
           "NO SECTOR IS SHOWN YET: THE GRID HOLDS NO BYTES OF THE DEVICE. CHOOSE A VOLUME AND "
           "SHOW THE SECTOR FIRST (PRESS ENTER IN THE SECTOR BOX), THEN PASTE AGAIN. NOTHING WAS "
           "WRITTEN.");
    return false;
  }
  if (!s || *s != shown->sector || model.state.DevicePath != shown->device) {
    const std::string device = model.state.DevicePath.empty() ? "-" : model.state.DevicePath;
    Refuse(model, "THE GRID DOES NOT SHOW SECTOR " + CanonicalText(n) + " OF " + device +
                      ": IT SHOWS SECTOR " + std::to_string(shown->sector) + " OF " +
                      shown->device +
                      ". SHOW THE SECTOR FIRST (PRESS ENTER IN THE SECTOR BOX), THEN PASTE "
                      "AGAIN. NOTHING WAS WRITTEN.");
    return false;
  }
  return true;
}

// Asks, writes WriteBuffer over the sector named in Text21, and shows that sector again.
// The caller has checked that the grid shows it; the write path checks that the device
// still holds what the grid shows.
void ConfirmAndWrite(WindowModel& model) {
  const double n = NumericValue(model.At(kSectorBox).caption);
  const std::optional<std::int32_t> rounded = ToInt32(n);
  if (!rounded) return;
  const std::int32_t s = *rounded;
  const std::string sectorText = CanonicalText(n);
  if (!ConfirmSectorWrite(model, s, sectorText)) return;
  const std::optional<ShownSector> was = model.state.lastShown;
  const TransferResult written =
      WriteSector(model, model.state.DevicePath, s, was->bytes, model.state.WriteBuffer);
  // Whatever the write did, the grid shows what the device now holds. Until a read has
  // filled the grid again it shows no sector, so no further paste can use stale bytes.
  model.state.lastShown.reset();
  ShowSector(model);
  MarkGridStale(model, was);
  if (!written.ok() || model.state.lastShown) return;  // WriteSector has told what went wrong
  Refuse(model, "SECTOR " + sectorText +
                    " WAS WRITTEN AND CHECKED AT THE MEDIUM, BUT COULD NOT BE SHOWN AGAIN; THE "
                    "GRID STILL SHOWS THE BYTES FROM BEFORE THE WRITE. SHOW THE SECTOR AGAIN "
                    "(PRESS ENTER IN THE SECTOR BOX) BEFORE THE NEXT PASTE.");
}

}  // namespace

void Command5_Click(WindowModel& model) {
  model.At(kBufferPanel).visible = true;
  if (!GridShowsTargetSector(model)) return;
  SectorBytes& out = model.state.WriteBuffer;
  for (std::size_t i = 0; i < 512; ++i) {
    out[i] =
        ByteOfCaption(EntryFilled(model, i) ? model.LabelB3[i]->caption : model.Label3[i]->caption);
  }
  ConfirmAndWrite(model);
}

void Command10_Click(WindowModel& model) {
  model.At(kBufferPanel).visible = true;
  if (!GridShowsTargetSector(model)) return;
  double value = 0;
  for (;;) {
    const std::string answer = model.prompter().InputBox(
        "INSERT AN OFFSET TO START THE COPY OF THE BUFFER FROM (0-511)", "", "0");
    if (answer.empty()) return;
    value = NumericValue(answer);
    if (value >= 0 && value <= 511) break;  // otherwise the box comes back
  }
  const auto offset = static_cast<std::size_t>(RoundHalfEven(value));

  std::size_t first = 0;
  while (first < 512 && !EntryFilled(model, first)) ++first;
  if (first == 512) first = 0;

  SectorBytes& out = model.state.WriteBuffer;
  for (std::size_t j = 0; j < 512; ++j) out[j] = ByteOfCaption(model.Label3[j]->caption);
  // The run from the first filled entry on moves to the offset; what would land past the
  // end is dropped, and unfilled entries inside the run leave the shown byte.
  for (std::size_t i = first; i < 512; ++i) {
    const std::size_t d = i - first + offset;
    if (d > 511) break;
    if (EntryFilled(model, i)) out[d] = ByteOfCaption(model.LabelB3[i]->caption);
  }
  ConfirmAndWrite(model);
}

}  // namespace dulvex
