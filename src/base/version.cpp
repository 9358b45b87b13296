#include "base/version.h"

#include "base/version_info.h"

namespace dulvex {

const VersionRecord& AppVersion() {
  static const VersionRecord record{"DulvexHexEditor",
                                    DULVEX_VERSION_MAJOR,
                                    DULVEX_VERSION_MINOR,
                                    DULVEX_VERSION_REVISION,
                                    "Morlentis",
                                    "Dulvex Hexadecimal Editor With a Short Guide for the Sectors "
                                    "in Various Devices and Volumes"};
  return record;
}

std::string VersionCaption(const VersionRecord& v) {
  return v.title + " - version: " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
         std::to_string(v.revision);
}

}  // namespace dulvex
