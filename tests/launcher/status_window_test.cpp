#include "launcher/status_window.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/support/fake_platform.h"

namespace {

// 460 x 90 pixels at 96 DPI, scaled and centred on the primary screen: made
// at the system's DPI, and moved when the window's own differs from it. A
// DPI the system can't give (0) counts as 96 for the system, and as no
// difference for the window.
TEST(StatusWindowTest, ScaledToTheScreensDpiAndCentred) {
  const struct {
    uint32_t system_dpi, window_dpi;
    std::vector<std::array<int32_t, 2>> sizes;  // as made, then as moved
  } cases[] = {{192, 0, {{920, 180}}}, {0, 96, {{460, 90}}}, {96, 144, {{460, 90}, {690, 135}}},
               {120, 120, {{575, 113}}}};
  for (const auto& c : cases) {
    ScopedFake fake;
    fake->system_dpi = c.system_dpi;
    fake->window_dpi = c.window_dpi;
    DestroyWindow(ShowStatusWindow(u"Installing"));
    const int32_t screen[2] = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::vector<std::array<int32_t, 2>> sizes;
    for (const FakeEvent& e : fake->Of({FakeEvent::kWindowShown, FakeEvent::kWindowMoved})) {
      sizes.push_back({e.place[2], e.place[3]});
      EXPECT_EQ(e.place[0], (screen[0] - e.place[2]) / 2);
      EXPECT_EQ(e.place[1], (screen[1] - e.place[3]) / 2);
    }
    EXPECT_EQ(sizes, c.sizes) << c.system_dpi << " " << c.window_dpi;
  }
}

}  // namespace
