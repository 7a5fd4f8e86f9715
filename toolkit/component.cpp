#include "toolkit/component.h"

namespace puzzle {

namespace {
// The value in 0 .. n - 1 congruent to f modulo n.
int32_t WrapIndex(int32_t f, int32_t n) {
  const int32_t m = f % n;
  return m < 0 ? m + n : m;
}
}  // namespace

Component::Component(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip) {
  Component::Init(parentComponent, nx, ny, strip);
}

Component::~Component() {
  // Children go in index order, before the list itself.
  for (auto& child : children) child.reset();
  children.clear();
  dirtyRects.clear();
}

void Component::Init(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip) {
  if (parentComponent != nullptr) {
    originX = parentComponent->GetX() + parentComponent->GetOriginX();
    originY = parentComponent->GetY() + parentComponent->GetOriginY();
  } else {
    originX = 0;
    originY = 0;
  }
  x = nx;
  y = ny;
  parent = parentComponent;
  frame = 0;
  visible = true;
  animated = false;
  frameWrap = false;
  children.clear();
  picture = strip;
  if (picture != nullptr) {
    width = picture->frameWidth;
    height = picture->frameHeight;
    frameCount = picture->frameCount;
    picture->Load();  // a picture that can't load shows up as a failed paint later
    drawsSelf = true;
  } else {
    width = 0;
    height = 0;
    frameCount = 0;
    drawsSelf = false;
  }
  needsRedraw = true;
  dirtyRects.clear();
  MarkAllDirty();
  mouseEnabled = false;
  keyEnabled = false;
}

void Component::SetOriginX(int32_t ox) {
  originX = ox;
  for (auto& child : children) child->SetOriginX(ox + x);
}

void Component::SetOriginY(int32_t oy) {
  originY = oy;
  for (auto& child : children) child->SetOriginY(oy + y);
}

void Component::SetOrigin(int32_t ox, int32_t oy) {
  originX = ox;
  originY = oy;
  for (auto& child : children) child->SetOrigin(ox + x, oy + y);
}

int32_t Component::GetOriginX() { return originX; }
int32_t Component::GetOriginY() { return originY; }

void Component::SetX(int32_t nx) {
  Invalidate();
  x = nx;
  Invalidate();
  for (auto& child : children) child->SetOriginX(originX + nx);
}

void Component::SetY(int32_t ny) {
  Invalidate();
  y = ny;
  Invalidate();
  for (auto& child : children) child->SetOriginY(originY + ny);
}

void Component::SetPos(int32_t nx, int32_t ny) {
  Invalidate();
  x = nx;
  y = ny;
  Invalidate();
  for (auto& child : children) child->SetOrigin(originX + nx, originY + ny);
}

int32_t Component::GetX() { return x; }
int32_t Component::GetY() { return y; }
void Component::MoveX(int32_t dx) { SetX(x + dx); }
void Component::MoveY(int32_t dy) { SetY(y + dy); }
void Component::MoveBy(int32_t dx, int32_t dy) { SetPos(x + dx, y + dy); }

void Component::SetWidth(int32_t w) {
  width = w;
  Invalidate();
}

void Component::SetHeight(int32_t h) {
  height = h;
  Invalidate();
}

void Component::SetSize(int32_t w, int32_t h) {
  width = w;
  height = h;
  Invalidate();
}

int32_t Component::GetWidth() { return width; }
int32_t Component::GetHeight() { return height; }

void Component::SetFrame(int32_t f) {
  if (f == frame) return;
  if (frameCount <= 0) {
    frame = 0;  // no picture, no frames: stay on the only index there is
  } else if (f >= frameCount) {
    frame = frameWrap ? WrapIndex(f, frameCount) : frameCount - 1;
  } else if (f >= 0) {
    frame = f;
  } else {
    frame = frameWrap ? WrapIndex(f, frameCount) : 0;
  }
  Invalidate();
  OnFrameChanged();
}

int32_t Component::GetFrame() { return frame; }
void Component::NextFrame() { SetFrame(frame + 1); }
void Component::PrevFrame() { SetFrame(frame - 1); }

void Component::SetVisible(bool v) {
  visible = v;
  Invalidate();
}

bool Component::IsVisible() { return visible; }
void Component::SetFrameWrap(bool v) { frameWrap = v; }
bool Component::GetFrameWrap() { return frameWrap; }
void Component::SetAnimated(bool v) { animated = v; }
bool Component::IsAnimated() { return animated; }

void Component::Animate() {
  if (animated) NextFrame();
}

void Component::AddDirtyRect(const Rect& r) {
  if (!visible || !drawsSelf) return;
  Rect c = r;
  if (c.left < 0) c.left = 0;
  if (c.left >= width) return;
  if (c.top < 0) c.top = 0;
  if (c.top >= height) return;
  if (c.right <= 0) return;
  if (c.right > width) c.right = width;
  if (c.bottom <= 0) return;
  if (c.bottom > height) c.bottom = height;
  dirtyRects.push_back(c);
}

void Component::MarkAllDirty() {
  if (!visible || !drawsSelf) return;
  dirtyRects.assign(1, Rect{0, 0, width, height});
}

void Component::InvalidateRect(const Rect& r) {
  if (!visible) return;
  needsRedraw = true;
  const Rect own = Offset(r, -x, -y);
  AddDirtyRect(own);
  for (auto& child : children) child->InvalidateRect(own);
}

void Component::InvalidateAll() {
  if (!visible) return;
  needsRedraw = true;
  MarkAllDirty();
  for (auto& child : children) child->InvalidateAll();
}

void Component::OnChildChanged(Component* child) {
  if (!visible) return;
  needsRedraw = true;
  const Rect box{child->GetX(), child->GetY(), child->GetX() + child->GetWidth(),
                 child->GetY() + child->GetHeight()};
  AddDirtyRect(box);
  for (auto& sibling : children) {
    if (sibling.get() != child) sibling->InvalidateRect(box);
  }
  if (parent != nullptr) parent->OnChildChanged(this);
}

void Component::Invalidate() {
  if (!visible) return;
  needsRedraw = true;
  MarkAllDirty();
  for (auto& child : children) child->InvalidateAll();
  if (parent != nullptr) parent->OnChildChanged(this);
}

void Component::ClearDirty() { dirtyRects.clear(); }

void Component::OnFrameChanged() {}

EventResult Component::OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py) {
  if (!mouseEnabled) return Ignored;
  const int32_t lx = px - x;
  const int32_t ly = py - y;
  EventResult result = Ignored;
  for (size_t i = children.size(); i-- > 0;) {
    result = children[i]->OnMouse(message, keyFlags, lx, ly);
    if (result == Consumed) return Consumed;
  }
  return result;
}

