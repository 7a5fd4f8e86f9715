#include "shell/wx/x11_presenter.h"

#include <bit>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

// Xlib's macros clash with names of the game's; it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace puzzle {

struct X11Presenter::Connection {
  GdkWindow* canvas = nullptr;
  GdkWindow* native = nullptr;
  ::Display* display = nullptr;
  ::Window window = 0;
  ::Visual* visual = nullptr;
  GC gc = nullptr;
};

std::unique_ptr<X11Presenter> X11Presenter::For(wxWindow& canvas) {
  GdkWindow* window = canvas.GTKGetDrawingWindow();
  if (window == nullptr || !GDK_IS_X11_WINDOW(window) || gdk_window_get_scale_factor(window) != 1) return nullptr;
  GdkVisual* visual = gdk_window_get_visual(window);
  if (visual == nullptr || gdk_visual_get_depth(visual) != 24) return nullptr;
  guint32 red = 0;
  guint32 green = 0;
  guint32 blue = 0;
  gdk_visual_get_red_pixel_details(visual, &red, nullptr, nullptr);
  gdk_visual_get_green_pixel_details(visual, &green, nullptr, nullptr);
  gdk_visual_get_blue_pixel_details(visual, &blue, nullptr, nullptr);
  if (red != 0xFF0000 || green != 0x00FF00 || blue != 0x0000FF) return nullptr;

  // The canvas draws into the X window of the frame: GTK paints into no other.
  GdkWindow* native = window;
  while (native != nullptr && !gdk_window_has_native(native)) native = gdk_window_get_parent(native);
  if (native == nullptr) return nullptr;

  auto connection = std::make_unique<Connection>();
  connection->canvas = window;
  connection->native = native;
  connection->display = GDK_WINDOW_XDISPLAY(native);
  connection->window = GDK_WINDOW_XID(native);
  connection->visual = GDK_VISUAL_XVISUAL(visual);
  if (connection->display == nullptr || connection->window == 0) return nullptr;
  connection->gc = XCreateGC(connection->display, connection->window, 0, nullptr);
  if (connection->gc == nullptr) return nullptr;
  return std::unique_ptr<X11Presenter>(new X11Presenter(std::move(connection)));
}

X11Presenter::X11Presenter(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

X11Presenter::~X11Presenter() {
  if (connection_->gc != nullptr) XFreeGC(connection_->display, connection_->gc);
}

void X11Presenter::Show(const SoftwareSurface& pixels, const wxRect& requested) {
  const wxRect area = requested.Intersect(wxRect(0, 0, pixels.Width(), pixels.Height()));
  if (area.IsEmpty()) return;
  // An image over the backing store's own memory: X reads the rows where they are.
  XImage image{};
  image.width = pixels.Width();
  image.height = pixels.Height();
  image.format = ZPixmap;
  image.data = reinterpret_cast<char*>(const_cast<uint32_t*>(pixels.Row(0)));
  image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  image.bitmap_unit = 32;
  image.bitmap_bit_order = LSBFirst;
  image.bitmap_pad = 32;
  image.depth = 24;
  image.bytes_per_line = pixels.Width() * 4;
  image.bits_per_pixel = 32;
  image.red_mask = 0xFF0000;
  image.green_mask = 0x00FF00;
  image.blue_mask = 0x0000FF;
  if (XInitImage(&image) == 0) return;
  // Where the canvas lies in the frame's window, asked each time: cheap, and never stale.
  int x = 0;
  int y = 0;
  for (GdkWindow* w = connection_->canvas; w != nullptr && w != connection_->native; w = gdk_window_get_parent(w)) {
    int dx = 0;
    int dy = 0;
    gdk_window_get_position(w, &dx, &dy);
    x += dx;
    y += dy;
  }
  XPutImage(connection_->display, connection_->window, connection_->gc, &image, area.x, area.y, x + area.x,
            y + area.y, static_cast<unsigned>(area.width), static_cast<unsigned>(area.height));
}

void X11Presenter::Flush() { XFlush(connection_->display); }

}  // namespace puzzle
