#include "toolkit/software_surface.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace puzzle {
namespace {

using ::testing::ElementsAre;

std::unique_ptr<SoftwareSurface> Make(SoftwareSurfaceFactory& factory, int32_t w, int32_t h) {
  auto surface = factory.CreateSurface(w, h);
  return std::unique_ptr<SoftwareSurface>(static_cast<SoftwareSurface*>(surface.release()));
}

void Number(SoftwareSurface& s) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, static_cast<uint32_t>(y * 100 + x));
}

TEST(SoftwareSurfaceTest, AbsurdSizesAreRefusedWithoutTakingMemory) {
  SoftwareSurfaceFactory factory;
  EXPECT_EQ(factory.CreateSurface(16385, 1), nullptr);
  EXPECT_EQ(factory.CreateSurface(8193, 8193), nullptr);
  EXPECT_EQ(factory.CreateSurface(0, 10), nullptr);
  EXPECT_EQ(factory.CreateSurface(-4, 10), nullptr);
  EXPECT_NE(factory.CreateSurface(16384, 1), nullptr);
}

TEST(SoftwareSurfaceTest, CopiesAreClippedToBothSurfaces) {
  SoftwareSurfaceFactory factory;
  auto source = Make(factory, 10, 10);
  auto dest = Make(factory, 8, 8);
  Number(*source);
  // Runs past the source's left and the destination's right edge.
  ASSERT_TRUE(dest->Blt(Rect{4, 2, 10, 4}, *source, Rect{-2, 5, 4, 7}));
  EXPECT_EQ(dest->Pixel(5, 2), 0u) << "nothing read from outside the source";
  EXPECT_EQ(dest->Pixel(6, 2), 500u);
  EXPECT_EQ(dest->Pixel(7, 3), 601u);
  EXPECT_EQ(dest->Pixel(3, 2), 0u);
  // Rectangles of different sizes are refused, empty and inverted ones do nothing.
  EXPECT_FALSE(dest->Blt(Rect{0, 0, 2, 2}, *source, Rect{0, 0, 3, 3}));
  EXPECT_TRUE(dest->Blt(Rect{3, 3, 1, 1}, *source, Rect{3, 3, 1, 1}));
  EXPECT_TRUE(dest->Blt(Rect{-100, -100, -90, -90}, *source, Rect{0, 0, 10, 10}));
}

TEST(SoftwareSurfaceTest, OverlappingCopyOnOneSurfaceMovesPixelsIntact) {
  SoftwareSurfaceFactory factory;
  auto s = Make(factory, 6, 6);
  Number(*s);
  ASSERT_TRUE(s->Blt(Rect{1, 1, 6, 6}, *s, Rect{0, 0, 5, 5}));
  EXPECT_EQ(s->Pixel(5, 5), 404u);
  EXPECT_EQ(s->Pixel(1, 1), 0u);
  ASSERT_TRUE(s->Blt(Rect{0, 0, 5, 5}, *s, Rect{1, 1, 6, 6}));
  EXPECT_EQ(s->Pixel(0, 0), 0u);
  EXPECT_EQ(s->Pixel(4, 4), 404u);
}

TEST(SoftwareSurfaceTest, FillsStayInside) {
  SoftwareSurfaceFactory factory;
  auto s = Make(factory, 4, 4);
  const Rect big{-5, 2, 50, 50};
  ASSERT_TRUE(s->Fill(&big, 0x112233));
  EXPECT_EQ(s->Pixel(0, 1), 0u);
  EXPECT_EQ(s->Pixel(3, 3), 0x112233u);
  ASSERT_TRUE(s->Fill(nullptr, 9));
  EXPECT_EQ(s->Pixel(0, 0), 9u);
}

TEST(SoftwareSurfaceTest, EmptyInvertedAndFarAwayRectanglesTouchNoPixel) {
  // Each operation with rectangles that cover nothing: the sanitizers watch the memory,
  // the snapshot the pixels.
  SoftwareSurfaceFactory factory(nullptr, nullptr);
  auto surface = Make(factory, 6, 5);
  auto source = Make(factory, 6, 5);
  Number(*surface);
  Number(*source);
  const PixelVector before = surface->Pixels();
  const std::vector<Rect> nothing{
      {2, 2, 2, 4},            // no width
      {1, 3, 5, 3},            // no height
      {5, 1, 2, 4},            // left past right, rows inside
      {1, 4, 5, 1},            // top past bottom
      {5, 4, 1, 1},            // both
      {-100, -100, -50, -50},  // far above and to the left
      {100, 1, 200, 3},        // far to the right
      {INT32_MIN, INT32_MIN, INT32_MIN + 1, INT32_MIN + 1},
  };
  for (const Rect& r : nothing) {
    SCOPED_TRACE(std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right) + "," +
                 std::to_string(r.bottom));
    EXPECT_TRUE(surface->Fill(&r, 0xABCDEF));
    surface->FillClipped(r, 0xABCDEF);
    EXPECT_TRUE(surface->Blt(r, *source, r));
    auto context = surface->GetDC();
    ASSERT_TRUE(context);
    EXPECT_TRUE(context->InvertRect(r));
    EXPECT_EQ(surface->Pixels(), before);
  }

  SoftwareWindowTarget target;
  target.SetClientArea(10, 10, 6, 5);
  target.EraseClient(0x123456);
  const PixelVector client = target.Backing().Pixels();
  target.TakeDamage();
  for (const Rect& r : nothing) {
    EXPECT_TRUE(target.Fill(&r, 0xABCDEF));
    EXPECT_TRUE(target.Blt(r, *source, r));
  }
  EXPECT_EQ(target.Backing().Pixels(), client);
  EXPECT_TRUE(target.TakeDamage().empty()) << "nothing drawn, nothing to show";
}

