// The player's window takes the shape of its region: a player built with a
// region that leaves out the 24 by 24 square at the window's top-left corner
// (tests/fixtures/region-notched.bin: rectangles {24,0,400,24} and
// {0,24,400,246}) shows the window beneath it there, and its skin around it.
// Runs on the Linux or the Windows player (e2e_player.h), under
// scripts/with-xvfb.
#include "e2e_fixture.h"

namespace e2e {
namespace {

constexpr int kNotch = 24;
// The band around the notch whose pixels must be the skin's.
constexpr int kAround = 48;

class PlayerShape : public PlayerSession {};

TEST_F(PlayerShape, TheNotchShowsTheWindowBeneathAndTheSkinAroundIt) {
  const Image skin = ReadBmp24(SourceDir() + "/resources/skin.bmp");
  ASSERT_EQ(skin.width, kWidth);
  ASSERT_EQ(skin.height, kHeight);
  // White seen in the notch proves something only where the skin is not white.
  int skin_white = 0;
  for (int y = 0; y < kNotch; ++y)
    for (int x = 0; x < kNotch; ++x) skin_white += skin.IsWhite(x, y);
  ASSERT_LT(skin_white, kNotch * kNotch / 2) << "the skin is white in the corner: the notch would not show";

  // The white window, moved so that its inside covers the player's top-left
  // corner with a margin (its title bar, from openbox, is above that).
  const std::string other = StartOtherWindow();
  ASSERT_FALSE(other.empty()) << "the other window did not appear";
  Shell("xdotool windowmove " + other + " " + std::to_string(kLeft - 40) + " " + std::to_string(kTop - 40));
  const unsigned long other_id = std::stoul(other);
  auto covers_corner = [&] {
    const Geometry g = screen_.GeometryOf(other_id);
    return g.x <= kLeft - 8 && g.y <= kTop - 8 && g.x + g.width >= kLeft + kAround + 8 &&
           g.y + g.height >= kTop + kAround + 8;
  };
  ASSERT_TRUE(WaitUntil(covers_corner, 5s)) << "the other window is at " << screen_.GeometryOf(other_id);

  // The player comes up above it.
  ASSERT_NE(StartPlayer(program_, program_.notched(), dir_), 0u)
      << program_.name() << ": the notched player's window did not appear";
  EXPECT_EQ(screen_.GeometryOf(window_), (Geometry{kLeft, kTop, kWidth, kHeight}));
  const Image window = SteadyPicture(HasTrackLine);
  ASSERT_FALSE(window.empty()) << "the notched player drew no track line";

  int notch_not_white = 0, around_not_skin = 0;
  std::string first_wrong;
  for (int y = 0; y < kAround; ++y)
    for (int x = 0; x < kAround; ++x) {
      const bool in_notch = x < kNotch && y < kNotch;
      const uint8_t* seen = window.At(x, y);
      const uint8_t* skin_pixel = skin.At(x, y);
      const bool right = in_notch ? window.IsWhite(x, y)
                                  : seen[0] == skin_pixel[0] && seen[1] == skin_pixel[1] && seen[2] == skin_pixel[2];
      if (right) continue;
      (in_notch ? notch_not_white : around_not_skin) += 1;
      if (first_wrong.empty()) {
        first_wrong = "(" + std::to_string(x) + ", " + std::to_string(y) + ") is " + std::to_string(seen[0]) + "," +
                      std::to_string(seen[1]) + "," + std::to_string(seen[2]);
      }
    }
  EXPECT_EQ(notch_not_white, 0) << "pixels of the notch that are not the white window beneath; first " << first_wrong;
  EXPECT_EQ(around_not_skin, 0) << "pixels around the notch that are not the skin's; first " << first_wrong;
  if (notch_not_white != 0 || around_not_skin != 0)
    WritePng(window, program_.OutputDir() + "/e2e-notched-" + (program_.windows() ? "windows" : "linux") + ".png");

  // Escape ends it with status 0.
  PressKeyIn(window_, "Escape");
  EXPECT_EQ(PlayerExit(), 0);
}

}  // namespace
}  // namespace e2e
