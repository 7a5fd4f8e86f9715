// The face button's state machine, the digit counter and the board background.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/board_background.h"
#include "toolkit/digit_counter.h"
#include "toolkit/face_button.h"
#include "toolkit/platform_codes.h"

namespace puzzle {
namespace {

using puzzle::testing::PatternImage;
using puzzle::testing::PatternPixel;
using puzzle::testing::SurfaceBench;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Listener : public Component {
 public:
  Listener() : Component(nullptr, 0, 0, nullptr) {}
  void OnNotify(Component*, int32_t code) override { codes.push_back(code); }
  void OnChildChanged(Component* child) override {
    ++changes;
    Component::OnChildChanged(child);
  }
  Component* Adopt(std::unique_ptr<Component> child) {
    children.push_back(std::move(child));
    return children.back().get();
  }
  std::vector<int32_t> codes;
  int changes = 0;
};

class FaceButtonTest : public ::testing::Test {
 protected:
  FaceButtonTest() : faces(bench.env, PictureName::Resource(105), 130, 26, 5, 1, 5) {
    bench.resources.images[105] = PatternImage(130, 26);
    button = static_cast<FaceButton*>(
        parent.Adopt(std::make_unique<FaceButton>(&parent, 100, 10, &faces, 0, 1, 2)));
  }
  // Points in the panel's coordinates, inside and outside the 26 x 26 button at (100, 10).
  EventResult Press(bool inside) { return button->OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, inside ? 110 : 5, 20); }
  EventResult Release(bool inside) { return button->OnMouse(WM_LBUTTONUP, 0, inside ? 125 : 126, inside ? 35 : 20); }
  EventResult Move(bool inside, bool held) {
    return button->OnMouse(WM_MOUSEMOVE, held ? MK_LBUTTON : 0, inside ? 100 : 99, inside ? 10 : 9);
  }

