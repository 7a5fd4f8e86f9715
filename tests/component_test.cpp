#include "toolkit/component.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/platform_codes.h"

namespace puzzle {
namespace {

using puzzle::testing::PatternImage;
using puzzle::testing::PatternPixel;
using puzzle::testing::SurfaceBench;
using ::testing::ElementsAre;

// A component that records what reaches it, for watching the protocol from outside.
class Probe : public Component {
 public:
  using Component::Component;
  void OnChildChanged(Component* child) override {
    changedBoxes.push_back(Rect{child->GetX(), child->GetY(), child->GetX() + child->GetWidth(),
                                child->GetY() + child->GetHeight()});
    Component::OnChildChanged(child);
  }
  void OnFrameChanged() override { ++frameChanges; }
  EventResult OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py) override {
    mouseCalls.push_back(px * 1000 + py);
    if (answer != Ignored || children.empty()) return answer;
    return Component::OnMouse(message, keyFlags, px, py);
  }
  Component* Adopt(std::unique_ptr<Component> child) {
    children.push_back(std::move(child));
    return children.back().get();
  }
  void SetDrawsSelf(bool v) { drawsSelf = v; }
  void EnableMouse() { mouseEnabled = true; }

  std::vector<Rect> changedBoxes;
  std::vector<int32_t> mouseCalls;
  int frameChanges = 0;
  EventResult answer = Ignored;
};

class ComponentTest : public ::testing::Test {
 protected:
  ComponentTest()
      : strip(bench.env, PictureName::Resource(105), 130, 26, 5, 1, 5),
        tall(bench.env, PictureName::Resource(200), 50, 40, 5, 2, 10) {
    bench.resources.images[105] = PatternImage(130, 26);
    bench.resources.images[200] = PatternImage(50, 40, 1);
  }
  SurfaceBench bench;
  Picture strip;
  Picture tall;
};

TEST_F(ComponentTest, InitTakesSizeFramesAndWholeAreaFromPicture) {
  Probe root(nullptr, 3, 4, nullptr);
  Component child(&root, 5, 6, &strip);
  EXPECT_EQ(child.GetWidth(), 26);
  EXPECT_EQ(child.GetHeight(), 26);
  EXPECT_EQ(child.FrameCount(), 5);
  EXPECT_EQ(child.GetOriginX(), 3);
  EXPECT_EQ(child.GetOriginY(), 4);
  EXPECT_TRUE(child.DrawsSelf());
  EXPECT_TRUE(child.NeedsRedraw());
  EXPECT_THAT(child.DirtyRects(), ElementsAre(Rect{0, 0, 26, 26}));
  EXPECT_FALSE(child.MouseEnabled());
  EXPECT_TRUE(strip.surface != nullptr) << "Init loads the picture";
  // Without a picture: no size, nothing listed.
  EXPECT_EQ(root.GetWidth(), 0);
  EXPECT_FALSE(root.DrawsSelf());
  EXPECT_TRUE(root.DirtyRects().empty());
}

TEST_F(ComponentTest, FrameSelectionClampsOrWraps) {
  Component c(nullptr, 0, 0, &strip);
  c.SetFrame(7);
  EXPECT_EQ(c.GetFrame(), 4);
  c.SetFrameWrap(true);
  c.SetFrame(0);
  c.SetFrame(7);
  EXPECT_EQ(c.GetFrame(), 2);
  c.SetFrame(-1);
  EXPECT_EQ(c.GetFrame(), 4);
  c.SetFrame(-5);
  EXPECT_EQ(c.GetFrame(), 0);
  c.SetFrameWrap(false);
  c.SetFrame(-1);
  EXPECT_EQ(c.GetFrame(), 0);
  c.NextFrame();
  EXPECT_EQ(c.GetFrame(), 1);
  c.PrevFrame();
  EXPECT_EQ(c.GetFrame(), 0);
}

TEST_F(ComponentTest, ClampedFrameStillRepaintsButSameFrameDoesNothing) {
  Probe parent(nullptr, 0, 0, nullptr);
  auto* c = static_cast<Probe*>(parent.Adopt(std::make_unique<Probe>(&parent, 10, 10, &strip)));
  c->SetFrame(4);
  c->ClearDirty();
  parent.changedBoxes.clear();
  const int changesBefore = c->frameChanges;

  c->SetFrame(9);  // clamps to 4 again
  EXPECT_EQ(c->GetFrame(), 4);
  EXPECT_EQ(c->frameChanges, changesBefore + 1);
  EXPECT_THAT(c->DirtyRects(), ElementsAre(Rect{0, 0, 26, 26}));
  EXPECT_EQ(parent.changedBoxes.size(), 1u);

  c->ClearDirty();
  c->SetFrame(4);
  EXPECT_EQ(c->frameChanges, changesBefore + 1);
  EXPECT_TRUE(c->DirtyRects().empty());
  EXPECT_EQ(parent.changedBoxes.size(), 1u);
}

TEST_F(ComponentTest, AnimateAdvancesOnlyWhenAnimated) {
  Component c(nullptr, 0, 0, &strip);
  c.Animate();
  EXPECT_EQ(c.GetFrame(), 0);
  c.SetAnimated(true);
  c.Animate();
  EXPECT_EQ(c.GetFrame(), 1);
}

TEST_F(ComponentTest, DirtyRectanglesAreClippedOrDropped) {
  Component c(nullptr, 0, 0, &strip);
  c.ClearDirty();
  c.AddDirtyRect(Rect{-5, -5, 10, 10});
  c.AddDirtyRect(Rect{20, 20, 40, 40});
  c.AddDirtyRect(Rect{26, 0, 30, 5});
  c.AddDirtyRect(Rect{-3, 2, 0, 9});
  c.AddDirtyRect(Rect{0, 26, 5, 30});
  c.AddDirtyRect(Rect{0, -9, 5, 0});
  c.AddDirtyRect(Rect{1, 1, 2, 2});
  c.AddDirtyRect(Rect{1, 1, 2, 2});  // never merged
  EXPECT_THAT(c.DirtyRects(), ElementsAre(Rect{0, 0, 10, 10}, Rect{20, 20, 26, 26}, Rect{1, 1, 2, 2}, Rect{1, 1, 2, 2}));
  c.MarkAllDirty();
  EXPECT_THAT(c.DirtyRects(), ElementsAre(Rect{0, 0, 26, 26}));
}

TEST_F(ComponentTest, HiddenComponentListsNothingPaintsNothingButStillDispatchesMouse) {
  Probe root(nullptr, 0, 0, &strip);
  root.EnableMouse();
  auto* child = static_cast<Probe*>(root.Adopt(std::make_unique<Probe>(&root, 0, 0, &strip)));
  bench.target.SetClientArea(0, 0, 100, 100);
  ASSERT_TRUE(root.Render(bench.target));
  bench.target.TakeDamage();

  root.SetVisible(false);
  root.AddDirtyRect(Rect{0, 0, 5, 5});
  root.InvalidateRect(Rect{0, 0, 5, 5});
  EXPECT_TRUE(root.DirtyRects().empty());
  child->AddDirtyRect(Rect{0, 0, 5, 5});
  EXPECT_TRUE(root.Render(bench.target));
  EXPECT_TRUE(bench.target.Damage().empty());
  EXPECT_EQ(child->DirtyRects().size(), 1u) << "the child keeps waiting";

  root.OnMouse(WM_LBUTTONDOWN, 0, 3, 4);
  EXPECT_EQ(child->mouseCalls.size(), 1u);
}

TEST_F(ComponentTest, ShowingRepaintsWholeAndNotifiesButHidingDoesNot) {
  Probe parent(nullptr, 0, 0, nullptr);
  auto* c = parent.Adopt(std::make_unique<Component>(&parent, 7, 8, &strip));
  c->ClearDirty();
  c->SetVisible(false);
  EXPECT_TRUE(parent.changedBoxes.empty());
  EXPECT_TRUE(c->DirtyRects().empty());
  c->SetVisible(true);
  EXPECT_THAT(parent.changedBoxes, ElementsAre(Rect{7, 8, 33, 34}));
  EXPECT_THAT(c->DirtyRects(), ElementsAre(Rect{0, 0, 26, 26}));
}

TEST_F(ComponentTest, ContainerWithoutOwnPaintStillFlagsAndPassesInvalidationDown) {
  Probe container(nullptr, 0, 0, &strip);
  container.SetDrawsSelf(false);
  container.ClearDirty();
  auto* child = container.Adopt(std::make_unique<Component>(&container, 10, 0, &strip));
  child->ClearDirty();
  bench.target.SetClientArea(0, 0, 100, 100);
  container.Render(bench.target);

  container.InvalidateRect(Rect{15, 5, 20, 8});
  EXPECT_TRUE(container.DirtyRects().empty());
  EXPECT_TRUE(container.NeedsRedraw());
  EXPECT_THAT(child->DirtyRects(), ElementsAre(Rect{5, 5, 10, 8}));
}

TEST_F(ComponentTest, UnflaggedSubtreeIsNotPaintedEvenWithDirtyDescendants) {
  Probe root(nullptr, 0, 0, nullptr);
  auto* child = root.Adopt(std::make_unique<Component>(&root, 0, 0, &strip));
  bench.target.SetClientArea(0, 0, 100, 100);
  ASSERT_TRUE(root.Render(bench.target));
  bench.target.TakeDamage();
  child->AddDirtyRect(Rect{0, 0, 4, 4});  // listed, but nobody flagged the root
  ASSERT_TRUE(root.Render(bench.target));
  EXPECT_TRUE(bench.target.Damage().empty());
  child->Invalidate();
  ASSERT_TRUE(root.Render(bench.target));
  EXPECT_FALSE(bench.target.Damage().empty());
}

TEST_F(ComponentTest, MovingAChildReportsOldThenNewBoxAndMovesGrandchildren) {
  Probe parent(nullptr, 0, 0, nullptr);
  auto* child = static_cast<Probe*>(parent.Adopt(std::make_unique<Probe>(&parent, 0, 0, &strip)));
  auto* grandchild = child->Adopt(std::make_unique<Component>(child, 2, 3, &strip));
  child->SetX(40);
  EXPECT_THAT(parent.changedBoxes, ElementsAre(Rect{0, 0, 26, 26}, Rect{40, 0, 66, 26}));
  EXPECT_EQ(grandchild->GetOriginX(), 40);
  child->MoveBy(1, 2);
  EXPECT_EQ(grandchild->GetOriginX(), 41);
  EXPECT_EQ(grandchild->GetOriginY(), 2);
  parent.SetOrigin(100, 200);
  EXPECT_EQ(child->GetOriginX(), 100);
  EXPECT_EQ(grandchild->GetOriginX(), 141);
  EXPECT_EQ(grandchild->GetOriginY(), 202);
}

TEST_F(ComponentTest, SiblingsRepaintWhereAChangedChildOverlapsThem) {
  Probe parent(nullptr, 0, 0, &strip);
  auto* under = parent.Adopt(std::make_unique<Component>(&parent, 0, 0, &strip));
  auto* over = parent.Adopt(std::make_unique<Component>(&parent, 20, 20, &strip));
  auto* far = parent.Adopt(std::make_unique<Component>(&parent, 100, 100, &strip));
  for (Component* c : {static_cast<Component*>(&parent), under, over, far}) c->ClearDirty();
  bench.target.SetClientArea(0, 0, 200, 200);
  parent.Render(bench.target);

  under->Invalidate();
  EXPECT_THAT(under->DirtyRects(), ElementsAre(Rect{0, 0, 26, 26})) << "listed once, copied once";
  EXPECT_THAT(parent.DirtyRects(), ElementsAre(Rect{0, 0, 26, 26}));
  EXPECT_THAT(over->DirtyRects(), ElementsAre(Rect{0, 0, 6, 6}));
  EXPECT_TRUE(far->DirtyRects().empty());
  EXPECT_TRUE(far->NeedsRedraw()) << "every visible sibling is flagged";
}

TEST_F(ComponentTest, MouseGoesFromLastChildToFirstUntilConsumed) {
  Probe root(nullptr, 0, 0, nullptr);
  EXPECT_EQ(root.OnMouse(WM_MOUSEMOVE, 0, 1, 1), Ignored) << "mouse not enabled";
  root.EnableMouse();
  EXPECT_EQ(root.OnMouse(WM_MOUSEMOVE, 0, 1, 1), Ignored) << "no children";
  auto* first = static_cast<Probe*>(root.Adopt(std::make_unique<Probe>(&root, 0, 0, nullptr)));
  auto* last = static_cast<Probe*>(root.Adopt(std::make_unique<Probe>(&root, 0, 0, nullptr)));
  last->answer = Handled;
  EXPECT_EQ(root.OnMouse(WM_MOUSEMOVE, 0, 1, 1), Ignored) << "the first child's answer wins";
  EXPECT_EQ(first->mouseCalls.size(), 1u);
  last->answer = Consumed;
  EXPECT_EQ(root.OnMouse(WM_MOUSEMOVE, 0, 1, 1), Consumed);
  EXPECT_EQ(first->mouseCalls.size(), 1u) << "never asked after a Consumed";
}

TEST_F(ComponentTest, MouseCoordinatesAreTranslatedToEachParent) {
  Probe root(nullptr, 5, 6, nullptr);
  root.EnableMouse();
  auto* child = static_cast<Probe*>(root.Adopt(std::make_unique<Probe>(&root, 0, 0, nullptr)));
  root.OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, 15, 26);
  EXPECT_THAT(child->mouseCalls, ElementsAre(10 * 1000 + 20));
}

