// The controls of the "Volume Informations" panel (Frame1) and of the field-name panel in
// front of its left column (Frame2): the hidden refresh button, the value boxes of the
// boot-sector fields and of the derived geometry, and their captions.
#pragma once

#include "core/control.h"
#include "core/window_model.h"

namespace dulvex {

// Colours of the value boxes, one per kind of value.
inline constexpr Rgb kValuePlainColour = MakeRgb(255, 255, 255);
inline constexpr Rgb kValueSizeColour = MakeRgb(192, 255, 192);      // sizes and counts
inline constexpr Rgb kValueFat1216Colour = MakeRgb(192, 255, 255);   // FAT12/FAT16 extension
inline constexpr Rgb kValueFat32Colour = MakeRgb(192, 192, 255);     // FAT32 extension
inline constexpr Rgb kValueDataSecColour = MakeRgb(255, 224, 192);   // sectors in data region
inline constexpr Rgb kValueClustersColour = MakeRgb(255, 192, 128);  // cluster count and type
inline constexpr Rgb kValueCluster0Colour = MakeRgb(255, 255, 0);
inline constexpr Rgb kValueRootDirColour = MakeRgb(255, 255, 128);

// Caption colours on Frame2: the common rows and headings, then the two extensions.
inline constexpr Rgb kCaptionCommonColour = MakeRgb(255, 255, 255);
inline constexpr Rgb kCaptionFat1216Colour = MakeRgb(255, 255, 192);
inline constexpr Rgb kCaptionFat32Colour = MakeRgb(255, 255, 128);
// Captions of Frame1's own rows (below Frame2).
inline constexpr Rgb kCaptionDerivedColour = MakeRgb(192, 192, 192);

// Adds the panel's controls to a model that already holds Frame1 and Frame2.
//   Command3            the hidden "REFRESH Master Boot Record" button
//   Label2(n)           value boxes of the common fields and the derived geometry
//   Label32(n)          value boxes of the FAT12/FAT16 extension (offsets 36 to 61)
//   Label33(n)          value boxes of the FAT32 extension (offsets 36 to 89)
//   Label34(n)          captions of the boot-sector rows on Frame2, top to bottom
//   Label35(0), (1)     the headings "FAT12/FAT16" and "FAT32" on Frame2
//   Label1(n)           captions of the derived rows on Frame1, top to bottom
//   Label36             the small ">" between the cluster count and the FAT type
void AddVolumePanelDesign(WindowModel& model);

}  // namespace dulvex
