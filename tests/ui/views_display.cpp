#include "tests/ui/views_display.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

namespace sorvimend::testing {
namespace {

pid_t serverPid = 0;
std::string displayName;

void stopServer() {
  if (serverPid > 0) {
    kill(serverPid, SIGTERM);
    waitpid(serverPid, nullptr, 0);
    serverPid = 0;
  }
}

bool serverAnswers(const std::string& name) {
  const std::string command = "xdpyinfo -display " + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

bool startServer() {
  // The server picks a free display number itself and writes it to the pipe, so test programs of
  // every engineer can run side by side.
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // The server goes with the test program, also when a failed check aborts it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
  close(fds[0]);
  if (number.empty()) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return false;
  }
  const std::string name = ":" + number;
  for (int poll = 0; poll < 50; ++poll) {
    if (serverAnswers(name)) {
      serverPid = pid;
      displayName = name;
      std::atexit(stopServer);
      return true;
    }
    usleep(100000);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return false;
}

}  // namespace

bool requireDisplay() {
  if (serverPid == 0) {
    if (!startServer()) return false;
    setenv("DISPLAY", displayName.c_str(), 1);
    Fl::display(displayName.c_str());
    fl_open_display();
  }
  return true;
}

void settle(double seconds) {
  Fl::flush();
  const double step = 0.02;
  for (double waited = 0; waited < seconds; waited += step) Fl::wait(step);
  Fl::flush();
}

int shell(const std::string& command) {
  const std::string full = "DISPLAY=" + displayName + " " + command;
  const int status = std::system(full.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellOutput(const std::string& command) {
  const std::string full = "DISPLAY=" + displayName + " " + command;
  std::string out;
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

void movePointer(Fl_Window& window, int x, int y) {
  settle(0.05);
  // The first motion into a window only enters it; the second is a move the toolkit tracks.
  const std::string id = std::to_string(fl_xid(&window));
  shell("xdotool mousemove --window " + id + " " + std::to_string(x + 1) + " " + std::to_string(y + 1));
  settle(0.05);
  shell("xdotool mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y));
  settle(0.1);
}

void click(Fl_Window& window, int x, int y) {
  movePointer(window, x, y);
  shell("xdotool click 1");
  settle(0.15);
}

void type(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += "'";
  shell("xdotool type --delay 20 " + quoted);
  settle(0.15);
}

void key(const std::string& names) {
  shell("xdotool key --delay 20 " + names);
  settle(0.15);
}

std::string screenshot(Fl_Window& window, const std::string& name) {
  settle(0.2);
  const char* build = std::getenv("SV_BUILD_DIR");
  const std::string folder = std::string(build != nullptr ? build : ".") + "/views-shots";
  mkdir(folder.c_str(), 0755);
  const std::string path = folder + "/" + name + ".png";
  shell("xwd -silent -id " + std::to_string(fl_xid(&window)) + " | /usr/bin/convert xwd:- " + path);
  return path;
}

}  // namespace sorvimend::testing

// Font and X libraries keep caches for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libXft.so\nleak:libX11.so\n";
}
