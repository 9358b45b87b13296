// The three sector routines of the program: read sector 0 for the boot-sector refresh,
// read sector N, write sector N. Each reports its own failures in a message box and tells
// its caller whether the transfer really happened.
#pragma once

#include <cstdint>

#include "app/window_model.h"

namespace dulvex {

struct TransferResult {
  // N for N >= 1, 0 for N <= 0, and 0 when the device could not be opened.
  std::int32_t count = 0;
  // True only when all 512 bytes were read, or written and made durable.
  bool ok = false;
};

// Reads sector 0 of DevicePath into BootSectorBuffer. True when it was read; on failure the
// buffer is left as it was and the reason has been shown.
bool Leggi_MBR(WindowModel& model);

// Reads sector n (n <= 0 reads sector 0) into `buffer`. On failure the buffer is left as
// it was and the reason has been shown. Numbers outside -2,147,483,647 to 2,147,483,647
// are refused with a message before any device is opened.
TransferResult ReadSector(WindowModel& model, std::int64_t n, SectorBytes& buffer);

// Writes `source` over sector n (n <= 0 writes sector 0) and makes it durable. Refuses
// numbers out of range, sectors past the end of the medium and busy block devices with a
// message; reports every failure.
TransferResult WriteSector(WindowModel& model, std::int64_t n, const SectorBytes& source);

// The application's title, for message boxes.
const std::string& AppTitle();

}  // namespace dulvex
