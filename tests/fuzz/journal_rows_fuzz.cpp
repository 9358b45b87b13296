// libFuzzer: -max_len=8192
// Rows of the write journal with values of any type and length, put in behind the program's
// back, read as the program reads them: the history, its export, the records, Undo's search.
// Never a crash; a record is damaged exactly when its summary is, a sound one holds what the
// program writes, and no damaged record is ever offered to be written back.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "journal/history.h"
#include "journal/journal.h"

namespace {

namespace fs = std::filesystem;
using namespace dulvex::journal;

// The columns as the input fills them: I a number, T a text, B bytes; the usual texts of
// the device and the state columns are picked from lists.
constexpr const char* kColumns[] = {
    "id",         "time_ms",     "device",      "path",          "target",     "medium_block",
    "medium_dev", "medium_ino",  "medium_size", "medium_serial", "medium_wwn", "sector",
    "state",      "cause",       "undoes",      "generation",    "undone",     "owner_pid",
    "owner_boot", "owner_start", "changed",     "before",        "after"};
constexpr char kKinds[] = "IITTTIIIITTITTIIIITIIBB";
const char* const kDevices[] = {"A:", "B:", "R:", "S:", "a:", "", "A", "A:x"};
const char* const kStates[] = {"pending", "written", "not written", "failed", "unknown",
                               "Written", "",        "damaged"};

// A journal made by the program, and a connection of its own that puts in anything.
struct Place {
  fs::path folder;
  std::unique_ptr<Journal> journal;
  sqlite3* raw = nullptr;
  std::string insert;
  Place() {
    char name[] = "/tmp/dulvex-journal-rows-XXXXXX";
    folder = ::mkdtemp(name);
    const fs::path file = folder / "journal.sqlite";
    journal = std::make_unique<Journal>(file);
    Check(journal->Open(true).ok());
    Check(sqlite3_open(file.c_str(), &raw) == SQLITE_OK);
    sqlite3_exec(raw, "PRAGMA ignore_check_constraints = ON", nullptr, nullptr, nullptr);
    insert = "INSERT OR IGNORE INTO writes(";
    std::string values;
    for (const char* c : kColumns) {
      insert += std::string(values.empty() ? "" : ", ") + c;
      values += values.empty() ? "?" : ", ?";
    }
    insert += ") VALUES(" + values + ")";
  }
  ~Place() {
    journal.reset();
    sqlite3_close(raw);
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

// Binds column `i` from the input: NULL, a number, a real, a text or bytes of any length, or
// the usual value of the column.
void BindValue(sqlite3_stmt* s, int i, InputReader& in) {
  const int kind = in.Byte() % 8;
  const char usual = kKinds[i];
  if (kind == 0) {
    sqlite3_bind_null(s, i + 1);
  } else if (kind == 1 || (kind >= 5 && usual == 'I')) {
    std::uint8_t b[8];
    in.Bytes(b, kind == 1 ? 8 : 1);
    std::int64_t v = kind == 1 ? 0 : b[0];
    if (kind == 1)
      for (int k = 7; k >= 0; --k) v = (v << 8) | b[k];
    sqlite3_bind_int64(s, i + 1, v);
  } else if (kind == 2) {
    sqlite3_bind_double(s, i + 1, static_cast<double>(static_cast<std::int8_t>(in.Byte())) / 3);
  } else if (kind == 3 || (kind >= 5 && usual == 'T')) {
    std::string text;
    if (kind == 3) {
      text.resize(in.Byte());
      in.Bytes(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
    } else {
      const std::uint8_t pick = in.Byte() % 8;
      text = i == 2 ? kDevices[pick] : i == 12 ? kStates[pick] : "x";
    }
    sqlite3_bind_text(s, i + 1, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } else {
    std::size_t n = 512;
    if (kind == 4) n = (in.Byte() | (std::size_t{in.Byte()} << 8)) % 1024;
    std::vector<std::uint8_t> bytes(n);
    in.Bytes(bytes.data(), n);
    sqlite3_bind_blob(s, i + 1, bytes.data(), static_cast<int>(n), SQLITE_TRANSIENT);
  }
}

// What a sound record holds.
void CheckSound(const Record& r) {
  Check(r.device.size() == 2 && r.device[0] >= 'A' && r.device[0] <= 'R' && r.device[1] == ':');
  Check(r.sector >= 0 && r.generation >= 0 && (r.undoes == 0) == (r.generation == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Place place;
  InputReader in(data, size);
  sqlite3_exec(place.raw, "DELETE FROM writes", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(place.raw, place.insert.c_str(), -1, &insert, nullptr) == SQLITE_OK);
  for (int rows = in.Byte() % 6 + 1; rows > 0 && !in.AtEnd(); --rows) {
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) BindValue(insert, i, in);
    sqlite3_step(insert);
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
  }
  sqlite3_finalize(insert);

  Journal& j = *place.journal;
  std::int64_t count = 0;
  Check(j.Count("", &count).ok() && j.Count("A:", &count).ok());
  std::vector<std::string> devices;
  Check(j.Devices(&devices).ok());
  HistoryList list(j);
  Check(list.Reset("").ok());
  std::vector<Record> records;
  for (std::size_t row = 0; row < list.size(); ++row) {
    for (int c = 0; c < HistoryList::kColumnCount; ++c) list.Cell(row, c);
    const Summary& s = list.at(row);
    Record r;
    Check(j.Get(s.id, &r).ok());
    Check(r.damaged() == !s.damage.empty());
    if (!r.damaged()) CheckSound(r);
    records.push_back(r);
  }
  ExportText(records);
  std::vector<Record> open;
  Check(j.Unsettled(&open).ok());
  for (const char* device : {"A:", "B:"}) {
    std::optional<Record> found;
    Check(FindUndoable(
              j, device,
              [](const Record& r) {
                Check(!r.damaged());
                CheckSound(r);
                return r.id % 2 == 0;
              },
              {}, &found)
              .ok());
    Check(!found || (!found->damaged() && !found->isUndo() && found->device == device));
  }
  return 0;
}
