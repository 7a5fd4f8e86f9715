// The game on a Linux desktop.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <glib.h>

#include <wx/app.h>
#include <wx/init.h>

#include "shell/application.h"
#include "shell/wx/wx_host.h"
#include "toolkit/platform_codes.h"

#if defined(__SANITIZE_ADDRESS__)
// The desktop libraries keep caches for the life of the process and never free them;
// only our own leaks are worth reporting.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgio-2.0.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n"
         "leak:libpango\n"
         "leak:libcairo.so\n"
         "leak:libatk\n"
         "leak:libgdk_pixbuf-2.0.so\n"
         "leak:libX11.so\n";
}
#endif

namespace {

class PuzzleApp : public wxApp {
 public:
  bool OnInit() override {
    // The game reads no command line; the toolkit's own options are still taken.
    SetAppName("brindlewick-puzzle");
    SetAppDisplayName("brindlewick Puzzle");
    // Menu marks are set by the program, never polled: no update-UI or idle rounds through
    // every window after each event, which a ticking clock would pay for once a second.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    return true;
  }
};

// The window can't be had: no display, or the display went away or refused us. No box can
// be shown, so the message goes to standard error, and the toolkit is not touched again:
// tearing it down without a display would crash it.
[[noreturn]] void WindowCantBeHad() {
  std::fprintf(stderr, "brindlewick Puzzle: Window Error: %s\n", std::string(puzzle::kUnexpectedError).c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

// GTK ends the process with a trap on an error it can't go on from, such as losing its
// display while it starts; that is the same window that can't be had.
void OnToolkitError(const gchar*, GLogLevelFlags level, const gchar* message, gpointer) {
  if ((level & G_LOG_LEVEL_ERROR) == 0) return;
  std::fprintf(stderr, "%s\n", message != nullptr ? message : "");
  WindowCantBeHad();
}

}  // namespace

int main(int argc, char** argv) {
  // The game draws with the CPU alone: GDK needn't start OpenGL to pick a visual, which
  // costs a good part of start-up on a software renderer.
  setenv("GDK_GL", "disable", 0);
  for (const char* domain : {"Gtk", "Gdk", "GLib-GObject"}) {
    g_log_set_handler(domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL), OnToolkitError,
                      nullptr);
  }
  wxApp::SetInstance(new PuzzleApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) WindowCantBeHad();
  int32_t exitCode = 1;
  {
    puzzle::WxHost host;
    puzzle::Application game(host);
    exitCode = game.WinMain(puzzle::SW_SHOWNORMAL);
    host.DestroyFrame();
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return exitCode;
}