  SurfaceBench bench;
  Picture faces;
  Listener parent;
  FaceButton* button = nullptr;
};

TEST_F(FaceButtonTest, StartsIdleOnFrameZero) {
  EXPECT_EQ(button->GetState(), FaceButton::Idle);
  EXPECT_EQ(button->GetFrame(), 0);
  EXPECT_TRUE(button->MouseEnabled());
}

TEST_F(FaceButtonTest, PressAndReleaseInsideIsAClick) {
  EXPECT_EQ(Press(true), Consumed);
  EXPECT_EQ(button->GetFrame(), 2);
  EXPECT_EQ(Release(true), Consumed);
  EXPECT_EQ(button->GetFrame(), 1);
  EXPECT_EQ(button->GetState(), FaceButton::Hover);
  EXPECT_THAT(parent.codes, ElementsAre(ButtonPress, ButtonClick));
}

TEST_F(FaceButtonTest, DraggingOutAndReleasingOutsideCancels) {
  Press(true);
  EXPECT_EQ(Move(false, true), Consumed);
  EXPECT_EQ(button->GetFrame(), 0);
  EXPECT_EQ(button->GetState(), FaceButton::PressedOutside);
  EXPECT_EQ(Release(false), Handled);
  EXPECT_EQ(button->GetState(), FaceButton::Idle);
  EXPECT_THAT(parent.codes, ElementsAre(ButtonPress, ButtonDragOut, ButtonCancel));
}

TEST_F(FaceButtonTest, DraggingBackInBeforeReleaseStillClicks) {
  Press(true);
  Move(false, true);
  EXPECT_EQ(Move(true, true), Consumed);
  EXPECT_EQ(button->GetFrame(), 2);
  Release(true);
  EXPECT_THAT(parent.codes, ElementsAre(ButtonPress, ButtonDragOut, ButtonDragIn, ButtonClick));
}

TEST_F(FaceButtonTest, APressThatStartedElsewhereNeverLightsIt) {
  EXPECT_EQ(Press(false), Ignored);
  EXPECT_EQ(Move(true, true), Ignored);
  EXPECT_EQ(button->GetState(), FaceButton::Idle);
  EXPECT_EQ(button->GetFrame(), 0);
  EXPECT_EQ(Release(false), Ignored);
  EXPECT_THAT(parent.codes, IsEmpty());
}

TEST_F(FaceButtonTest, HoveringInAndOut) {
  EXPECT_EQ(Move(true, false), Consumed);
  EXPECT_EQ(button->GetFrame(), 1);
  EXPECT_EQ(Move(true, false), Consumed);
  EXPECT_EQ(Move(false, false), Handled);
  EXPECT_EQ(button->GetFrame(), 0);
  EXPECT_EQ(Move(false, false), Ignored);
  EXPECT_THAT(parent.codes, ElementsAre(ButtonEnter, ButtonLeave));
}

TEST_F(FaceButtonTest, WholeStateTable) {
  // From each state, each handler: the state, frame, notification and answer it gives.
  struct Row {
    int32_t from;
    EventResult (FaceButton::*handler)();
    int32_t to;
    int32_t frame;  // -1: unchanged
    int32_t code;   // 0: none
    EventResult result;
  };
  using F = FaceButton;
  const Row rows[] = {
      {F::Idle, &F::OnPressInside, F::Pressed, 2, ButtonPress, Consumed},
      {F::Hover, &F::OnPressInside, F::Pressed, 2, ButtonPress, Consumed},
      {F::Pressed, &F::OnPressInside, F::Pressed, -1, ButtonPress, Consumed},
      {F::PressedOutside, &F::OnPressInside, F::Pressed, 2, ButtonPress, Consumed},
      {F::Idle, &F::OnReleaseInside, F::Hover, 1, ButtonEnter, Consumed},
      {F::Hover, &F::OnReleaseInside, F::Hover, -1, ButtonEnter, Consumed},
      {F::Pressed, &F::OnReleaseInside, F::Hover, 1, ButtonClick, Consumed},
      {F::PressedOutside, &F::OnReleaseInside, F::Hover, 1, ButtonEnter, Consumed},
      {F::Idle, &F::OnReleaseOutside, F::Idle, -1, 0, Ignored},
      {F::Hover, &F::OnReleaseOutside, F::Idle, 0, 0, Ignored},
      {F::Pressed, &F::OnReleaseOutside, F::Idle, 0, 0, Ignored},
      {F::PressedOutside, &F::OnReleaseOutside, F::Idle, -1, ButtonCancel, Handled},
      {F::Idle, &F::OnHoverInside, F::Hover, 1, ButtonEnter, Consumed},
      {F::Hover, &F::OnHoverInside, F::Hover, -1, 0, Consumed},
      {F::Pressed, &F::OnHoverInside, F::Hover, 1, ButtonEnter, Consumed},
      {F::PressedOutside, &F::OnHoverInside, F::Hover, 1, ButtonEnter, Consumed},
      {F::Idle, &F::OnHoverOutside, F::Idle, -1, 0, Ignored},
      {F::Hover, &F::OnHoverOutside, F::Idle, 0, ButtonLeave, Handled},
      {F::Pressed, &F::OnHoverOutside, F::Idle, 0, 0, Handled},
      {F::PressedOutside, &F::OnHoverOutside, F::Idle, -1, 0, Handled},
      {F::Idle, &F::OnDragInside, F::Idle, -1, 0, Ignored},
      {F::Hover, &F::OnDragInside, F::Pressed, 2, 0, Consumed},
      {F::Pressed, &F::OnDragInside, F::Pressed, -1, 0, Consumed},
      {F::PressedOutside, &F::OnDragInside, F::Pressed, 2, ButtonDragIn, Consumed},
      {F::Idle, &F::OnDragOutside, F::Idle, -1, 0, Ignored},
      {F::Hover, &F::OnDragOutside, F::Idle, 0, 0, Ignored},
      {F::Pressed, &F::OnDragOutside, F::PressedOutside, 0, ButtonDragOut, Consumed},
      {F::PressedOutside, &F::OnDragOutside, F::PressedOutside, -1, 0, Ignored},
  };
  // Reaches a state through real input; frame 4 marks "unchanged" afterwards.
  auto enter = [&](int32_t state) {
    Release(false);
    Move(false, false);
    if (state == F::Hover) Move(true, false);
    if (state == F::Pressed) Press(true);
    if (state == F::PressedOutside) {
      Press(true);
      Move(false, true);
    }
    ASSERT_EQ(button->GetState(), state);
    button->SetFrame(4);
    parent.codes.clear();
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "from " << row.from << " row " << (&row - rows));
    enter(row.from);
    EXPECT_EQ((button->*row.handler)(), row.result);
    EXPECT_EQ(button->GetState(), row.to);
    EXPECT_EQ(button->GetFrame(), row.frame == -1 ? 4 : row.frame);
    if (row.code == 0) {
      EXPECT_THAT(parent.codes, IsEmpty());
    } else {
      EXPECT_THAT(parent.codes, ElementsAre(row.code));
    }
  }
}