TEST_F(ComponentTest, RenderCopiesListedRectanglesFromTheCurrentFrameCell) {
  Probe root(nullptr, 0, 0, nullptr);
  bench.target.SetClientArea(100, 50, 80, 60);  // the client area's screen position
  root.SetOrigin(100, 50);
  auto* c = root.Adopt(std::make_unique<Component>(&root, 10, 20, &tall));
  c->SetFrame(7);  // column 2, row 1 of a 5 x 2 grid of 10 x 20 cells
  bench.target.EraseClient(0xABCDEF);
  ASSERT_TRUE(root.Render(bench.target));
  for (int32_t y = 0; y < 60; ++y) {
    for (int32_t x = 0; x < 80; ++x) {
      const bool inside = x >= 10 && x < 20 && y >= 20 && y < 40;
      const uint32_t expected = inside ? PatternPixel(20 + x - 10, 20 + y - 20, 1) : 0xABCDEF;
      ASSERT_EQ(bench.target.ClientPixel(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_TRUE(c->DirtyRects().empty());
}

TEST_F(ComponentTest, RenderIsClippedToTheVisibleClientArea) {
  Probe root(nullptr, 0, 0, nullptr);
  bench.target.SetClientArea(0, 0, 30, 30);
  bench.target.SetVisibleRect(Rect{0, 0, 30, 15});
  auto* c = root.Adopt(std::make_unique<Component>(&root, 20, 5, &strip));  // runs off right and bottom
  auto* offLeft = root.Adopt(std::make_unique<Component>(&root, -20, -20, &strip));
  bench.target.EraseClient(0);
  bench.target.TakeDamage();
  ASSERT_TRUE(root.Render(bench.target));
  EXPECT_THAT(bench.target.Damage(), ElementsAre(Rect{20, 5, 30, 15}, Rect{0, 0, 6, 6}));
  EXPECT_EQ(bench.target.ClientPixel(29, 14), PatternPixel(9, 9));
  EXPECT_EQ(bench.target.ClientPixel(29, 15), 0u);
  EXPECT_EQ(bench.target.ClientPixel(0, 0), PatternPixel(20, 20));
  EXPECT_TRUE(c->DirtyRects().empty());
  EXPECT_TRUE(offLeft->DirtyRects().empty());
}

TEST_F(ComponentTest, FailedCopyStopsThePaintAndKeepsTheRestListed) {
  Probe root(nullptr, 0, 0, &strip);
  auto* child = root.Adopt(std::make_unique<Component>(&root, 30, 0, &strip));
  bench.target.SetClientArea(0, 0, 100, 100);
  root.ClearDirty();
  root.AddDirtyRect(Rect{0, 0, 2, 2});
  root.AddDirtyRect(Rect{2, 2, 4, 4});
  root.AddDirtyRect(Rect{4, 4, 6, 6});
  bench.monitor.FailNth(SurfaceOp::Copy, 2);
  EXPECT_FALSE(root.Render(bench.target));
  EXPECT_THAT(root.DirtyRects(), ElementsAre(Rect{2, 2, 4, 4}, Rect{4, 4, 6, 6}));
  EXPECT_FALSE(root.NeedsRedraw());
  EXPECT_THAT(child->DirtyRects(), ElementsAre(Rect{0, 0, 26, 26})) << "children unpainted";
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::Copy), 2);
}

TEST_F(ComponentTest, PictureWithoutSurfaceFailsToPaint) {
  Picture missing(bench.env, PictureName::Resource(999), 10, 10, 1, 1, 1);
  Component c(nullptr, 0, 0, &missing);
  bench.target.SetClientArea(0, 0, 20, 20);
  EXPECT_FALSE(c.Render(bench.target));
}

}  // namespace
}  // namespace puzzle
