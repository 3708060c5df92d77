// quarb-gen-pictures: makes the disk's pictures from nothing but a font.
//
//   quarb-gen-pictures --font DejaVuSans-Bold.ttf --resources resources --docs docs
//
// Writes resources/skin.bmp, region.bin, font.bmp, icon.ico, disk/font.fnt
// and the previews docs/skin.png, docs/skin-preview.png and the painters'
// template docs/skin-template.png. The output
// depends only on the font file (and the FreeType that renders it), so two
// runs give identical files.
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tools/gen/pictures/font_face.h"
#include "tools/gen/pictures/font_page.h"
#include "tools/gen/pictures/icon_painter.h"
#include "tools/gen/pictures/image_files.h"
#include "tools/gen/pictures/layout.h"
#include "tools/gen/pictures/skin_painter.h"

namespace {

// The font the player writes track lines in: pixel size and where the
// baseline lies below the pen, chosen so that accents, capitals and
// descenders all stay inside the track band.
constexpr int kFontPixels = 11;
constexpr int kBaseline = 11;

// Region data for the whole window: a 32-byte header and one rectangle.
Bytes RegionData() {
  const int32_t words[12] = {32, 1, 1, 16, 0, 0, layout::kWidth, layout::kHeight,
                             0,  0, layout::kWidth, layout::kHeight};
  Bytes out;
  for (int32_t w : words) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back((static_cast<uint32_t>(w) >> shift) & 0xFF);
  }
  return out;
}

// Every code the font page carries: printable ASCII and the upper half of
// the western code page. 255 is left out: the player reads descriptor lines
// for codes up to 254 only.
std::vector<int> FontCodes() {
  std::vector<int> codes;
  for (int c = 32; c <= 126; ++c) codes.push_back(c);
  for (int c = 128; c <= 254; ++c) codes.push_back(c);
  return codes;
}

// The skin with a track line written on it the way the player writes it.
Image Preview(const Image& skin, const FontPage& font) {
  Image preview = skin;
  const std::string line = "03: Caf\xE9 Nocturne \x96 \xC9t\xE9 \xE0 Z\xFCrich (Remix)";
  const int x = (400 - MeasureText(font, line)) / 2;
  DrawTextOr(preview, font, x, layout::kPenY, line);
  return preview;
}

// The template for skin painters: the skin dimmed, the six hotspots filled
// in colours of their own and the track band outlined, twice the size so
// that the 7 by 7 window buttons can be seen. A painter keeps the buttons
// inside these rectangles (right and bottom edges outside) and the band dark.
Image Template(const Image& skin) {
  Image dimmed = skin;
  for (int y = 0; y < skin.height(); ++y)
    for (int x = 0; x < skin.width(); ++x) dimmed.Set(x, y, Scale(skin.Get(x, y), 0.35f));
  const std::pair<Box, uint32_t> hotspots[] = {
      {layout::kPrevious, 0xFF4040}, {layout::kPlay, 0x40FF40},     {layout::kPause, 0xFFD040},
      {layout::kNext, 0x40A0FF},     {layout::kMinimise, 0xFF40FF}, {layout::kClose, 0x40FFFF},
  };
  Outline(dimmed, layout::kTrackBand, Hex(0xFFFFFF));
  for (const auto& [box, colour] : hotspots) FillBox(dimmed, box, Hex(colour));
  Image out(2 * skin.width(), 2 * skin.height());
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) out.Set(x, y, dimmed.Get(x / 2, y / 2));
  return out;
}

struct Options {
  std::string font, resources, docs;
};

Options ParseArgs(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (!std::strcmp(argv[i], "--font") && has_value) {
      o.font = argv[++i];
    } else if (!std::strcmp(argv[i], "--resources") && has_value) {
      o.resources = argv[++i];
    } else if (!std::strcmp(argv[i], "--docs") && has_value) {
      o.docs = argv[++i];
    } else {
      throw std::runtime_error(std::string("unexpected argument ") + argv[i]);
    }
  }
  if (o.font.empty() || o.resources.empty() || o.docs.empty()) {
    throw std::runtime_error("usage: quarb-gen-pictures --font FILE --resources DIR --docs DIR");
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = ParseArgs(argc, argv);

    FontFace text_face(o.font, kFontPixels);
    FontPageOptions font_options;
    font_options.baseline = kBaseline;
    font_options.face_name = text_face.family() + " Bold";
    font_options.face_size = kFontPixels;
    font_options.bold = true;
    const FontPage font = BuildFontPage(text_face, FontCodes(), font_options);

    const Image skin = PaintSkin(o.font);
    const Image icon = PaintIcon();

    SaveFile(o.resources + "/skin.bmp", EncodeBmp24(skin));
    SaveFile(o.resources + "/region.bin", RegionData());
    SaveFile(o.resources + "/font.bmp", EncodeBmp8Grey(font.size, font.size, font.pixels));
    SaveFile(o.resources + "/disk/font.fnt", font.descriptor);
    SaveFile(o.resources + "/icon.ico", EncodeIco(icon));
    SaveFile(o.docs + "/skin.png", EncodePng(skin));
    SaveFile(o.docs + "/skin-preview.png", EncodePng(Preview(skin, font)));
    SaveFile(o.docs + "/skin-template.png", EncodePng(Template(skin)));
    std::printf("quarb-gen-pictures: %zu glyphs, skin, region, icon and previews written\n",
                font.glyphs.size());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarb-gen-pictures: %s\n", e.what());
    return 1;
  }
}