TEST_F(FaceButtonTest, OtherMessagesAndDisabledMouseAreIgnored) {
  EXPECT_EQ(button->OnMouse(WM_RBUTTONDOWN, 0, 110, 20), Ignored);
  EXPECT_EQ(button->OnMouse(WM_LBUTTONDBLCLK, 0, 110, 20), Ignored);
  button->Setup(0, 1, 2);
  EXPECT_TRUE(parent.codes.empty());
}

class DigitCounterTest : public ::testing::Test {
 protected:
  DigitCounterTest() : digits(bench.env, PictureName::Resource(104), 143, 23, 11, 1, 11) {
    bench.resources.images[104] = PatternImage(143, 23);
  }
  static std::vector<int32_t> Glyphs(const DigitCounter& counter) {
    std::vector<int32_t> glyphs;
    for (size_t i = 0; i < counter.ChildCount(); ++i) glyphs.push_back(counter.Child(i)->GetFrame());
    return glyphs;
  }
  SurfaceBench bench;
  Picture digits;
};

TEST_F(DigitCounterTest, LayoutAndRange) {
  Listener panel;
  auto* counter = static_cast<DigitCounter*>(panel.Adopt(std::make_unique<DigitCounter>(&panel, 10, 10, &digits, 4)));
  EXPECT_EQ(counter->GetWidth(), 52);
  EXPECT_EQ(counter->GetHeight(), 23);
  EXPECT_EQ(counter->GetMinValue(), -999);
  EXPECT_EQ(counter->GetMaxValue(), 9999);
  EXPECT_FALSE(counter->DrawsSelf());
  EXPECT_EQ(counter->Child(3)->GetX(), 39);
  EXPECT_EQ(counter->Child(3)->GetWidth(), 13);
  EXPECT_THAT(Glyphs(*counter), ElementsAre(0, 0, 0, 0));
  // Ten digits would overflow the range of a 32-bit value: nine at most.
  DigitCounter wide(nullptr, 0, 0, &digits, 12);
  EXPECT_EQ(wide.ChildCount(), 9u);
  EXPECT_EQ(wide.GetMaxValue(), 999999999);
}

TEST_F(DigitCounterTest, ValuesShowWithLeadingZerosAndAreClamped) {
  DigitCounter counter(nullptr, 0, 0, &digits, 4);
  const std::pair<int32_t, std::vector<int32_t>> cases[] = {
      {0, {0, 0, 0, 0}},   {42, {0, 0, 4, 2}},    {9999, {9, 9, 9, 9}},    {10000, {9, 9, 9, 9}},
      {-5, {10, 0, 0, 5}}, {-999, {10, 9, 9, 9}}, {-1000, {10, 9, 9, 9}},
  };
  for (const auto& [value, glyphs] : cases) {
    counter.SetValue(value);
    EXPECT_EQ(Glyphs(counter), glyphs) << value;
  }
  EXPECT_EQ(counter.GetValue(), -999);
  counter.SetValue(10000);
  EXPECT_EQ(counter.GetValue(), 9999);
}

