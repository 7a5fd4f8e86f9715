#pragma once

#include <memory>

#include <wx/gdicmn.h>
#include <wx/window.h>

#include "toolkit/software_surface.h"

namespace puzzle {

// Puts rectangles of the backing store straight onto the canvas's X window, the moment
// the program has drawn them: no trip through the toolkit's frame clock and paint cycle,
// which costs a couple of milliseconds a frame and waits up to a frame for its turn.
//
// Only where that is exact: an X11 window at scale 1 whose visual takes the backing
// store's 0x00RRGGBB words as they are. Elsewhere (Wayland, scaled screens) the canvas
// shows the backing store in its paints.
class X11Presenter {
 public:
  // Null when the canvas can't be drawn on this way.
  static std::unique_ptr<X11Presenter> For(wxWindow& canvas);
  ~X11Presenter();
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  // Copies the area of the backing store (client pixels) to the same place on the window.
  void Show(const SoftwareSurface& pixels, const wxRect& area);
  // Sends what was shown to the X server.
  void Flush();

 private:
  struct Connection;
  explicit X11Presenter(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> connection_;
};

}  // namespace puzzle
