#include "check/headless.h"

#include "base/escape.h"
#include "check/checker_parts.h"
#include "fat/boot_sector.h"

namespace dulvex::check {

namespace {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b == 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", b);
      out += esc;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Where(const Finding& f) {
  std::string at;
  if (f.at.valid())
    at = "sector " + std::to_string(f.at.sector) + " offset " + std::to_string(f.at.offset);
  if (f.cluster != 0)
    at += (at.empty() ? "" : ", ") + std::string("cluster ") + std::to_string(f.cluster);
  return at;
}

std::string Summary(const CheckResult& r) {
  if (!r.layout) return "no FAT volume could be read";
  return std::string(fat::FatTypeName(r.geometry.FatType)) + ", " +
         std::to_string(r.layout->clusterCount) + " clusters of " +
         std::to_string(r.layout->clusterBytes) + " bytes";
}

}  // namespace

std::string FindingsText(const CheckResult& r, const std::string& medium) {
  // The medium's name on one line, whatever bytes it holds.
  std::string text = EscapeControls(medium) + ": " + Summary(r) + "\n";
  for (const Finding& f : r.findings) {
    text += std::string(SeverityName(f.severity)) + " " + std::string(KindName(f.kind));
    const std::string at = Where(f);
    text += (at.empty() ? "" : " " + at) + ": " + f.text + "\n";
  }
  for (int k = 0; k < kFindingKinds; ++k) {
    if (r.omitted[k] > 0)
      text += "... and " + std::to_string(r.omitted[k]) + " more " +
              std::string(KindName(static_cast<FindingKind>(k))) + " findings\n";
  }
  if (r.cancelled) text += "The check was cancelled.\n";
  const std::uint64_t total = r.Total();
  if (r.Clean())
    text += "clean\n";
  else
    text += Count(total, "finding", "findings") + (r.complete ? "" : " (the check is incomplete)") +
            "\n";
  return text;
}

std::string FindingsJson(const CheckResult& r, const std::string& medium) {
  std::string j = "{\"medium\": " + JsonString(medium) + ", \"volume\": " + JsonString(Summary(r)) +
                  ", \"complete\": " + (r.complete ? "true" : "false") +
                  ", \"clean\": " + (r.Clean() ? "true" : "false") + ", \"findings\": [";
  for (std::size_t i = 0; i < r.findings.size(); ++i) {
    const Finding& f = r.findings[i];
    j += std::string(i > 0 ? ",\n  " : "\n  ") + "{\"kind\": \"" + std::string(KindName(f.kind)) +
         "\", \"severity\": \"" + std::string(SeverityName(f.severity)) + "\"";
    if (f.at.valid())
      j += ", \"sector\": " + std::to_string(f.at.sector) +
           ", \"offset\": " + std::to_string(f.at.offset) +
           ", \"length\": " + std::to_string(f.length);
    if (f.cluster != 0) j += ", \"cluster\": " + std::to_string(f.cluster);
    if (!f.path.empty()) j += ", \"path\": " + JsonString(f.path);
    if (!f.otherPath.empty()) j += ", \"other_path\": " + JsonString(f.otherPath);
    j += ", \"text\": " + JsonString(f.text) + "}";
  }
  j += r.findings.empty() ? "]" : "\n]";
  j += ", \"omitted\": {";
  bool first = true;
  for (int k = 0; k < kFindingKinds; ++k) {
    if (r.omitted[k] == 0) continue;
    j += std::string(first ? "" : ", ") + "\"" +
         std::string(KindName(static_cast<FindingKind>(k))) + "\": " + std::to_string(r.omitted[k]);
    first = false;
  }
  return j + "}}\n";
}

int RunHeadlessCheck(const std::filesystem::path& path, bool json, OemCodePage page, std::FILE* out,
                     std::FILE* err) {
  fat::MediumSource medium;
  if (const Status open = medium.Open(path); !open.ok()) {
    std::fprintf(err, "dulvex: %s: %s\n", EscapeControls(path.string()).c_str(),
                 open.Describe().c_str());
    return 2;
  }
  const CheckResult r = CheckVolume(medium, nullptr, page);
  const std::string text = json ? FindingsJson(r, path.string()) : FindingsText(r, path.string());
  std::fputs(text.c_str(), out);
  return r.Clean() ? 0 : 1;
}

}  // namespace dulvex::check
