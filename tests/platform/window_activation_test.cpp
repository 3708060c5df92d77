// WM_ACTIVATE: the whole wparam is 0 only when activation goes elsewhere and
// the window is not minimised, whoever minimises it and in whatever order the
// host reports focus loss and minimising.
#include "platform/window/window_system.h"
#include "tests/platform/window_test_support.h"

namespace {

using namespace window_test;

std::vector<WPARAM> Activations() {
  std::vector<WPARAM> out;
  for (const Seen& s : Log()) {
    if (s.message == WM_ACTIVATE) out.push_back(s.wparam);
  }
  return out;
}

bool MinimisedDeactivation(WPARAM wparam) { return LOWORD(wparam) == WA_INACTIVE && HIWORD(wparam) != 0; }

TEST_F(WindowTest, ShowingActivates) {
  HWND w = CreateWindowExA(0, "test", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(w, SW_SHOW);
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{WA_ACTIVE}));
  EXPECT_TRUE(headless::Record(w)->focused);
}

TEST_F(WindowTest, LosingActivationToAnotherProgramGivesWholeWparamZero) {
  HWND w = Shown();
  headless::ActivateOtherWindow();
  Drain();
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{0}));
  headless::ActivateWindow(w);
  Drain();
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{0, WA_ACTIVE}));
}

TEST_F(WindowTest, MinimisingByTheProgramDeactivatesInsideShowWindow) {
  HWND w = Shown();
  ShowWindow(w, SW_MINIMIZE);
  ASSERT_EQ(Activations().size(), 1u);
  EXPECT_TRUE(MinimisedDeactivation(Activations()[0]));
  EXPECT_TRUE(IsIconic(w));
  EXPECT_TRUE(headless::Record(w)->minimized);
  // The host's own reports of the same change come later and add nothing.
  Drain();
  headless::AdvanceClock(10 * winsys::kFocusLossGraceMs);
  Drain();
  EXPECT_EQ(Activations().size(), 1u);

  ShowWindow(w, SW_RESTORE);
  EXPECT_FALSE(IsIconic(w));
  EXPECT_EQ(Activations().back(), static_cast<WPARAM>(WA_ACTIVE));
}

TEST_F(WindowTest, MinimisingByTheWindowManagerInEitherOrder) {
  for (auto order : {headless::MinimizeOrder::kFocusLossFirst, headless::MinimizeOrder::kMinimizeFirst}) {
    HWND w = Shown();
    headless::MinimizeByWindowManager(w, order);
    Drain();
    headless::AdvanceClock(10 * winsys::kFocusLossGraceMs);
    Drain();
    ASSERT_EQ(Activations().size(), 1u);
    EXPECT_TRUE(MinimisedDeactivation(Activations()[0]));
    EXPECT_TRUE(IsIconic(w));

    // Restored by the window manager, it is active again.
    Log().clear();
    headless::RestoreByWindowManager(w);
    Drain();
    EXPECT_EQ(Activations(), (std::vector<WPARAM>{WA_ACTIVE}));
    DestroyWindow(w);
  }
}

TEST_F(WindowTest, FocusLossWaitsForAMinimiseNoticeUntilTheGraceRunsOut) {
  HWND w = Shown();
  headless::NoticeFocusLost(w);
  Drain();
  EXPECT_TRUE(Activations().empty());
  headless::AdvanceClock(winsys::kFocusLossGraceMs / 2);
  headless::NoticeMinimized(w);
  Drain();
  ASSERT_EQ(Activations().size(), 1u);
  EXPECT_TRUE(MinimisedDeactivation(Activations()[0]));

  // Without a minimise notice the loss counts once the grace is over; the
  // program's 10 ms sleeps are what move the clock.
  HWND v = Shown();
  headless::NoticeFocusLost(v);
  Drain();
  EXPECT_TRUE(Activations().empty());
  for (uint64_t slept = 0; slept <= winsys::kFocusLossGraceMs; slept += 10) {
    Sleep(10);
    Drain();
  }
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{0}));
}

TEST_F(WindowTest, FocusRegainedWithinTheGraceChangesNothing) {
  HWND w = Shown();
  headless::NoticeFocusLost(w);
  Drain();
  headless::NoticeFocusGained(w);
  Drain();
  headless::AdvanceClock(10 * winsys::kFocusLossGraceMs);
  Drain();
  EXPECT_TRUE(Activations().empty());
}

TEST_F(WindowTest, MinimisingAnInactiveWindowSendsNoActivation) {
  HWND w = Shown();
  headless::ActivateOtherWindow();
  Drain();
  Log().clear();
  headless::MinimizeByWindowManager(w);
  Drain();
  EXPECT_TRUE(Activations().empty());
  EXPECT_TRUE(IsIconic(w));
}

TEST_F(WindowTest, ActivatingOneWindowDeactivatesTheOther) {
  HWND a = Shown();
  HWND b = Shown();
  Log().clear();
  ShowWindow(a, SW_SHOW);
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_EQ(Log()[0].window, b);
  EXPECT_EQ(Log()[0].wparam, 0u);
  EXPECT_EQ(Log()[0].lparam, reinterpret_cast<LPARAM>(a));
  EXPECT_EQ(Log()[1].window, a);
  EXPECT_EQ(Log()[1].wparam, static_cast<WPARAM>(WA_ACTIVE));
}

}  // namespace
