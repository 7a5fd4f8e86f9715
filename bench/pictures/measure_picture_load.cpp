// Measures what loading the player's picture costs against decoding the same file with
// nothing but gdk-pixbuf: the time, and how far the process's memory peak rises above
// where it stood before. Not a test: it prints figures.
//   measure_picture_load [runs]
// Each load runs in a fresh process of its own (this program run again with --child), so
// every peak is that load's alone. The pictures are JPEG photos made with ImageMagick.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "shell/linux/pixbuf_decoder.h"
#include "shell/pictures/fit.h"
#include "toolkit/picture.h"
#include "toolkit/software_surface.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The largest picture on a 1920 x 1200 screen, after the frame and the menu bar as the
// desktop host allows for them before the window is framed.
constexpr puzzle::ImageSize kScreenClient{1920 - 16, 1200 - 27 - 40 - 16};

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

// One load in this process: prints "milliseconds peak-growth-kB process-peak-kB width height".
int Child(const std::string& method, const char* path) {
  // The libraries' own set-up is nobody's load: a tiny picture first, the same way.
  const fs::path warm = fs::temp_directory_path() / "measure_picture_load_warm.png";
  if (GdkPixbuf* tiny = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 1, 1)) {
    gdk_pixbuf_save(tiny, warm.c_str(), "png", nullptr, nullptr);
    g_object_unref(tiny);
  }
  if (GdkPixbuf* again = gdk_pixbuf_new_from_file(warm.c_str(), nullptr)) g_object_unref(again);
  puzzle::PixbufDecoder decoder;
  decoder.Decode(warm.c_str());
  const long before = StatusKb("VmRSS:");

  int width = 0;
  int height = 0;
  const auto start = Clock::now();
  if (method == "bare" || method == "bare-at-screen") {
    GdkPixbuf* pixbuf = nullptr;
    if (method == "bare") {
      pixbuf = gdk_pixbuf_new_from_file(path, nullptr);
    } else {
      const puzzle::ImageSize box = puzzle::LargestPictureFor(kScreenClient);
      pixbuf = gdk_pixbuf_new_from_file_at_scale(path, box.width, box.height, TRUE, nullptr);
    }
    if (pixbuf == nullptr) return 1;
    width = gdk_pixbuf_get_width(pixbuf);
    height = gdk_pixbuf_get_height(pixbuf);
    g_object_unref(pixbuf);
  } else {
    if (method == "game-at-screen") decoder.SetLargestPicture(puzzle::LargestPictureFor(kScreenClient));
    puzzle::SoftwareSurfaceFactory surfaces;
    puzzle::PictureEnvironment env;
    env.surfaces = &surfaces;
    env.files = &decoder;
    puzzle::Picture picture(env, puzzle::PictureName::File(path), 1, 1, 1);
    if (!picture.Load()) return 1;
    width = picture.imageWidth;
    height = picture.imageHeight;
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const long peak = StatusKb("VmHWM:");
  std::printf("%.3f %ld %ld %d %d\n", ms, peak - before, peak, width, height);
  return 0;
}

struct Sample {
  double ms = 0;
  long peakKb = 0;
  long processPeakKb = 0;
  int width = 0;
  int height = 0;
};

bool RunChild(const char* self, const std::string& method, const fs::path& file, Sample& out) {
  const std::string command = std::string("'") + self + "' --child " + method + " '" + file.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  const int read =
      std::fscanf(pipe, "%lf %ld %ld %d %d", &out.ms, &out.peakKb, &out.processPeakKb, &out.width, &out.height);
  return pclose(pipe) == 0 && read == 5;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return Child(argv[2], argv[3]);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

  const fs::path dir = fs::temp_directory_path() / ("measure_picture_load." + std::to_string(getpid()));
  fs::create_directories(dir);
  struct Photo {
    const char* name;
    const char* size;
  };
  const Photo photos[] = {{"1920x1080.jpg", "1920x1080"}, {"5000x3000.jpg", "5000x3000"}};
  for (const Photo& p : photos) {
    // Detail all over, as a photo has: the built-in logo stretched, with noise.
    const std::string command = std::string("convert logo: -resize ") + p.size + "! -attenuate 0.4 +noise Gaussian " +
                                "-quality 90 '" + (dir / p.name).string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "ImageMagick's convert is needed to make the photos\n");
      return 2;
    }
  }

  std::printf("%-16s %-16s %10s %10s %14s %12s\n", "photo", "load", "time ms", "peak +MB", "process peak MB",
              "shown as");
  for (const Photo& p : photos) {
    struct Medians {
      double ms = 0;
      double growth = 0;
      double peak = 0;
    };
    std::map<std::string, Medians> medians;
    for (const char* method : {"bare", "game", "bare-at-screen", "game-at-screen"}) {
      std::vector<double> times;
      std::vector<double> growths;
      std::vector<double> peaks;
      Sample s;
      for (int i = 0; i < runs; ++i) {
        if (!RunChild(argv[0], method, dir / p.name, s)) {
          std::fprintf(stderr, "%s of %s failed\n", method, p.name);
          return 1;
        }
        times.push_back(s.ms);
        growths.push_back(static_cast<double>(s.peakKb) / 1024.0);
        peaks.push_back(static_cast<double>(s.processPeakKb) / 1024.0);
      }
      const Medians m{Median(times), Median(growths), Median(peaks)};
      medians[method] = m;
      std::printf("%-16s %-16s %10.1f %10.1f %14.1f %6d x %d\n", p.name, method, m.ms, m.growth, m.peak, s.width,
                  s.height);
    }
    auto ratios = [&](const char* game, const char* bare) {
      const Medians& g = medians[game];
      const Medians& b = medians[bare];
      std::printf("  %s / %s: time %.2f, peak growth %.2f, process peak %.2f\n", game, bare, g.ms / b.ms,
                  g.growth / b.growth, g.peak / b.peak);
    };
    ratios("game", "bare");
    ratios("game-at-screen", "bare-at-screen");
    std::printf("\n");
  }
  fs::remove_all(dir);
  return 0;
}
