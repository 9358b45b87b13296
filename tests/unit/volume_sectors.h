// Hand-built boot sectors for the volume tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "app/app_state.h"

namespace dulvex::testing {

// The fields of a boot sector; the defaults are those of a 1.44 MB floppy.
struct BootFields {
  std::uint32_t bytsPerSec = 512, secPerClus = 1, rsvdSec = 1, numFATs = 2, rootEntCnt = 224,
                totSec16 = 2880, media = 0xF0, fatSz16 = 9, secPerTrk = 18, numHeads = 2,
                hiddSec = 0, totSec32 = 0;
  // FAT32 extension (written only when fatSz16 is 0, where the FAT12/FAT16 one would lie).
  std::uint32_t fatSz32 = 0, rootClus = 2;
};

inline void Put(SectorBytes& b, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + static_cast<std::size_t>(i)] = (v >> (8 * i)) & 0xFF;
}

inline void PutText(SectorBytes& b, std::size_t at, const char* text) {
  std::memcpy(&b[at], text, std::strlen(text));
}

inline SectorBytes BootSector(const BootFields& f) {
  SectorBytes b{};
  Put(b, 0, 0x903CEB, 3);  // EB 3C 90
  PutText(b, 3, "MSDOS5.0");
  Put(b, 11, f.bytsPerSec, 2);
  Put(b, 13, f.secPerClus, 1);
  Put(b, 14, f.rsvdSec, 2);
  Put(b, 16, f.numFATs, 1);
  Put(b, 17, f.rootEntCnt, 2);
  Put(b, 19, f.totSec16, 2);
  Put(b, 21, f.media, 1);
  Put(b, 22, f.fatSz16, 2);
  Put(b, 24, f.secPerTrk, 2);
  Put(b, 26, f.numHeads, 2);
  Put(b, 28, f.hiddSec, 4);
  Put(b, 32, f.totSec32, 4);
  if (f.fatSz16 != 0) {
    Put(b, 36, 0x00, 1);  // drive number
    Put(b, 38, 0x29, 1);  // boot signature
    Put(b, 39, 0x0512A0CD, 4);
    PutText(b, 43, "NO NAME    ");
    PutText(b, 54, "FAT12   ");
  } else {
    Put(b, 36, f.fatSz32, 4);
    Put(b, 44, f.rootClus, 4);
    Put(b, 48, 1, 2);  // FSInfo
    Put(b, 50, 6, 2);  // backup boot sector
    Put(b, 64, 0x80, 1);
    Put(b, 66, 0x29, 1);
    Put(b, 67, 0x00C0FFEE, 4);
    PutText(b, 71, "BIG VOLUME ");
    PutText(b, 82, "FAT32   ");
  }
  b[510] = 0x55;
  b[511] = 0xAA;
  return b;
}

}  // namespace dulvex::testing
