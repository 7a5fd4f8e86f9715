#include "toolkit/face_button.h"

#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {
constexpr int32_t kKeep = -1000;  // "unchanged" in a cell of the state table
}

FaceButton::FaceButton(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip, int32_t idle,
                       int32_t hover, int32_t pressed)
    : Component(parentComponent, nx, ny, strip) {
  FaceButton::Setup(idle, hover, pressed);
}

void FaceButton::Setup(int32_t idle, int32_t hover, int32_t pressed) {
  idleFrame = idle;
  mouseEnabled = true;
  state = Idle;
  hoverFrame = hover;
  pressedFrame = pressed;
}

EventResult FaceButton::Step(int32_t newState, int32_t newFrame, int32_t code, EventResult result) {
  if (newState != kKeep) state = newState;
  if (newFrame != kKeep) SetFrame(newFrame);
  if (code != kKeep && parent != nullptr) parent->OnNotify(this, code);
  return result;
}

EventResult FaceButton::OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py) {
  if (!mouseEnabled) return Ignored;
  const int32_t lx = px - x;
  const int32_t ly = py - y;
  const bool inside = lx >= 0 && lx < width && ly >= 0 && ly < height;
  switch (message) {
    case WM_LBUTTONDOWN:
      return inside ? OnPressInside() : Ignored;
    case WM_LBUTTONUP:
      return inside ? OnReleaseInside() : OnReleaseOutside();
    case WM_MOUSEMOVE:
      if ((keyFlags & MK_LBUTTON) != 0) return inside ? OnDragInside() : OnDragOutside();
      return inside ? OnHoverInside() : OnHoverOutside();
    default:
      return Ignored;
  }
}

EventResult FaceButton::OnPressInside() {
  if (state == Pressed) return Step(kKeep, kKeep, ButtonPress, Consumed);
  return Step(Pressed, pressedFrame, ButtonPress, Consumed);
}

EventResult FaceButton::OnReleaseInside() {
  switch (state) {
    case Hover: return Step(kKeep, kKeep, ButtonEnter, Consumed);
    case Pressed: return Step(Hover, hoverFrame, ButtonClick, Consumed);
    default: return Step(Hover, hoverFrame, ButtonEnter, Consumed);  // Idle, PressedOutside
  }
}

EventResult FaceButton::OnReleaseOutside() {
  switch (state) {
    case Hover:
    case Pressed: return Step(Idle, idleFrame, kKeep, Ignored);
    case PressedOutside: return Step(Idle, kKeep, ButtonCancel, Handled);
    default: return Ignored;
  }
}

EventResult FaceButton::OnHoverInside() {
  if (state == Hover) return Consumed;
  return Step(Hover, hoverFrame, ButtonEnter, Consumed);
}

EventResult FaceButton::OnHoverOutside() {
  switch (state) {
    case Hover: return Step(Idle, idleFrame, ButtonLeave, Handled);
    case Pressed: return Step(Idle, idleFrame, kKeep, Handled);
    case PressedOutside: return Step(Idle, kKeep, kKeep, Handled);
    default: return Ignored;
  }
}

EventResult FaceButton::OnDragInside() {
  switch (state) {
    case Hover: return Step(Pressed, pressedFrame, kKeep, Consumed);
    case Pressed: return Consumed;
    case PressedOutside: return Step(Pressed, pressedFrame, ButtonDragIn, Consumed);
    default: return Ignored;
  }
}

EventResult FaceButton::OnDragOutside() {
  switch (state) {
    case Hover: return Step(Idle, idleFrame, kKeep, Ignored);
    case Pressed: return Step(PressedOutside, idleFrame, ButtonDragOut, Consumed);
    default: return Ignored;
  }
}

}  // namespace puzzle