EventResult Component::OnKey(uint32_t message, uint32_t wParam, int32_t lParam) {
  if (!keyEnabled) return Ignored;
  EventResult result = Ignored;
  for (size_t i = children.size(); i-- > 0;) {
    result = children[i]->OnKey(message, wParam, lParam);
    if (result == Consumed) return Consumed;
  }
  return result;
}

void Component::OnNotify(Component*, int32_t) {}

bool Component::PaintDirtyRects(Surface& target, int32_t cellLeft, int32_t cellTop) {
  if (picture == nullptr) return false;
  for (size_t i = 0; i < dirtyRects.size(); ++i) {
    const Rect& r = dirtyRects[i];
    const int32_t w = r.right - r.left;
    const int32_t h = r.bottom - r.top;
    const int32_t sl = cellLeft + r.left;
    const int32_t st = cellTop + r.top;
    const int32_t dl = originX + x + r.left;
    const int32_t dt = originY + y + r.top;
    if (!picture->Blit(target, Rect{dl, dt, dl + w, dt + h}, Rect{sl, st, sl + w, st + h})) {
      // What was painted is done; the failed rectangle and those after it stay listed.
      dirtyRects.erase(dirtyRects.begin(), dirtyRects.begin() + static_cast<std::ptrdiff_t>(i));
      return false;
    }
  }
  ClearDirty();
  return true;
}

bool Component::Render(Surface& target) {
  if (!visible) return true;
  if (!needsRedraw) return true;
  needsRedraw = false;
  if (drawsSelf && !dirtyRects.empty()) {
    const int32_t cols = picture != nullptr && picture->columns > 0 ? picture->columns : 1;
    const int32_t cellLeft = picture != nullptr ? (frame % cols) * picture->frameWidth : 0;
    const int32_t cellTop = picture != nullptr ? (frame / cols) * picture->frameHeight : 0;
    if (!PaintDirtyRects(target, cellLeft, cellTop)) return false;
  }
  for (auto& child : children) {
    if (!child->Render(target)) return false;
  }
  return true;
}

}  // namespace puzzle