TEST(SoftwareSurfaceTest, RasterOperationsAreSelfInverse) {
  SoftwareSurfaceFactory factory;
  auto s = Make(factory, 10, 10);
  Number(*s);
  const auto before = s->Pixels();
  auto dc = s->GetDC();
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dc->InvertRect(Rect{2, 2, 20, 5}));
  EXPECT_EQ(s->Pixel(2, 2), 202u ^ 0xFFFFFFu);
  EXPECT_EQ(s->Pixel(1, 2), 201u);
  ASSERT_TRUE(dc->InvertRect(Rect{2, 2, 20, 5}));
  EXPECT_EQ(s->Pixels(), before);
}

TEST(SoftwareSurfaceTest, ImagesAreBlendedByTheirAlpha) {
  SoftwareSurfaceFactory factory;
  auto s = Make(factory, 3, 1);
  ASSERT_TRUE(s->Fill(nullptr, 0xFFFFFF));
  DecodedImage image;
  image.width = 5;  // wider than the surface: cut off
  image.height = 1;
  image.pixels = {0xFF102030, 0x00102030, 0x80000000, 0xFF000000, 0xFF000000};
  ASSERT_TRUE(s->GetDC()->DrawImage(image));
  EXPECT_EQ(s->Pixel(0, 0), 0x102030u);
  EXPECT_EQ(s->Pixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(s->Pixel(2, 0), 0x7F7F7Fu);
  image.pixels.pop_back();  // fewer pixels than the size says
  EXPECT_FALSE(s->GetDC()->DrawImage(image));
}

TEST(SoftwareSurfaceTest, WindowTargetTranslatesScreenToClientAndRecordsDamage) {
  SurfaceMonitor monitor;
  SoftwareSurfaceFactory factory(&monitor);
  auto source = Make(factory, 10, 10);
  Number(*source);
  SoftwareWindowTarget target(&monitor);
  target.SetClientArea(300, 200, 20, 20);
  ASSERT_TRUE(target.Blt(Rect{305, 195, 315, 205}, *source, Rect{0, 0, 10, 10}));
  EXPECT_EQ(target.ClientPixel(5, 0), 500u);
  EXPECT_EQ(target.ClientPixel(14, 4), 909u);
  const Rect fill{318, 218, 330, 230};
  ASSERT_TRUE(target.Fill(&fill, 0xAA));
  EXPECT_THAT(target.TakeDamage(), ElementsAre(Rect{5, 0, 15, 5}, Rect{18, 18, 20, 20}));
  EXPECT_TRUE(target.Damage().empty());
  EXPECT_EQ(monitor.PixelsCopied(), 50);
  // Off the client area entirely: no change, no damage, still a success.
  ASSERT_TRUE(target.Blt(Rect{0, 0, 10, 10}, *source, Rect{0, 0, 10, 10}));
  EXPECT_TRUE(target.Damage().empty());
}

TEST(SoftwareSurfaceTest, WindowTargetKeepsPixelsThatStillFitWhenResized) {
  SoftwareWindowTarget target;
  target.SetClientArea(0, 0, 4, 4);
  target.EraseClient(0x55);
  target.SetClientArea(0, 0, 6, 2);
  EXPECT_EQ(target.ClientPixel(3, 1), 0x55u);
  EXPECT_EQ(target.ClientPixel(5, 1), 0u);
}

TEST(SoftwareSurfaceTest, MonitorFailsTheChosenCallOnly) {
  SurfaceMonitor monitor;
  SoftwareSurfaceFactory factory(&monitor);
  monitor.FailNth(SurfaceOp::Create, 2);
  EXPECT_NE(factory.CreateSurface(2, 2), nullptr);
  EXPECT_EQ(factory.CreateSurface(2, 2), nullptr);
  EXPECT_NE(factory.CreateSurface(2, 2), nullptr);
  monitor.FailAlways(SurfaceOp::GetDC, true);
  auto s = factory.CreateSurface(2, 2);
  EXPECT_EQ(s->GetDC(), nullptr);
  monitor.Reset();
  EXPECT_NE(s->GetDC(), nullptr);
  EXPECT_EQ(monitor.Calls(SurfaceOp::GetDC), 1);
}

}  // namespace
}  // namespace puzzle
