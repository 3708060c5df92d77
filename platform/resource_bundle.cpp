#include "platform/resource_bundle.h"

#include <array>
#include <cstring>

namespace resource_bundle {

namespace {

uint32_t Crc32(const uint8_t* bytes, size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t Get(const uint8_t* p, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
  return value;
}

// Reads fields in order, refusing to pass the end.
class Reader {
 public:
  Reader(const uint8_t* p, size_t size) : p_(p), left_(size) {}
  bool Number(int bytes, uint64_t* value) {
    if (left_ < static_cast<size_t>(bytes)) return false;
    *value = Get(p_, bytes);
    p_ += bytes;
    left_ -= bytes;
    return true;
  }
  bool Bytes(uint64_t size, const uint8_t** at) {
    if (left_ < size) return false;
    *at = p_;
    p_ += size;
    left_ -= size;
    return true;
  }
  size_t left() const { return left_; }

 private:
  const uint8_t* p_;
  size_t left_;
};

struct Trailer {
  uint64_t bundle_size;
  uint32_t crc;
  uint32_t version;
};

bool FindTrailer(const uint8_t* file, size_t size, Trailer* trailer) {
  if (file == nullptr || size < kTrailerSize) return false;
  const uint8_t* t = file + size - kTrailerSize;
  if (std::memcmp(t + 16, kMagic, sizeof kMagic) != 0) return false;
  trailer->bundle_size = Get(t, 8);
  trailer->crc = static_cast<uint32_t>(Get(t + 8, 4));
  trailer->version = static_cast<uint32_t>(Get(t + 12, 4));
  return true;
}

}  // namespace

std::vector<uint8_t> Write(const std::vector<Entry>& entries) {
  std::vector<uint8_t> out;
  Put(out, entries.size(), 4);
  for (const Entry& e : entries) {
    Put(out, e.type_name.empty() ? e.type_id : 0, 2);
    Put(out, e.id, 2);
    Put(out, e.type_name.size(), 4);
    out.insert(out.end(), e.type_name.begin(), e.type_name.end());
    Put(out, e.bytes.size(), 4);
    out.insert(out.end(), e.bytes.begin(), e.bytes.end());
  }
  const uint64_t size = out.size();
  const uint32_t crc = Crc32(out.data(), out.size());
  Put(out, size, 8);
  Put(out, crc, 4);
  Put(out, kVersion, 4);
  out.insert(out.end(), kMagic, kMagic + sizeof kMagic);
  return out;
}

Status Read(const uint8_t* file, size_t size, std::vector<Entry>* entries, std::string* error) {
  entries->clear();
  Trailer trailer;
  if (!FindTrailer(file, size, &trailer)) return Status::kNone;
  auto damaged = [&](const char* why) {
    entries->clear();
    *error = why;
    return Status::kDamaged;
  };
  if (trailer.version != kVersion) return damaged("a bundle of another version");
  if (trailer.bundle_size > size - kTrailerSize) return damaged("the bundle is larger than the file");
  const uint8_t* bundle = file + size - kTrailerSize - trailer.bundle_size;
  if (Crc32(bundle, trailer.bundle_size) != trailer.crc) return damaged("the bundle's CRC does not match");

  Reader in(bundle, trailer.bundle_size);
  uint64_t count = 0;
  if (!in.Number(4, &count)) return damaged("the bundle is cut short");
  // Every entry takes at least 12 bytes: a count beyond that is a lie.
  if (count > in.left() / 12) return damaged("the bundle counts more entries than it holds");
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t type_id, id, name_length, data_size;
    const uint8_t* name;
    const uint8_t* data;
    if (!in.Number(2, &type_id) || !in.Number(2, &id) || !in.Number(4, &name_length) ||
        !in.Bytes(name_length, &name) || !in.Number(4, &data_size) || !in.Bytes(data_size, &data)) {
      return damaged("an entry runs past the end of the bundle");
    }
    if ((name_length == 0) == (type_id == 0)) return damaged("an entry has both or neither of a type name and number");
    Entry e;
    e.type_name.assign(reinterpret_cast<const char*>(name), name_length);
    e.type_id = static_cast<uint16_t>(type_id);
    e.id = static_cast<uint16_t>(id);
    e.bytes.assign(data, data + data_size);
    entries->push_back(std::move(e));
  }
  if (in.left() != 0) return damaged("bytes follow the last entry");
  return Status::kValid;
}

size_t Start(const uint8_t* file, size_t size) {
  std::vector<Entry> entries;
  std::string error;
  if (Read(file, size, &entries, &error) != Status::kValid) return size;
  Trailer trailer;
  FindTrailer(file, size, &trailer);
  return size - kTrailerSize - static_cast<size_t>(trailer.bundle_size);
}

}  // namespace resource_bundle
