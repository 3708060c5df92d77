#include "tools/gen/pictures/skin_painter.h"

#include <algorithm>
#include <cmath>

#include "tools/gen/pictures/button_painter.h"
#include "tools/gen/pictures/font_face.h"
#include "tools/gen/pictures/layout.h"
#include "tools/gen/pictures/paint.h"

namespace {


const Rgb kBodyTop = Hex(0x2E3A4E);
const Rgb kBodyBottom = Hex(0x151B27);
const Rgb kEdgeLight = Hex(0x8196B4);
const Rgb kEdgeDark = Hex(0x06090E);
const Rgb kAccent = Hex(0x46C8FF);
constexpr int kLogoCentre = 287;

// Anti-aliased text as a mask, sheared to lean right by `slant` pixels per
// pixel of height above the baseline, with extra letter spacing.
Mask TextMask(const FontFace& face, const std::string& text, float x, int baseline, float slant,
              int spacing) {
  Mask mask(layout::kWidth, layout::kHeight);
  float pen = x;
  for (unsigned char c : text) {
    GlyphBitmap g;
    if (!face.Render(c, false, &g)) continue;
    for (int gy = 0; gy < g.height; ++gy) {
      const int y = baseline - g.top + gy;
      const float lean = slant * (baseline - y);
      for (int gx = 0; gx < g.width; ++gx) {
        const float v = g.coverage[static_cast<size_t>(gy) * g.width + gx] / 255.0f;
        if (v <= 0) continue;
        // Split the sheared pixel between its two neighbours.
        const float fx = pen + g.left + gx + lean;
        const int ix = static_cast<int>(std::floor(fx));
        const float frac = fx - ix;
        for (int k = 0; k < 2; ++k) {
          const int px = ix + k;
          if (px < 0 || px >= mask.width || y < 0 || y >= mask.height) continue;
          float& a = mask.a[static_cast<size_t>(y) * mask.width + px];
          a = std::min(1.0f, a + v * (k == 0 ? 1 - frac : frac));
        }
      }
    }
    pen += g.advance + spacing;
  }
  return mask;
}

float TextWidth(const FontFace& face, const std::string& text, int spacing) {
  float w = 0;
  for (unsigned char c : text) {
    GlyphBitmap g;
    if (face.Render(c, false, &g)) w += g.advance + spacing;
  }
  return w - spacing;
}

void PaintBody(Image& skin) {
  const Box all{0, 0, layout::kWidth, layout::kHeight};
  VerticalGradient(skin, all, kBodyTop, kBodyBottom);
  // A soft light from the top left.
  PaintShape(skin, all, [](float, float) { return true; },
             [](float x, float y) {
               const float d = std::hypot(x - 60, y + 40) / 420;
               return Scale(Hex(0x6F8CB8), std::max(0.0f, 1 - d));
             },
             0.18f, 1);
  Grain(skin, all, 0.05f, 7, true);

  Outline(skin, all, kEdgeDark);
  Bevel(skin, all.Inset(1), kEdgeLight, Hex(0x0B1018));
  Bevel(skin, all.Inset(2), Scale(kEdgeLight, 0.7f), Hex(0x111722), 0.6f);
}

void PaintTitleStrip(Image& skin, const std::string& font_path) {
  const Box strip{3, 2, 397, 11};
  VerticalGradient(skin, strip, Hex(0x1A2232), Hex(0x0E131C));
  for (int x = strip.left; x < strip.right; ++x) {
    skin.Blend(x, strip.bottom, kEdgeLight, 0.35f);  // lit lower edge
  }

  FontFace small(font_path, 8);
  const std::string label = "QUARB II";
  Mask text = TextMask(small, label, 8, 9, 0.0f, 1);
  PaintMask(skin, text, Hex(0xA9C3E2));
  const int label_end = 8 + static_cast<int>(TextWidth(small, label, 1)) + 6;

  // Grip ridges between the label and the window buttons.
  for (int y = 4; y <= 8; y += 2) {
    for (int x = label_end; x < 378; ++x) {
      skin.Blend(x, y, Hex(0x4A5A74), 0.8f);
      skin.Blend(x, y + 1, Hex(0x05080C), 0.6f);
    }
  }
}

// A record lying in a shallow well: grooves, two sheen wedges, a label.
void PaintRecord(Image& skin) {
  const float cx = 88.5f, cy = 108.5f, r = 78;
  const Box bounds{4, 14, 176, 202};

  Mask shadow(layout::kWidth, layout::kHeight);
  for (int y = bounds.top; y < bounds.bottom + 8; ++y) {
    for (int x = bounds.left; x < bounds.right + 8; ++x) {
      if (std::hypot(x + 0.5f - cx - 3, y + 0.5f - cy - 4) < r + 1) shadow.a[static_cast<size_t>(y) * shadow.width + x] = 1;
    }
  }
  PaintMask(skin, Blur(shadow, 3), Hex(0x000000), 0.65f);

  auto vinyl = [=](float x, float y) {
    const float dx = x - cx, dy = y - cy;
    const float d = std::hypot(dx, dy);
    const float angle = std::atan2(dy, dx);
    Rgb base = Hex(0x0B0D12);
    // Grooves: bands of slightly different sheen, one per pixel of radius,
    // too coarse to shimmer into moire at this size.
    const float band = std::floor(d * 0.75f);
    const float groove = 0.5f + 0.5f * std::sin(band * 2.4f) * std::cos(band * 0.77f);
    const float sheen = std::pow(std::abs(std::cos(angle - 0.9f)), 14.0f);
    Rgb c = Mix(base, Hex(0x242A36), 0.35f * groove);
    c = Mix(c, Hex(0x8FA6C8), sheen * (0.28f + 0.12f * groove));
    // Lead-in and run-out areas are smooth.
    if (d > r - 3 || (d < 32 && d > 27)) c = Mix(base, Hex(0x8FA6C8), sheen * 0.3f);
    return c;
  };
  PaintShape(skin, bounds, [=](float x, float y) { return std::hypot(x - cx, y - cy) < r; }, vinyl);
  // Rim.
  FillShape(skin, bounds, [=](float x, float y) {
    const float d = std::hypot(x - cx, y - cy);
    return d < r && d > r - 1.2f;
  }, Hex(0x56657E), 0.7f);

  // The label: a glossy disc in the accent colour.
  const float lr = 27;
  PaintShape(skin, bounds, [=](float x, float y) { return std::hypot(x - cx, y - cy) < lr; },
             [=](float x, float y) {
               const float t = std::clamp((y - (cy - lr)) / (2 * lr), 0.0f, 1.0f);
               Rgb c = Mix(Hex(0x5FD4FF), Hex(0x1B4F9E), t);
               const float d = std::hypot(x - cx, y - cy);
               if (d > lr - 2.5f) c = Scale(c, 0.75f);
               return c;
             });
  // Highlight crescent on the label.
  FillShape(skin, bounds, [=](float x, float y) {
    return std::hypot(x - cx, y - cy) < lr - 4 && std::hypot(x - cx - 5, y - cy - 8) > lr - 2;
  }, Hex(0xFFFFFF), 0.22f);
  // Printed rings on the label and the spindle hole.
  FillShape(skin, bounds, [=](float x, float y) {
    const float d = std::hypot(x - cx, y - cy);
    return d > 15 && d < 16;
  }, Hex(0xE8F6FF), 0.5f);
  FillShape(skin, bounds, [=](float x, float y) { return std::hypot(x - cx, y - cy) < 4; },
            Hex(0x05070A));
  FillShape(skin, bounds, [=](float x, float y) {
    const float d = std::hypot(x - cx, y - cy);
    return d >= 4 && d < 5;
  }, Hex(0xCFE3F5), 0.6f);
}

void PaintLogo(Image& skin, const std::string& font_path) {
  FontFace big(font_path, 40);
  const std::string text = "QUARB II";
  const int spacing = 1, baseline = 70;
  const float slant = 0.16f;
  Mask letters = TextMask(big, text, 0, baseline, slant, spacing);
  // Centre what was inked (the slant makes the advance widths misleading).
  int ink_left = letters.width, ink_right = 0;
  for (size_t i = 0; i < letters.a.size(); ++i) {
    if (letters.a[i] > 0) {
      ink_left = std::min(ink_left, static_cast<int>(i % letters.width));
      ink_right = std::max(ink_right, static_cast<int>(i % letters.width));
    }
  }
  letters = Shift(letters, kLogoCentre - (ink_left + ink_right + 1) / 2, 0);

  Mask glow = Blur(Dilate(letters, 2), 4);
  PaintMask(skin, glow, kAccent, 0.45f);
  PaintMask(skin, Blur(Shift(letters, 3, 4), 2), Hex(0x000000), 0.7f);
  PaintMask(skin, Dilate(letters, 2), Hex(0x070B14));

  // Chrome: pale sky over a dark horizon, then light again towards the foot.
  const int top = baseline - 30;
  PaintMask(skin, letters, [=](int, int y) {
    const float t = std::clamp((y - top) / 30.0f, 0.0f, 1.0f);
    if (t < 0.5f) return Mix(Hex(0xF4FBFF), Hex(0x8CC4EE), t / 0.5f);
    if (t < 0.56f) return Hex(0x1E4E86);
    return Mix(Hex(0x2A6FB8), Hex(0x9BE3FF), (t - 0.56f) / 0.44f);
  });
  // A thin bright edge along the tops of the strokes.
  Mask edge(letters.width, letters.height);
  for (size_t i = 0; i < edge.a.size(); ++i) {
    const int px = static_cast<int>(i % letters.width), py = static_cast<int>(i / letters.width);
    edge.a[i] = std::max(0.0f, letters.a[i] - letters.At(px, py - 1)) * 0.8f;
  }
  PaintMask(skin, edge, Hex(0xFFFFFF));

  FontFace small(font_path, 10);
  const std::string sub = "MUSIC DISK";
  const float sub_width = TextWidth(small, sub, 4);
  PaintMask(skin, TextMask(small, sub, kLogoCentre - sub_width / 2, 93, 0, 4), Hex(0x8FB0D6));
  // Rules either side of the subtitle.
  for (int x = 192; x < 380; ++x) {
    if (std::abs(x - kLogoCentre) < sub_width / 2 + 8) continue;
    const float fade = 1 - std::abs(x - kLogoCentre) / 95.0f;
    skin.Blend(x, 89, kAccent, 0.55f * fade);
    skin.Blend(x, 90, Hex(0x000000), 0.4f * fade);
  }
}

// A frozen frame of a spectrum analyser: LED segments green to red.
void PaintSpectrum(Image& skin) {
  const Box panel{186, 108, 388, 194};
  VerticalGradient(skin, panel, Hex(0x06080D), Hex(0x0C111A));
  Bevel(skin, panel, Hex(0x000000), Hex(0x5C6F8C));
  Bevel(skin, panel.Inset(1), Hex(0x03050A), Hex(0x1F2838), 0.8f);

  const int bars = 24, bar_w = 6, gap = 2;
  const int left = panel.left + (panel.width() - (bars * bar_w + (bars - 1) * gap)) / 2;
  const int floor = panel.bottom - 5, segments = (panel.height() - 8) / 3;
  for (int i = 0; i < bars; ++i) {
    const float t = i / float(bars - 1);
    // Bass heavy, falling off, with a little life in the mids.
    float level = 0.78f - 0.42f * t + 0.16f * std::sin(i * 1.3f + 0.4f) + 0.1f * std::sin(i * 0.55f + 2.0f);
    level = std::clamp(level, 0.12f, 0.95f);
    const int lit = static_cast<int>(std::lround(level * segments));
    const int peak = std::min(segments - 1, lit + 1 + (i * 7) % 3);
    const int x = left + i * (bar_w + gap);
    for (int s = 0; s < segments; ++s) {
      const int y = floor - s * 3 - 2;
      const float h = s / float(segments - 1);
      Rgb c = h < 0.55f ? Mix(Hex(0x2BE07A), Hex(0xD8F04A), h / 0.55f)
                        : Mix(Hex(0xF5D54A), Hex(0xFF4D5E), (h - 0.55f) / 0.45f);
      const bool on = s < lit || s == peak;
      FillBox(skin, {x, y, x + bar_w, y + 2}, c, on ? 0.95f : 0.09f);
      if (on) FillBox(skin, {x, y, x + bar_w, y + 1}, Hex(0xFFFFFF), 0.18f);
    }
  }
  // Glass: a faint diagonal reflection across the panel.
  FillShape(skin, panel.Inset(2), [&](float x, float y) {
    return (x - panel.left) * 0.45f + (y - panel.top) < 30;
  }, Hex(0xBFD8FF), 0.05f, 2);
}

void PaintTrackBand(Image& skin) {
  const Box band = layout::kTrackBand;
  VerticalGradient(skin, band, Hex(0x04060A), Hex(0x0A0F17));
  for (int y = band.top + 2; y < band.bottom - 2; y += 2) {
    FillBox(skin, {band.left + 2, y, band.right - 2, y + 1}, Hex(0x000000), 0.25f);
  }
  Bevel(skin, band, Hex(0x000000), Hex(0x6D82A2));
  Bevel(skin, band.Inset(1), Hex(0x020308), Hex(0x1A2232), 0.9f);
  // The faint blue of a lit display at its edges.
  HorizontalGradient(skin, {band.left + 2, band.bottom - 4, band.left + 40, band.bottom - 2},
                     kAccent, Hex(0x0A0F17), 0.12f);
  HorizontalGradient(skin, {band.right - 40, band.bottom - 4, band.right - 2, band.bottom - 2},
                     Hex(0x0A0F17), kAccent, 0.12f);
}

void PaintScrew(Image& skin, float cx, float cy) {
  const Box b{int(cx) - 4, int(cy) - 4, int(cx) + 5, int(cy) + 5};
  FillShape(skin, b, [=](float x, float y) { return std::hypot(x - cx - 0.6f, y - cy - 0.8f) < 3.2f; },
            Hex(0x000000), 0.5f);
  PaintShape(skin, b, [=](float x, float y) { return std::hypot(x - cx, y - cy) < 3.0f; },
             [=](float x, float y) { return Mix(Hex(0x9AAAC2), Hex(0x3A4658), ((x - cx) + (y - cy) + 3) / 6); });
  FillShape(skin, b, [=](float x, float y) {
    return std::abs((x - cx) - (y - cy)) < 0.7f && std::hypot(x - cx, y - cy) < 2.6f;
  }, Hex(0x1A202A), 0.9f);
}

// Rows of small holes: the grille of a little speaker.
void PaintGrille(Image& skin, int left, int right, int top, int rows) {
  for (int r = 0; r < rows; ++r) {
    for (int x = left + (r % 2) * 3; x + 2 <= right; x += 6) {
      const int y = top + r * 3;
      skin.Blend(x, y, Hex(0x000000), 0.75f);
      skin.Blend(x + 1, y, Hex(0x000000), 0.55f);
      skin.Blend(x, y + 1, Hex(0x000000), 0.45f);
      skin.Blend(x + 1, y + 1, Hex(0x8DA0BC), 0.35f);
    }
  }
}

}  // namespace

Image PaintSkin(const std::string& font_path) {
  Image skin(layout::kWidth, layout::kHeight);
  PaintBody(skin);
  PaintTitleStrip(skin, font_path);
  PaintRecord(skin);
  PaintLogo(skin, font_path);
  PaintSpectrum(skin);
  PaintTrackBand(skin);
  PaintGrille(skin, 16, 156, 230, 4);
  PaintGrille(skin, 244, 384, 230, 4);
  PaintScrew(skin, 8.5f, 238.5f);
  PaintScrew(skin, 391.5f, 238.5f);
  PaintButtons(skin);
  return skin;
}
