// A small FAT volume in memory made from fuzz input: the first bytes choose the FAT type and
// the layout (up to 512 clusters, so that each input runs fast), the rest fills the FAT, the
// root directory region and the clusters. Its FAT is loaded, as any bytes must allow.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

#include "fat/byte_source.h"
#include "fat/fat_table.h"
#include "fuzz_input.h"

struct FuzzVolume {
  dulvex::fat::Layout layout;
  std::vector<std::uint8_t> bytes;
  std::optional<dulvex::fat::MemorySource> source;  // over `bytes`, once they are made
  std::optional<dulvex::fat::FatTable> table;

  FuzzVolume(const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[4] = {};
    std::copy_n(data, std::min<std::size_t>(size, 4), head);
    using dulvex::fat::FatKind;
    dulvex::fat::Layout& l = layout;
    l.kind = head[0] % 3 == 0 ? FatKind::Fat12 : head[0] % 3 == 1 ? FatKind::Fat16 : FatKind::Fat32;
    l.sectorsPerCluster = 1u << (head[1] % 3);
    l.clusterBytes = l.sectorsPerCluster * 512;
    l.clusterCount = 1 + (head[2] | (head[3] & 0x01) << 8);  // up to 512
    l.fat1Sector = 0;
    l.fatSectors = (std::int64_t{l.clusterCount} + 2) * l.EntryBits() / 8 / 512 + 1;
    l.rootSector = l.fatSectors;
    l.rootSectors = l.kind == FatKind::Fat32 ? 0 : 1 + head[3] / 64;
    l.rootCluster = 2 + head[1] / 3 % 4;
    l.firstDataSector = l.rootSector + l.rootSectors;
    // The data region is as long as the input; clusters past it cannot be read.
    bytes.assign(data + std::min<std::size_t>(size, 4), data + size);
    bytes.resize(
        std::max<std::size_t>(bytes.size(), static_cast<std::size_t>(l.firstDataSector) * 512));
    source.emplace(bytes);
    table = dulvex::fat::LoadFat(*source, l, 0).table;
    Check(table.has_value());
  }
};
