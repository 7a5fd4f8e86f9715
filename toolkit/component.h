#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/geometry.h"
#include "toolkit/picture.h"
#include "toolkit/surface.h"

namespace puzzle {

// Base of everything drawn in the main window: a node of a small retained scene graph
// that records dirty rectangles, climbs to the root to ask for a repaint, paints just
// those rectangles from its picture, and passes mouse and key input to its children.
class Component {
 public:
  Component(Component* parent, int32_t x, int32_t y, Picture* picture);
  virtual ~Component();

  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  // The virtual operations, in their fixed order; derived classes add theirs after.
  virtual void Init(Component* parent, int32_t x, int32_t y, Picture* picture);
  virtual void SetOriginX(int32_t ox);
  virtual void SetOriginY(int32_t oy);
  virtual void SetOrigin(int32_t ox, int32_t oy);
  virtual int32_t GetOriginX();
  virtual int32_t GetOriginY();
  virtual void SetX(int32_t nx);
  virtual void SetY(int32_t ny);
  virtual void SetPos(int32_t nx, int32_t ny);
  virtual int32_t GetX();
  virtual int32_t GetY();
  virtual void MoveX(int32_t dx);
  virtual void MoveY(int32_t dy);
  virtual void MoveBy(int32_t dx, int32_t dy);
  virtual void SetWidth(int32_t w);
  virtual void SetHeight(int32_t h);
  virtual void SetSize(int32_t w, int32_t h);
  virtual int32_t GetWidth();
  virtual int32_t GetHeight();
  virtual void SetFrame(int32_t f);
  virtual int32_t GetFrame();
  virtual void NextFrame();
  virtual void PrevFrame();
  virtual void SetVisible(bool v);
  virtual bool IsVisible();
  virtual void SetFrameWrap(bool v);
  virtual bool GetFrameWrap();
  virtual void SetAnimated(bool v);
  virtual bool IsAnimated();
  virtual void Animate();
  virtual void AddDirtyRect(const Rect& r);
  virtual void MarkAllDirty();
  virtual void InvalidateRect(const Rect& r);
  virtual void InvalidateAll();
  virtual void OnChildChanged(Component* child);
  virtual void Invalidate();
  virtual void ClearDirty();
  virtual void OnFrameChanged();
  virtual EventResult OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py);
  virtual EventResult OnKey(uint32_t message, uint32_t wParam, int32_t lParam);
  virtual void OnNotify(Component* sender, int32_t code);
  virtual bool Render(Surface& target);

  // Read-only views for the shell, the tests and the tools.
  Component* Parent() const { return parent; }
  size_t ChildCount() const { return children.size(); }
  Component* Child(size_t index) const { return children[index].get(); }
  const std::vector<Rect>& DirtyRects() const { return dirtyRects; }
  bool NeedsRedraw() const { return needsRedraw; }
  bool DrawsSelf() const { return drawsSelf; }
  bool MouseEnabled() const { return mouseEnabled; }
  bool KeyEnabled() const { return keyEnabled; }
  int32_t FrameCount() const { return frameCount; }
  Picture* GetPicture() const { return picture; }

 protected:
  // For derived classes whose constructor runs Init with other arguments.
  Component() = default;

  // Paints each listed rectangle from the picture cell at (cellLeft, cellTop); false at
  // the first failed copy, leaving that rectangle and the rest listed.
  bool PaintDirtyRects(Surface& target, int32_t cellLeft, int32_t cellTop);

  Component* parent = nullptr;
  int32_t originX = 0;
  int32_t originY = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t frame = 0;
  int32_t frameCount = 0;
  bool visible = true;
  bool animated = false;
  bool frameWrap = false;
  std::vector<Rect> dirtyRects;
  bool needsRedraw = true;
  std::vector<std::unique_ptr<Component>> children;
  Picture* picture = nullptr;
  bool drawsSelf = false;
  bool mouseEnabled = false;
  bool keyEnabled = false;
};

}  // namespace puzzle