TEST_F(DigitCounterTest, OnlyChangedDigitsRepaint) {
  Listener panel;
  auto* counter = static_cast<DigitCounter*>(panel.Adopt(std::make_unique<DigitCounter>(&panel, 10, 10, &digits, 4)));
  counter->SetValue(41);
  for (size_t i = 0; i < 4; ++i) counter->Child(i)->ClearDirty();
  panel.changes = 0;
  counter->Increment();
  EXPECT_TRUE(counter->Child(2)->DirtyRects().empty());
  EXPECT_THAT(counter->Child(3)->DirtyRects(), ElementsAre(Rect{0, 0, 13, 23}));
  EXPECT_EQ(panel.changes, 1);
  EXPECT_TRUE(panel.DirtyRects().empty()) << "the counter lists nothing in its parent";

  counter->SetValue(9999);
  for (size_t i = 0; i < 4; ++i) counter->Child(i)->ClearDirty();
  panel.changes = 0;
  counter->Increment();
  EXPECT_EQ(counter->GetValue(), 9999);
  EXPECT_EQ(panel.changes, 0);
}

TEST_F(DigitCounterTest, OneDigitCounterShowsOnlyTheMinusForNegatives) {
  DigitCounter counter(nullptr, 0, 0, &digits, 1);
  EXPECT_EQ(counter.GetMaxValue(), 9);
  counter.SetValue(-3);
  EXPECT_EQ(counter.GetValue(), 0);
  EXPECT_THAT(Glyphs(counter), ElementsAre(10));
  EXPECT_EQ(DigitCounter::IntPow(10, 0), 1);
  EXPECT_EQ(DigitCounter::IntPow(10, -2), 1);
  EXPECT_EQ(DigitCounter::IntPow(3, 4), 81);
}

TEST_F(DigitCounterTest, RendersTheGlyphCells) {
  DigitCounter counter(nullptr, 0, 0, &digits, 4);
  counter.SetValue(-7);
  bench.target.SetClientArea(0, 0, 52, 23);
  ASSERT_TRUE(counter.Render(bench.target));
  EXPECT_EQ(bench.target.ClientPixel(0, 0), PatternPixel(130, 0)) << "minus glyph";
  EXPECT_EQ(bench.target.ClientPixel(39 + 12, 22), PatternPixel(7 * 13 + 12, 22));
}

class BoardBackgroundTest : public ::testing::Test {
 protected:
  SurfaceBench bench;
};

TEST_F(BoardBackgroundTest, ListsNothingUntilInvalidatedThenFillsInOrder) {
  BoardBackground back(nullptr, 10, 20, 50, 40, 0x123456);
  EXPECT_TRUE(back.DirtyRects().empty());
  EXPECT_TRUE(back.DrawsSelf());
  bench.target.SetClientArea(0, 0, 100, 100);
  EXPECT_TRUE(back.Render(bench.target));
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::Fill), 0);

  back.AddDirtyRect(Rect{0, 0, 10, 10});
  back.AddDirtyRect(Rect{5, 5, 15, 15});
  EXPECT_TRUE(back.Render(bench.target));
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::Fill), 2);
  EXPECT_THAT(bench.target.Damage(), ElementsAre(Rect{10, 20, 20, 30}, Rect{15, 25, 25, 35}));
  EXPECT_EQ(bench.target.ClientPixel(24, 34), 0x123456u);
  EXPECT_EQ(bench.target.ClientPixel(25, 35), 0u);
  EXPECT_TRUE(back.DirtyRects().empty());
}

TEST_F(BoardBackgroundTest, HiddenPaintsNothingAndKeepsItsList) {
  BoardBackground back(nullptr, 0, 0, 50, 40, 0);
  back.AddDirtyRect(Rect{0, 0, 10, 10});
  back.SetVisible(false);
  bench.target.SetClientArea(0, 0, 100, 100);
  EXPECT_TRUE(back.Render(bench.target));
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::Fill), 0);
  EXPECT_EQ(back.DirtyRects().size(), 1u);
}

TEST_F(BoardBackgroundTest, FailedFillKeepsTheUnpaintedRectangles) {
  BoardBackground back(nullptr, 0, 0, 50, 40, 0);
  back.AddDirtyRect(Rect{0, 0, 10, 10});
  back.AddDirtyRect(Rect{10, 0, 20, 10});
  bench.target.SetClientArea(0, 0, 100, 100);
  bench.monitor.FailNth(SurfaceOp::Fill, 2);
  EXPECT_FALSE(back.Render(bench.target));
  EXPECT_THAT(back.DirtyRects(), ElementsAre(Rect{10, 0, 20, 10}));
}

}  // namespace
}  // namespace puzzle
