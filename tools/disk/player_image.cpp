#include "tools/disk/player_image.h"

#include <stdexcept>

#include "platform/resource_bundle.h"
#include "tools/disk/pe_resources.h"

namespace disk {

namespace {

// Resource ids and types the player asks for.
constexpr uint16_t kSkinId = 102;
constexpr uint16_t kRegionId = 103;
constexpr uint16_t kImageId = 107;
constexpr uint16_t kIconId = 109;
constexpr uint16_t kFontPageId = 168;
constexpr uint16_t kBitmapType = 2;
constexpr uint16_t kGroupIconType = 14;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

Bytes LinuxPlayer(const Bytes& player, const DiskResources& r) {
  // A player that already carries a disk of quarb-disk's loses it.
  Bytes out(player.begin(), player.begin() + resource_bundle::Start(player.data(), player.size()));
  const std::vector<resource_bundle::Entry> entries = {
      {"BINARY", 0, kImageId, r.image},     {"", kBitmapType, kSkinId, r.skin},
      {"BINARY", 0, kRegionId, r.region},   {"", kBitmapType, kFontPageId, r.font_page},
      {"", kGroupIconType, kIconId, r.icon},
  };
  const Bytes bundle = resource_bundle::Write(entries);
  out.insert(out.end(), bundle.begin(), bundle.end());
  return out;
}

// An .ico file as Windows keeps icons: each image a resource of type 3 (ids
// 1, 2, ...), and a group directory of type 14 that names them by id
// (GRPICONDIR: the .ico's 16-byte entries with a 2-byte id for the offset).
void AddIcon(const Bytes& ico, std::vector<pe::Resource>& out) {
  const uint16_t count = Le16(ico.data() + 4);
  Bytes group;
  Put16(group, 0);
  Put16(group, 1);
  Put16(group, count);
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* entry = ico.data() + 6 + 16 * i;
    const uint32_t size = Le32(entry + 8), offset = Le32(entry + 12);
    const uint16_t id = static_cast<uint16_t>(i + 1);
    group.insert(group.end(), entry, entry + 12);  // width .. bytes in resource
    Put16(group, id);
    out.push_back({pe::kTypeIcon, id, 1033, Bytes(ico.begin() + offset, ico.begin() + offset + size)});
  }
  out.push_back({pe::kTypeGroupIcon, kIconId, 1033, group});
}

Bytes WindowsPlayer(const Bytes& player, const DiskResources& r) {
  std::vector<pe::Resource> resources = {
      {std::string("BINARY"), kRegionId, 1033, r.region},
      {std::string("BINARY"), kImageId, 1033, r.image},
      {pe::kTypeBitmap, kSkinId, 1033, r.skin},
      {pe::kTypeBitmap, kFontPageId, 1033, r.font_page},
  };
  AddIcon(r.icon, resources);
  return pe::ReplaceResources(player, resources);
}

}  // namespace

Target ProgramTarget(const Bytes& program, const std::string& path) {
  if (program.size() >= 4 && program[0] == 0x7F && program[1] == 'E' && program[2] == 'L' && program[3] == 'F')
    return Target::kLinux;
  if (program.size() >= 2 && program[0] == 'M' && program[1] == 'Z') return Target::kWindows;
  throw std::runtime_error(path + ": not a program (neither ELF nor PE)");
}

Bytes MakePlayer(Target target, const Bytes& player, const std::string& player_path,
                 const DiskResources& resources) {
  if (ProgramTarget(player, player_path) != target)
    throw std::runtime_error(player_path + ": a player for " +
                             (target == Target::kLinux ? std::string("Windows, not Linux") : "Linux, not Windows"));
  if (target == Target::kLinux) return LinuxPlayer(player, resources);
  try {
    return WindowsPlayer(player, resources);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(player_path + ": " + e.what());
  }
}

}  // namespace disk
