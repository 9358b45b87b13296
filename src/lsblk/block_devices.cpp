#include "lsblk/block_devices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace dulvex::lsblk {

namespace {

std::string Text(const QJsonValue& v) {
  return v.isString() ? v.toString().trimmed().toStdString() : std::string();
}

// Newer lsblk writes true/false, older "1"/"0" or 1/0.
bool Flag(const QJsonValue& v) {
  if (v.isBool()) return v.toBool();
  if (v.isDouble()) return v.toDouble() != 0;
  return v.toString() == QLatin1String("1") || v.toString() == QLatin1String("true");
}

std::uint64_t Size(const QJsonValue& v) {
  if (v.isDouble()) return v.toDouble() > 0 ? static_cast<std::uint64_t>(v.toDouble()) : 0;
  return v.toString().toULongLong();
}

// Adds `object` and the devices below it; returns whether any of them is mounted.
bool Add(const QJsonObject& object, int depth, std::vector<BlockDevice>& out) {
  BlockDevice d;
  d.name = Text(object.value("name"));
  d.path = Text(object.value("path"));
  if (d.path.empty() && !d.name.empty()) d.path = "/dev/" + d.name;
  d.model = Text(object.value("model"));
  d.fsType = Text(object.value("fstype"));
  d.label = Text(object.value("label"));
  d.type = Text(object.value("type"));
  d.size = Size(object.value("size"));
  d.removable = Flag(object.value("rm"));
  d.readOnly = Flag(object.value("ro"));
  d.depth = depth;
  for (const QJsonValue& m : object.value("mountpoints").toArray()) {
    if (!Text(m).empty()) d.mountPoints.push_back(Text(m));
  }
  if (!Text(object.value("mountpoint")).empty())
    d.mountPoints.push_back(Text(object.value("mountpoint")));
  const std::size_t at = out.size();
  out.push_back(std::move(d));
  bool below = false;
  for (const QJsonValue& child : object.value("children").toArray()) {
    below = Add(child.toObject(), depth + 1, out) || below;
  }
  out[at].holdsMounted = below;
  return below || out[at].mounted();
}

}  // namespace

DeviceList ParseLsblk(const QByteArray& json) {
  DeviceList list;
  QJsonParseError problem{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &problem);
  if (problem.error != QJsonParseError::NoError) {
    list.error = "lsblk's answer is not JSON: " + problem.errorString().toStdString();
    return list;
  }
  const QJsonValue devices = doc.object().value("blockdevices");
  if (!devices.isArray()) {
    list.error = "lsblk's answer has no list of block devices";
    return list;
  }
  for (const QJsonValue& d : devices.toArray()) Add(d.toObject(), 0, list.devices);
  return list;
}

DeviceList ListBlockDevices() {
  QProcess lsblk;
  lsblk.start("lsblk", {"--json", "--bytes", "--output", kColumns});
  if (!lsblk.waitForFinished(10000)) {
    DeviceList list;
    list.error = "lsblk (util-linux) could not be run: " + lsblk.errorString().toStdString();
    return list;
  }
  if (lsblk.exitStatus() != QProcess::NormalExit || lsblk.exitCode() != 0) {
    DeviceList list;
    list.error = "lsblk failed: " +
                 QString::fromLocal8Bit(lsblk.readAllStandardError()).trimmed().toStdString();
    return list;
  }
  return ParseLsblk(lsblk.readAllStandardOutput());
}

}  // namespace dulvex::lsblk
