#include "platform/gdi/objects.h"

#include <memory>
#include <new>
#include <variant>

#include "platform/gdi/gdi.h"

namespace gdi {
namespace {

// Handle layout: bits 0-19 the slot number plus one (so no handle is null),
// bits 20-23 the kind, bits 24 and up the slot's generation.
constexpr int kSlotBits = 20;
constexpr uintptr_t kSlotMask = (uintptr_t{1} << kSlotBits) - 1;
constexpr uint32_t kMaxSlots = kSlotMask;  // slot numbers 0 .. kSlotMask - 1
constexpr int kKindShift = 20;
constexpr int kGenerationShift = 24;
constexpr uintptr_t kGenerationLimit = ~uintptr_t{0} >> kGenerationShift;

using Object = std::variant<Bitmap, Brush, Region, Dc>;

struct Slot {
  uintptr_t generation = 0;
  Kind kind{};
  bool stock = false;
  std::unique_ptr<Object> object;  // null while the slot is free
};

// Memory that freed objects leave behind, kept for the next ones: drawing
// text makes and frees a few small work bitmaps per character on every pass
// of the player's loop, and going through the allocator for each costs more
// than the drawing itself.
constexpr size_t kSpareObjects = 16;
constexpr size_t kSparePixelBuffers = 8;
constexpr size_t kMaxSparePixels = 64 * 1024;  // larger buffers go back to the allocator

struct Table {
  std::vector<Slot> slots;
  std::vector<uint32_t> free_slots;
  std::vector<std::unique_ptr<Object>> spare_objects;
  std::vector<std::vector<uint32_t>> spare_pixels;
};

// Constant-initialised, so it is usable from any static initialiser.
constinit Table the_table;

Table& TheTable() { return the_table; }

void* MakeHandle(uint32_t slot, Kind kind, uintptr_t generation) {
  uintptr_t v = (generation << kGenerationShift) | (static_cast<uintptr_t>(kind) << kKindShift) |
                (static_cast<uintptr_t>(slot) + 1);
  return reinterpret_cast<void*>(v);
}

Slot* FindSlot(const void* handle) {
  uintptr_t v = reinterpret_cast<uintptr_t>(handle);
  uintptr_t slot_plus_one = v & kSlotMask;
  if (slot_plus_one == 0) return nullptr;
  Table& table = TheTable();
  if (slot_plus_one > table.slots.size()) return nullptr;
  Slot& slot = table.slots[slot_plus_one - 1];
  if (!slot.object) return nullptr;
  if (static_cast<uintptr_t>(slot.kind) != ((v >> kKindShift) & 0xF)) return nullptr;
  if (slot.generation != (v >> kGenerationShift)) return nullptr;
  return &slot;
}

void* Add(Object&& object, Kind kind) {
  Table& table = TheTable();
  try {
    std::unique_ptr<Object> owned;
    if (!table.spare_objects.empty()) {
      owned = std::move(table.spare_objects.back());
      table.spare_objects.pop_back();
      *owned = std::move(object);
    } else {
      owned = std::make_unique<Object>(std::move(object));
    }
    uint32_t index;
    if (!table.free_slots.empty()) {
      index = table.free_slots.back();
      table.free_slots.pop_back();
    } else {
      if (table.slots.size() >= kMaxSlots) return nullptr;
      table.slots.emplace_back();
      index = static_cast<uint32_t>(table.slots.size() - 1);
    }
    Slot& slot = table.slots[index];
    slot.kind = kind;
    slot.stock = false;
    slot.object = std::move(owned);
    return MakeHandle(index, kind, slot.generation);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

template <class T>
T* Find(const void* handle) {
  Slot* slot = FindSlot(handle);
  return slot ? std::get_if<T>(slot->object.get()) : nullptr;
}

// Keeps a freed object's allocation, and a bitmap's pixel buffer, for reuse.
void Recycle(std::unique_ptr<Object> object) {
  Table& table = TheTable();
  if (Bitmap* bitmap = std::get_if<Bitmap>(object.get())) {
    std::vector<uint32_t>& pixels = bitmap->pixels;
    if (pixels.capacity() <= kMaxSparePixels && table.spare_pixels.size() < kSparePixelBuffers) {
      try {
        table.spare_pixels.push_back(std::move(pixels));
      } catch (const std::bad_alloc&) {
        // Dropped with the object, as without reuse.
      }
    }
  }
  if (table.spare_objects.size() < kSpareObjects) {
    try {
      *object = Brush{};  // releases whatever the object still held
      table.spare_objects.push_back(std::move(object));
    } catch (const std::bad_alloc&) {
    }
  }
}

void MarkStock(const void* handle) {
  if (Slot* slot = FindSlot(handle)) slot->stock = true;
}

HBRUSH MakeStockBrush(UINT style, COLORREF colour) {
  Brush brush;
  brush.style = style;
  brush.colour = colour;
  brush.pattern = style == BS_SOLID ? PixelFromColour(colour) : 0;
  HBRUSH handle = AddBrush(brush);
  MarkStock(handle);
  return handle;
}

}  // namespace

bool TakePixels(size_t count, std::vector<uint32_t>* pixels) {
  std::vector<std::vector<uint32_t>>& spare = TheTable().spare_pixels;
  for (size_t i = spare.size(); i-- > 0;) {
    if (spare[i].capacity() < count) continue;
    *pixels = std::move(spare[i]);
    spare.erase(spare.begin() + static_cast<ptrdiff_t>(i));
    pixels->assign(count, 0);
    return true;
  }
  return false;
}

HBITMAP AddBitmap(Bitmap&& bitmap) {
  return static_cast<HBITMAP>(Add(Object(std::in_place_type<Bitmap>, std::move(bitmap)), Kind::kBitmap));
}

HBRUSH AddBrush(const Brush& brush) {
  return static_cast<HBRUSH>(Add(Object(std::in_place_type<Brush>, brush), Kind::kBrush));
}

HRGN AddRegion(Region&& region) {
  return static_cast<HRGN>(Add(Object(std::in_place_type<Region>, std::move(region)), Kind::kRegion));
}

HDC AddDc(const Dc& dc) { return static_cast<HDC>(Add(Object(std::in_place_type<Dc>, dc), Kind::kDc)); }

Bitmap* FindBitmap(const void* handle) { return Find<Bitmap>(handle); }
Brush* FindBrush(const void* handle) { return Find<Brush>(handle); }
Region* FindRegion(const void* handle) { return Find<Region>(handle); }
Dc* FindDc(const void* handle) { return Find<Dc>(handle); }

Kind KindOf(const void* handle) {
  Slot* slot = FindSlot(handle);
  return slot ? slot->kind : Kind{};
}

bool IsStock(const void* handle) {
  Slot* slot = FindSlot(handle);
  return slot && slot->stock;
}

void Remove(const void* handle) {
  Slot* slot = FindSlot(handle);
  if (!slot || slot->stock) return;
  Table& table = TheTable();
  Recycle(std::move(slot->object));
  uint32_t index = static_cast<uint32_t>(slot - table.slots.data());
  // A slot whose generation is spent is retired for good rather than letting
  // old handles come back to life.
  if (++slot->generation > kGenerationLimit) return;
  table.free_slots.push_back(index);
}

size_t LiveCount() {
  const Table& table = TheTable();
  size_t free_or_retired = 0;
  for (const Slot& slot : table.slots) free_or_retired += slot.object ? 0 : 1;
  return table.slots.size() - free_or_retired;
}

HBRUSH StockBrush(int index) {
  static const HBRUSH brushes[] = {
      MakeStockBrush(BS_SOLID, RGB(255, 255, 255)),  // WHITE_BRUSH
      MakeStockBrush(BS_SOLID, RGB(192, 192, 192)),  // LTGRAY_BRUSH
      MakeStockBrush(BS_SOLID, RGB(128, 128, 128)),  // GRAY_BRUSH
      MakeStockBrush(BS_SOLID, RGB(64, 64, 64)),     // DKGRAY_BRUSH
      MakeStockBrush(BS_SOLID, RGB(0, 0, 0)),        // BLACK_BRUSH
      MakeStockBrush(BS_NULL, 0),                    // NULL_BRUSH
  };
  if (index < 0 || index >= static_cast<int>(sizeof brushes / sizeof brushes[0])) return nullptr;
  return brushes[index];
}

HBITMAP DefaultBitmap() {
  static const HBITMAP bitmap = [] {
    Bitmap b;
    b.width = 1;
    b.height = 1;
    b.pixels.assign(1, 0);
    HBITMAP handle = AddBitmap(std::move(b));
    MarkStock(handle);
    return handle;
  }();
  return bitmap;
}

}  // namespace gdi
