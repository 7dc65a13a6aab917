#include "tests/ui/x_server.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <gtest/gtest.h>
// After gtest: the X11 headers define None and Bool as macros.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace sorvimend::testing {
namespace {

std::string gDisplay;
pid_t gServer = 0;

bool answers(const std::string& display) {
  return std::system(("xdpyinfo -display " + display + " >/dev/null 2>&1").c_str()) == 0;
}

class XServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Numbers 100-299, picked by process id: apart from other test programs' ranges.
    for (int attempt = 0; attempt < 40 && gServer == 0; ++attempt) {
      const int number = 100 + static_cast<int>((getpid() + attempt * 13) % 200);
      struct stat info {};
      if (stat(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), &info) == 0) continue;
      const std::string name = ":" + std::to_string(number);
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
          dup2(devnull, 1);
          dup2(devnull, 2);
        }
        // -noreset: by default the server resets when its last client leaves, and a connection
        // made during that reset fails.
        execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
      }
      for (int poll = 0; poll < 50; ++poll) {
        usleep(100000);
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        if (answers(name)) {
          // Another program's server can answer on this number for a moment (and go): only our
          // own live child counts, and only once the display really opens.
          Display* probe = waitpid(pid, &status, WNOHANG) == 0 ? XOpenDisplay(name.c_str()) : nullptr;
          if (probe != nullptr) {
            XCloseDisplay(probe);
            gServer = pid;
            gDisplay = name;
          }
          break;
        }
      }
      if (gServer == 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
      }
    }
    ASSERT_NE(gServer, 0) << "no X server could be started";
    setenv("DISPLAY", gDisplay.c_str(), 1);
    Fl::display(gDisplay.c_str());
    Display* display = nullptr;
    for (int tries = 0; tries < 50 && display == nullptr; ++tries) {
      display = XOpenDisplay(gDisplay.c_str());
      if (display == nullptr) usleep(100000);
    }
    ASSERT_NE(display, nullptr) << "cannot open " << gDisplay;
    fl_open_display(display);
  }
  void TearDown() override {
    if (gServer > 0) {
      kill(gServer, SIGTERM);
      waitpid(gServer, nullptr, 0);
      gServer = 0;
    }
  }
};

}  // namespace

void useXServer() { ::testing::AddGlobalTestEnvironment(new XServerEnvironment); }

const std::string& xDisplay() { return gDisplay; }

void pump(double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    Fl::wait(0.02);
    Fl::flush();
  }
}

std::uint32_t Picture::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
  std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  return (std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

Picture capture(Fl_Window& window) {
  pump(0.05);
  window.make_current();
  Picture picture;
  picture.width = window.w();
  picture.height = window.h();
  std::unique_ptr<uchar[]> pixels(fl_read_image(nullptr, 0, 0, window.w(), window.h()));
  if (pixels) picture.rgb.assign(pixels.get(), pixels.get() + static_cast<std::size_t>(window.w()) * window.h() * 3);
  return picture;
}

std::string savePng(const Picture& picture, const std::string& name) {
  const char* build = std::getenv("SV_BUILD_DIR");
  std::filesystem::path dir = std::filesystem::path(build ? build : ".") / "screenshots";
  std::filesystem::create_directories(dir);
  std::filesystem::path ppm = dir / (name + ".ppm");
  {
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(picture.rgb.data()), static_cast<std::streamsize>(picture.rgb.size()));
  }
  std::filesystem::path png = dir / (name + ".png");
  std::system(("/usr/bin/convert " + ppm.string() + " " + png.string() + " 2>/dev/null").c_str());
  std::filesystem::remove(ppm);
  return png.string();
}

int run(const std::string& command) {
  std::string full = "export DISPLAY=" + gDisplay + "; " + command;
  int status = std::system(full.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void movePointerInto(Fl_Window& window, int x, int y) {
  run("xdotool mousemove " + std::to_string(window.x() + x) + " " + std::to_string(window.y() + y));
  pump(0.1);
}

void pressKey(const std::string& name) {
  run("xdotool key " + name);
  pump(0.2);
}

std::uint32_t rgbOf(unsigned colour) {
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(static_cast<Fl_Color>(colour), r, g, b);
  return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

}  // namespace sorvimend::testing

// Fontconfig and Xft keep their caches until the process ends; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libXft\n"; }
