// The PE32+ layout this file relies on, for the next person who changes it:
//
//   DOS header      "MZ"; at 0x3C the file offset of the PE signature.
//   "PE\0\0"        then the COFF file header (20 bytes) and the optional
//                   header (PE32+: magic 0x20B, 112 bytes of fields, then
//                   NumberOfRvaAndSizes data directories of 8 bytes each).
//   section table   NumberOfSections headers of 40 bytes, ascending by RVA.
//   section data    each section's SizeOfRawData bytes at PointerToRawData.
//   overlay         whatever follows the last section's data in the file.
//
// Data directory 2 gives the RVA and size of the resource directory, a tree
// of three levels (type, name, language). A directory is 16 bytes with
// the number of named and of numeric entries at +12 and +14, followed by
// its 8-byte entries, named ones first. An entry's first word is either an
// id (high bit clear) or, high bit set, the offset of the name: a 16-bit
// length and that many UTF-16 units. Its second word is, high bit set, the
// offset of a subdirectory or, clear, of a 16-byte data entry: the RVA of the
// data, its size, a code page and a reserved word. All offsets but the data's
// RVA are relative to the start of the resource directory.
#include "tools/disk/pe_resources.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace pe {
namespace {

// COFF file header fields, from its start.
constexpr size_t kNumberOfSections = 2, kPointerToSymbolTable = 8, kNumberOfSymbols = 12,
                 kSizeOfOptionalHeader = 16, kCoffHeaderSize = 20;
// Optional header (PE32+) fields, from its start.
constexpr size_t kSizeOfInitializedData = 8, kSectionAlignment = 32, kFileAlignment = 36,
                 kSizeOfImage = 56, kSizeOfHeaders = 60, kCheckSum = 64, kNumberOfRvaAndSizes = 108,
                 kDataDirectories = 112;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr unsigned kResourceDirectory = 2, kCertificateTable = 4;
// Section header fields.
constexpr size_t kSectionHeaderSize = 40, kVirtualSize = 8, kVirtualAddress = 12, kSizeOfRawData = 16,
                 kPointerToRawData = 20, kCharacteristics = 36;
constexpr uint32_t kInitializedData = 0x00000040, kMemRead = 0x40000000, kMemWrite = 0x80000000;
// The player unscrambles its disk image in the resource's own memory.
constexpr uint32_t kResourceCharacteristics = kInitializedData | kMemRead | kMemWrite;
constexpr char kNewSectionName[8] = {'.', 'r', 's', 'r', 'c', '2', 0, 0};
constexpr uint32_t kHighBit = 0x80000000;
constexpr size_t kDirectorySize = 16, kEntrySize = 8, kDataEntrySize = 16;

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

// Every read is checked, so that a mistake in the checks made before it ends
// in an error rather than a read outside the file.
uint32_t Get(const Bytes& b, uint64_t off, int n) {
  if (off > b.size() || b.size() - off < static_cast<uint64_t>(n)) Fail("the file is cut short");
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b[off + i];
  return v;
}
uint16_t Get16(const Bytes& b, uint64_t off) { return static_cast<uint16_t>(Get(b, off, 2)); }
uint32_t Get32(const Bytes& b, uint64_t off) { return Get(b, off, 4); }
void Put(Bytes& b, uint64_t off, uint32_t v, int n) {
  if (off > b.size() || b.size() - off < static_cast<uint64_t>(n)) Fail("internal error: write outside the file");
  for (int i = 0; i < n; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, uint64_t off, uint32_t v) { Put(b, off, v, 2); }
void Put32(Bytes& b, uint64_t off, uint32_t v) { Put(b, off, v, 4); }

uint64_t AlignUp(uint64_t v, uint64_t alignment) { return (v + alignment - 1) / alignment * alignment; }
bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

struct Section {
  std::string name;  // printable, for messages
  size_t header;     // file offset of its header
  uint32_t virtual_size, va, raw_size, raw_ptr, characteristics;
  // Bytes it takes in memory: the loader uses SizeOfRawData when VirtualSize is 0.
  uint64_t Extent() const { return virtual_size ? virtual_size : raw_size; }
  // Of those, the ones that come from the file.
  uint64_t Backed() const { return virtual_size ? std::min(virtual_size, raw_size) : raw_size; }
  uint64_t RawEnd() const { return uint64_t{raw_ptr} + raw_size; }
};

struct DataDirectory {
  uint32_t rva = 0, size = 0;
};

struct Image {
  size_t coff = 0, optional = 0, section_table = 0;
  uint32_t section_alignment = 0, file_alignment = 0, size_of_headers = 0, size_of_image = 0;
  uint32_t directory_count = 0;  // the ones we look at: at most 16
  std::vector<Section> sections;
  uint64_t raw_end = 0;  // end of the headers and of all section data: the overlay starts here

  size_t DirectoryOffset(unsigned i) const { return optional + kDataDirectories + 8 * i; }
};

DataDirectory Directory(const Bytes& file, const Image& image, unsigned i) {
  if (i >= image.directory_count) return {};
  return {Get32(file, image.DirectoryOffset(i)), Get32(file, image.DirectoryOffset(i) + 4)};
}

// The headers and section table, checked against the file so that the rest
// can rely on them: every section's data lies in the file and the sections
// do not overlap in memory.
Image Parse(const Bytes& file) {
  Image image;
  if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') Fail("not a Windows program (no MZ header)");
  uint64_t pe = Get32(file, 0x3C);
  if (pe > file.size() || file.size() - pe < 4 + kCoffHeaderSize)
    Fail("not a Windows program (the PE header lies outside the file)");
  if (Get32(file, pe) != 0x00004550) Fail("not a Windows program (no PE signature)");
  image.coff = pe + 4;
  image.optional = image.coff + kCoffHeaderSize;
  uint16_t optional_size = Get16(file, image.coff + kSizeOfOptionalHeader);
  if (file.size() - image.optional < optional_size) Fail("the optional header runs past the end of the file");
  if (optional_size < kDataDirectories || Get16(file, image.optional) != kMagicPe32Plus)
    Fail("not a 64-bit Windows program (no PE32+ optional header)");
  image.directory_count = std::min<uint32_t>(Get32(file, image.optional + kNumberOfRvaAndSizes), 16);
  if (kDataDirectories + 8 * image.directory_count > optional_size)
    Fail("the optional header is too small for its data directories");

  image.section_alignment = Get32(file, image.optional + kSectionAlignment);
  image.file_alignment = Get32(file, image.optional + kFileAlignment);
  // The format allows file alignments up to 64 KiB; a larger one would only
  // serve to make us write absurd amounts of padding.
  if (!IsPowerOfTwo(image.section_alignment) || !IsPowerOfTwo(image.file_alignment) ||
      image.file_alignment > 0x10000 || image.file_alignment > image.section_alignment)
    Fail("bad section or file alignment in the optional header");
  image.size_of_image = Get32(file, image.optional + kSizeOfImage);
  image.size_of_headers = Get32(file, image.optional + kSizeOfHeaders);
  if (image.size_of_headers > file.size()) Fail("the headers run past the end of the file");

  uint16_t count = Get16(file, image.coff + kNumberOfSections);
  image.section_table = image.optional + optional_size;
  if ((file.size() - image.section_table) / kSectionHeaderSize < count)
    Fail("the section table runs past the end of the file");
  image.raw_end = image.size_of_headers;
  uint64_t previous_end = 0;
  for (uint16_t i = 0; i < count; ++i) {
    Section s;
    s.header = image.section_table + i * kSectionHeaderSize;
    for (size_t k = 0; k < 8 && file[s.header + k] != 0; ++k) {
      char c = static_cast<char>(file[s.header + k]);
      s.name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    s.virtual_size = Get32(file, s.header + kVirtualSize);
    s.va = Get32(file, s.header + kVirtualAddress);
    s.raw_size = Get32(file, s.header + kSizeOfRawData);
    s.raw_ptr = Get32(file, s.header + kPointerToRawData);
    s.characteristics = Get32(file, s.header + kCharacteristics);
    if (s.raw_size != 0) {
      if (s.RawEnd() > file.size()) Fail("the data of section " + s.name + " runs past the end of the file");
      image.raw_end = std::max(image.raw_end, s.RawEnd());
    }
    if (s.va < previous_end) Fail("section " + s.name + " overlaps the one before it in memory");
    previous_end = AlignUp(uint64_t{s.va} + s.Extent(), image.section_alignment);
    image.sections.push_back(s);
  }
  return image;
}

// The file offset of the `size` bytes at `rva`, which must all come from the
// file's data of one section. An empty range may sit right at the end of a
// section (an empty directory's entries, say).
uint64_t FileOffset(const Image& image, uint64_t rva, uint64_t size, const char* what) {
  uint64_t probe = size == 0 && rva > 0 ? rva - 1 : rva;
  for (const Section& s : image.sections) {
    if (probe >= s.va && probe - s.va < s.Extent()) {
      if (s.Backed() < rva - s.va || s.Backed() - (rva - s.va) < size)
        Fail(std::string(what) + " runs past the data of section " + s.name);
      return s.raw_ptr + (rva - s.va);
    }
  }
  Fail(std::string(what) + " lies outside every section");
}

// Names are UTF-16 in the file and UTF-8 here. An unpaired surrogate, which
// Windows allows in names, becomes the 3-byte form of its value (as in
// WTF-8), so that reading and writing back gives the same name.
std::string ToUtf8(const std::u16string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    uint32_t c = in[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (in[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string ToUtf16(const std::string& in) {
  std::u16string out;
  for (size_t i = 0; i < in.size();) {
    uint8_t lead = static_cast<uint8_t>(in[i]);
    int more = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0 || in.size() - i <= static_cast<size_t>(more)) Fail("a resource name is not valid UTF-8");
    uint32_t c = more == 0 ? lead : lead & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      uint8_t next = static_cast<uint8_t>(in[i + k]);
      if ((next & 0xC0) != 0x80) Fail("a resource name is not valid UTF-8");
      c = c << 6 | (next & 0x3F);
    }
    static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[more] || c > 0x10FFFF) Fail("a resource name is not valid UTF-8");
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += more + 1;
  }
  return out;
}

// Walks the resource tree. Each directory may be reached once only, which
// rules out loops and the shared directories that could multiply a small
// file into billions of resources; the bytes handed out are limited by a
// budget for the same reason (data entries may legally share data).
class TreeReader {
 public:
  TreeReader(const Bytes& file, const Image& image, uint32_t root)
      : file_(file), image_(image), root_(root), budget_(4 * uint64_t{file.size()} + (1 << 20)) {}

  std::vector<Resource> Read() {
    std::vector<Resource> resources;
    for (const Entry& type : Entries(0)) {
      if (!type.subdirectory) Fail("the resource directory holds data where a type's directory belongs");
      for (const Entry& name : Entries(type.offset)) {
        if (!name.subdirectory) Fail("the resource directory holds data where a name's directory belongs");
        for (const Entry& language : Entries(name.offset)) {
          if (language.subdirectory || !std::holds_alternative<uint16_t>(language.id))
            Fail("the resource directory is nested deeper than type, name and language");
          Resource r{type.id, name.id, std::get<uint16_t>(language.id), Data(language.offset)};
          Charge(r.data.size() + Size(r.type) + Size(r.name) + sizeof(Resource));
          resources.push_back(std::move(r));
        }
      }
    }
    return resources;
  }

 private:
  struct Entry {
    ResourceId id;
    bool subdirectory;
    uint32_t offset;
  };

  static size_t Size(const ResourceId& id) {
    return std::holds_alternative<std::string>(id) ? std::get<std::string>(id).size() : 0;
  }
  void Charge(uint64_t bytes) {
    if (bytes > budget_) Fail("the resource directory gives far more data than the file holds (shared entries?)");
    budget_ -= bytes;
  }

  std::vector<Entry> Entries(uint32_t offset) {
    if (!seen_.insert(offset).second) Fail("the resource directory reaches one of its directories twice (a loop?)");
    uint64_t header = FileOffset(image_, uint64_t{root_} + offset, kDirectorySize, "a resource directory");
    uint32_t count = uint32_t{Get16(file_, header + 12)} + Get16(file_, header + 14);
    uint64_t at = FileOffset(image_, uint64_t{root_} + offset + kDirectorySize, uint64_t{count} * kEntrySize,
                             "the entry table of a resource directory");
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < count; ++i, at += kEntrySize) {
      uint32_t name = Get32(file_, at), target = Get32(file_, at + 4);
      // Numeric ids are the entry's low 16 bits; the others are reserved.
      ResourceId id = name & kHighBit ? ResourceId(Name(name & ~kHighBit)) : ResourceId(static_cast<uint16_t>(name));
      entries.push_back({std::move(id), (target & kHighBit) != 0, target & ~kHighBit});
    }
    return entries;
  }

  std::string Name(uint32_t offset) {
    uint64_t at = FileOffset(image_, uint64_t{root_} + offset, 2, "a resource name");
    uint16_t length = Get16(file_, at);
    at = FileOffset(image_, uint64_t{root_} + offset + 2, 2 * uint64_t{length}, "a resource name");
    Charge(2 * uint64_t{length});
    std::u16string name;
    for (uint16_t i = 0; i < length; ++i) name += static_cast<char16_t>(Get16(file_, at + 2 * i));
    return ToUtf8(name);
  }

  Bytes Data(uint32_t offset) {
    uint64_t entry = FileOffset(image_, uint64_t{root_} + offset, kDataEntrySize, "a resource data entry");
    uint32_t rva = Get32(file_, entry), size = Get32(file_, entry + 4);
    if (size == 0) return {};
    Charge(size);
    uint64_t at = FileOffset(image_, rva, size, "the data of a resource");
    return Bytes(file_.begin() + at, file_.begin() + at + size);
  }

  const Bytes& file_;
  const Image& image_;
  uint32_t root_;
  uint64_t budget_;
  std::set<uint32_t> seen_;
};

// A type or name as it is stored and sorted: the loader binary-searches a
// directory's named entries, comparing the upper-cased name it is asked for
// with the stored ones unit by unit, then its numeric entries by id. So
// names are stored upper-cased, named entries come first in order of their
// UTF-16 units, and ids follow in ascending order.
struct Key {
  bool named = false;
  std::u16string name;
  uint16_t id = 0;

  friend bool operator<(const Key& a, const Key& b) {
    if (a.named != b.named) return a.named;
    return a.named ? a.name < b.name : a.id < b.id;
  }
};

std::string Describe(const Resource& r) {
  auto text = [](const ResourceId& id) {
    return std::holds_alternative<uint16_t>(id) ? std::to_string(std::get<uint16_t>(id)) : std::get<std::string>(id);
  };
  return "resource " + text(r.type) + " " + text(r.name) + " (language " + std::to_string(r.language) + ")";
}

Key MakeKey(const ResourceId& id, const Resource& r) {
  if (std::holds_alternative<uint16_t>(id)) return {false, {}, std::get<uint16_t>(id)};
  const std::string& text = std::get<std::string>(id);
  if (text.empty()) Fail(Describe(r) + ": a type or name must not be empty");
  // FindResource reads "#107" as the number 107, so it would never find it.
  if (text[0] == '#') Fail(Describe(r) + ": a type or name starting with '#' is a number; give the number");
  std::u16string name = ToUtf16(text);
  if (name.size() > 0xFFFF) Fail(Describe(r) + ": a type or name is too long");
  for (char16_t& c : name)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return {true, std::move(name), 0};
}

using Tree = std::map<Key, std::map<Key, std::map<uint16_t, const Bytes*>>>;

Tree Group(const std::vector<Resource>& resources) {
  Tree tree;
  for (const Resource& r : resources) {
    auto& slot = tree[MakeKey(r.type, r)][MakeKey(r.name, r)][r.language];
    if (slot) Fail(Describe(r) + " is given twice");
    slot = &r.data;
  }
  return tree;
}

// The resource section's contents for `tree`, to be loaded at `rva`. Layout:
// the directories (root, the types', the names'), the data entries, the
// names, then the data, each piece 8-byte aligned for the program reading it.
Bytes Serialize(const Tree& tree, uint32_t rva) {
  uint64_t size = kDirectorySize + kEntrySize * tree.size();
  std::map<const Key*, uint64_t> type_dirs, name_dirs;
  for (const auto& [type, names] : tree) {
    type_dirs[&type] = size;
    size += kDirectorySize + kEntrySize * names.size();
  }
  for (const auto& [type, names] : tree)
    for (const auto& [name, languages] : names) {
      name_dirs[&name] = size;
      size += kDirectorySize + kEntrySize * languages.size();
    }
  std::map<const Bytes*, uint64_t> data_entries, data;
  for (const auto& [type, names] : tree)
    for (const auto& [name, languages] : names)
      for (const auto& [language, bytes] : languages) {
        data_entries[bytes] = size;
        size += kDataEntrySize;
      }
  std::map<std::u16string, uint64_t> strings;
  auto place_string = [&](const Key& key) {
    if (key.named && strings.emplace(key.name, size).second) size += 2 + 2 * uint64_t{key.name.size()};
  };
  for (const auto& [type, names] : tree) {
    place_string(type);
    for (const auto& [name, languages] : names) place_string(name);
  }
  for (const auto& [type, names] : tree)
    for (const auto& [name, languages] : names)
      for (const auto& [language, bytes] : languages) {
        size = AlignUp(size, 8);
        data[bytes] = size;
        size += bytes->size();
      }
  size = AlignUp(size, 8);
  // Offsets within the tree have 31 bits, and the data's RVAs 32.
  if (size >= kHighBit || uint64_t{rva} + size > 0xFFFFFFFF) Fail("the resources are too large for a Windows program");

  Bytes out(size);
  auto write_directory = [&](uint64_t at, const auto& children, auto target) {
    uint32_t named = static_cast<uint32_t>(std::count_if(children.begin(), children.end(), [](const auto& child) {
      if constexpr (std::is_same_v<std::decay_t<decltype(child.first)>, Key>) return child.first.named;
      return false;
    }));
    Put16(out, at + 12, named);
    Put16(out, at + 14, static_cast<uint32_t>(children.size() - named));
    at += kDirectorySize;
    for (const auto& child : children) {
      uint32_t name = 0;
      if constexpr (std::is_same_v<std::decay_t<decltype(child.first)>, Key>) {
        name = child.first.named ? kHighBit | static_cast<uint32_t>(strings.at(child.first.name)) : child.first.id;
      } else {
        name = child.first;  // a language
      }
      Put32(out, at, name);
      Put32(out, at + 4, target(child));
      at += kEntrySize;
    }
  };
  write_directory(0, tree, [&](const auto& t) { return kHighBit | static_cast<uint32_t>(type_dirs.at(&t.first)); });
  for (const auto& [type, names] : tree) {
    write_directory(type_dirs.at(&type), names,
                    [&](const auto& n) { return kHighBit | static_cast<uint32_t>(name_dirs.at(&n.first)); });
    for (const auto& [name, languages] : names)
      write_directory(name_dirs.at(&name), languages,
                      [&](const auto& l) { return static_cast<uint32_t>(data_entries.at(l.second)); });
  }
  for (const auto& [bytes, at] : data_entries) {
    Put32(out, at, static_cast<uint32_t>(rva + data.at(bytes)));
    Put32(out, at + 4, static_cast<uint32_t>(bytes->size()));
  }
  for (const auto& [name, at] : strings) {
    Put16(out, at, static_cast<uint32_t>(name.size()));
    for (size_t i = 0; i < name.size(); ++i) Put16(out, at + 2 + 2 * i, name[i]);
  }
  for (const auto& [bytes, at] : data) std::copy(bytes->begin(), bytes->end(), out.begin() + at);
  return out;
}

uint32_t ChecksumAt(const Bytes& file, uint64_t field) {
  // 16-bit little-endian words summed with end-around carry, the field itself
  // counting as zero and an odd last byte as a word of its own; plus the
  // file's length.
  auto byte = [&](uint64_t i) -> uint32_t { return (i >= field && i < field + 4) || i >= file.size() ? 0 : file[i]; };
  uint32_t sum = 0;
  for (uint64_t i = 0; i < file.size(); i += 2) {
    sum += byte(i) | byte(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint32_t>(((sum & 0xFFFF) + (sum >> 16)) + file.size());
}

}  // namespace

std::vector<Resource> ReadResources(const std::vector<uint8_t>& exe) {
  Image image = Parse(exe);
  DataDirectory directory = Directory(exe, image, kResourceDirectory);
  if (directory.rva == 0) return {};
  return TreeReader(exe, image, directory.rva).Read();
}

uint32_t Checksum(const std::vector<uint8_t>& exe) { return ChecksumAt(exe, Parse(exe).optional + kCheckSum); }

std::vector<uint8_t> ReplaceResources(const std::vector<uint8_t>& exe, const std::vector<Resource>& resources) {
  Image image = Parse(exe);
  Tree tree = Group(resources);
  if (image.directory_count <= kResourceDirectory) Fail("the program's header has no place for a resource directory");
  DataDirectory old_directory = Directory(exe, image, kResourceDirectory);

  // Rewrite the resource section in place if nothing follows it, in memory
  // or in the file, and it holds nothing else the program uses.
  const Section* in_place = nullptr;
  if (old_directory.rva != 0 && !image.sections.empty()) {
    const Section& last = image.sections.back();
    uint64_t headers_end = std::max<uint64_t>(image.size_of_headers,
                                              image.section_table + image.sections.size() * kSectionHeaderSize);
    bool fits = last.va == old_directory.rva && last.raw_size != 0 && last.RawEnd() == image.raw_end &&
                last.raw_ptr >= headers_end;
    for (const Section& s : image.sections)
      if (&s != &last && s.raw_size != 0 && s.RawEnd() > last.raw_ptr) fits = false;
    for (unsigned i = 0; i < image.directory_count; ++i) {
      DataDirectory d = Directory(exe, image, i);
      if (i != kResourceDirectory && i != kCertificateTable && d.size != 0 && d.rva < last.va + last.Extent() &&
          uint64_t{d.rva} + d.size > last.va)
        fits = false;
    }
    if (fits) in_place = &last;
  }

  // A signature (its directory gives a file offset) belongs to the overlay;
  // it is dropped with anything after it.
  uint64_t overlay_end = exe.size();
  if (image.directory_count > kCertificateTable) {
    DataDirectory certificates = Directory(exe, image, kCertificateTable);
    if (certificates.size != 0) {
      if (certificates.rva < image.raw_end || uint64_t{certificates.rva} + certificates.size > exe.size())
        Fail("the program's signature (certificate table) does not lie after its sections");
      overlay_end = certificates.rva;
    }
  }

  // The headers are mapped at RVA 0, the sections after them.
  uint64_t image_end = std::max<uint64_t>(image.size_of_image, AlignUp(image.size_of_headers, image.section_alignment));
  for (const Section& s : image.sections)
    image_end = std::max(image_end, AlignUp(uint64_t{s.va} + s.Extent(), image.section_alignment));
  uint64_t va = in_place ? in_place->va : AlignUp(image_end, image.section_alignment);
  if (va > 0xFFFFFFFF) Fail("the program has no room in memory for another section");
  Bytes section = Serialize(tree, static_cast<uint32_t>(va));
  uint64_t raw_ptr = in_place ? in_place->raw_ptr : AlignUp(image.raw_end, image.file_alignment);
  uint64_t raw_size = AlignUp(section.size(), image.file_alignment);
  uint64_t size_of_image = AlignUp(va + section.size(), image.section_alignment);
  if (raw_ptr + raw_size + (overlay_end - image.raw_end) > 0xFFFFFFFF || size_of_image > 0xFFFFFFFF)
    Fail("the resources are too large for a Windows program");

  size_t header = 0;
  if (in_place) {
    header = in_place->header;
  } else {
    header = image.section_table + image.sections.size() * kSectionHeaderSize;
    uint64_t first_data = image.size_of_headers;
    for (const Section& s : image.sections)
      if (s.raw_size != 0) first_data = std::min<uint64_t>(first_data, s.raw_ptr);
    if (image.sections.size() >= 0xFFFF || header + kSectionHeaderSize > first_data ||
        std::any_of(exe.begin() + header, exe.begin() + header + kSectionHeaderSize, [](uint8_t b) { return b != 0; }))
      Fail("the program's headers have no room for another section");
  }

  Bytes out(exe.begin(), exe.begin() + (in_place ? raw_ptr : image.raw_end));
  out.resize(raw_ptr, 0);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(raw_ptr + raw_size, 0);
  out.insert(out.end(), exe.begin() + image.raw_end, exe.begin() + overlay_end);

  if (!in_place) {
    std::copy(std::begin(kNewSectionName), std::end(kNewSectionName), out.begin() + header);
    Put32(out, header + kVirtualAddress, static_cast<uint32_t>(va));
    Put32(out, header + kPointerToRawData, static_cast<uint32_t>(raw_ptr));
    Put16(out, image.coff + kNumberOfSections, static_cast<uint32_t>(image.sections.size() + 1));
  }
  Put32(out, header + kVirtualSize, static_cast<uint32_t>(section.size()));
  Put32(out, header + kSizeOfRawData, static_cast<uint32_t>(raw_size));
  Put32(out, header + kCharacteristics, kResourceCharacteristics);

  Put32(out, image.DirectoryOffset(kResourceDirectory), static_cast<uint32_t>(va));
  Put32(out, image.DirectoryOffset(kResourceDirectory) + 4, static_cast<uint32_t>(section.size()));
  if (overlay_end != exe.size()) {
    Put32(out, image.DirectoryOffset(kCertificateTable), 0);
    Put32(out, image.DirectoryOffset(kCertificateTable) + 4, 0);
  }
  Put32(out, image.optional + kSizeOfImage, static_cast<uint32_t>(size_of_image));

  // GNU ld's SizeOfInitializedData is the file size of all initialized-data
  // sections; the loader does not use it.
  uint64_t initialized = in_place ? 0 : raw_size;
  for (const Section& s : image.sections)
    if (&s == in_place)
      initialized += raw_size;
    else if (s.characteristics & kInitializedData)
      initialized += s.raw_size;
  Put32(out, image.optional + kSizeOfInitializedData, static_cast<uint32_t>(std::min<uint64_t>(initialized, 0xFFFFFFFF)));

  // The COFF symbol table of an unstripped program lies in the overlay.
  uint32_t symbols = Get32(out, image.coff + kPointerToSymbolTable);
  if (symbols != 0 && symbols >= image.raw_end && symbols < overlay_end) {
    Put32(out, image.coff + kPointerToSymbolTable, static_cast<uint32_t>(symbols - image.raw_end + raw_ptr + raw_size));
  } else if (symbols != 0 && symbols >= overlay_end) {
    Put32(out, image.coff + kPointerToSymbolTable, 0);
    Put32(out, image.coff + kNumberOfSymbols, 0);
  }

  Put32(out, image.optional + kCheckSum, ChecksumAt(out, image.optional + kCheckSum));
  return out;
}

}  // namespace pe
