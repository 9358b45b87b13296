// The application's version record: title, version numbers, company and comments.
// The window title and the About box both read it.
#pragma once

#include <string>

namespace dulvex {

struct VersionRecord {
  std::string title;
  int major = 0;
  int minor = 0;
  int revision = 0;
  std::string companyName;
  std::string comments;
};

// The record of this build.
const VersionRecord& AppVersion();

// Title, " - version: ", then major.minor.revision in decimal without leading zeros.
std::string VersionCaption(const VersionRecord& v);

}  // namespace dulvex
