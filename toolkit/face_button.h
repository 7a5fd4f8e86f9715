#pragma once

#include "toolkit/component.h"

namespace puzzle {

// Notification codes the face button sends to its parent.
enum ButtonNotification : int32_t {
  ButtonEnter = 1,
  ButtonLeave = 2,
  ButtonPress = 3,
  ButtonClick = 4,
  ButtonCancel = 5,
  ButtonDragOut = 6,
  ButtonDragIn = 7,
};

// The push button above the board: follows the left button through four states and
// tells its parent what happened.
class FaceButton : public Component {
 public:
  enum State : int32_t { Idle = 0, Hover = 1, Pressed = 3, PressedOutside = 6 };

  FaceButton(Component* parent, int32_t x, int32_t y, Picture* picture, int32_t idleFrame,
             int32_t hoverFrame, int32_t pressedFrame);

  EventResult OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py) override;

  virtual EventResult OnPressInside();
  virtual EventResult OnReleaseInside();
  virtual EventResult OnReleaseOutside();
  virtual EventResult OnHoverInside();
  virtual EventResult OnHoverOutside();
  virtual EventResult OnDragInside();
  virtual EventResult OnDragOutside();
  virtual void Setup(int32_t idle, int32_t hover, int32_t pressed);

  int32_t GetState() const { return state; }

 protected:
  int32_t state = Idle;
  int32_t idleFrame = 0;
  int32_t hoverFrame = 0;
  int32_t pressedFrame = 0;

 private:
  // One cell of the state table: the new state, then the frame, then the notification.
  EventResult Step(int32_t newState, int32_t newFrame, int32_t code, EventResult result);
};

}  // namespace puzzle
