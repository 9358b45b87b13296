// The boot-sector fields and the sector numbers derived from them. Filled only by the
// boot-sector refresh; zero before the first one. Held in 64 bits so that every field a
// real boot sector can hold is kept truthfully (a hidden-sector count of 4,294,967,295, a
// 32-bit total of 2^31 or more, a root cluster with its top bit set).
#pragma once

#include <cstdint>

namespace dulvex {

struct VolumeGeometry {
  std::int64_t BPB_BytsPerSec = 0;
  std::int64_t BPB_SecPerClus = 0;
  std::int64_t BPB_RsvdSec = 0;
  std::int64_t BPB_NumFATs = 0;
  std::int64_t BPB_RootEntCnt = 0;
  std::int64_t BPB_TotSec16 = 0;
  std::int64_t BPB_Media = 0;
  std::int64_t BPB_FATSz16 = 0;
  std::int64_t BPB_SecPerTrk = 0;
  std::int64_t BPB_NumHeads = 0;
  std::int64_t BPB_HiddSec = 0;
  std::int64_t BPB_TotSec32 = 0;
  std::int64_t BPB_FATSz32 = 0;    // decoded only from FAT32-layout sectors (BPB_FATSz16 = 0)
  std::int64_t BPB_ExtFlags = 0;   // FAT32 layout only: bit 7 set, only the FAT in bits 0-3 is used
  std::int64_t BPB_RootClus = 0;   // decoded only from FAT32-layout sectors
  std::int64_t BPB_FSInfo = 0;     // sector of the FSInfo record; FAT32 layout only
  std::int64_t BPB_BkBootSec = 0;  // first sector of the boot-record backup; FAT32 layout only
  std::int64_t RootDirSectors = 0;  // sectors of the FAT12/FAT16 root directory region
  std::int64_t TotSec = 0;
  std::int64_t FATSz = 0;
  std::int64_t FirstDataSector = 0;  // first sector of cluster 2
  std::int64_t DataSec = 0;          // sectors in the data region
  std::int64_t CountofClusters = 0;
  std::uint8_t FatType = 0;  // 1 FAT12, 2 FAT16, 3 FAT32, 0 before the first complete refresh
  std::int64_t Fat1Sector = 0;
  std::int64_t Fat2Sector = 0;          // Fat1Sector + FATSz; a FAT only when BPB_NumFATs >= 2
  std::int64_t Cluster0Sector = 0;      // where a cluster 0 would begin
  std::int64_t RootDirEntrySector = 0;  // first sector of the root directory
};

}  // namespace dulvex
