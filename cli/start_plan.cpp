// The start's plan: the standard descriptors, the environment read once, the
// choice between console and desktop, and the probes of the display.
#include "cli/start_plan.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace velkar {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool StdinIsData() {
  struct stat st;
  if (::fstat(0, &st) != 0) return false;
  return S_ISFIFO(st.st_mode) || S_ISREG(st.st_mode);
}

// libxcb's calls, found at run time so that a console start never loads it. A
// connection that opens is kept for the rest of the run: an X server whose last
// client leaves resets itself, and a connection made during the reset (the
// toolkit's own, made next, or another program's) is refused.
bool XDisplayAnswers(const std::string& display) {
  static void* held = nullptr;
  if (held != nullptr) return true;
  void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (xcb == nullptr) return true;  // nothing to ask with: let the toolkit try
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
  if (connect == nullptr || hasError == nullptr || disconnect == nullptr) {
    ::dlclose(xcb);
    return true;
  }
  void* connection = connect(display.empty() ? nullptr : display.c_str(), nullptr);
  if (connection != nullptr && hasError(connection) == 0) {
    held = connection;  // and libxcb stays loaded with it
    return true;
  }
  if (connection != nullptr) disconnect(connection);
  ::dlclose(xcb);
  return false;
}

// The compositor's socket: WAYLAND_DISPLAY (default "wayland-0") as an absolute
// path or inside XDG_RUNTIME_DIR, as the Wayland client library finds it.
bool WaylandDisplayAnswers(const StartEnvironment& env) {
  if (!Variable("WAYLAND_SOCKET").empty()) return true;  // a connection handed over
  std::string path = env.waylandDisplay.empty() ? "wayland-0" : env.waylandDisplay;
  if (path[0] != '/') {
    if (env.runtimeDir.empty()) return false;
    path = env.runtimeDir + "/" + path;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return answers;
}

}  // namespace

void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // A closed standard output gets a descriptor that refuses writes (EBADF), so
    // that text written there fails and is reported instead of vanishing.
    int opened = ::open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

StartEnvironment CurrentStartEnvironment() {
  StartEnvironment env;
  env.qtPlatform = Variable("QT_QPA_PLATFORM");
  env.display = Variable("DISPLAY");
  env.waylandDisplay = Variable("WAYLAND_DISPLAY");
  env.runtimeDir = Variable("XDG_RUNTIME_DIR");
  env.stdinIsData = StdinIsData();
  return env;
}

StartPlan PlanStart(const StartEnvironment& env, bool autoRun) {
  StartPlan plan;
  // "name:options" names the platform "name".
  const std::string platform = env.qtPlatform.substr(0, env.qtPlatform.find(':'));
  if (platform == "offscreen" || platform == "minimal" || (autoRun && env.stdinIsData)) {
    plan.console = true;
    return plan;
  }
  if (!platform.empty()) {
    if (platform == "xcb") plan.display = DisplayKind::kX11;
    if (platform.rfind("wayland", 0) == 0) plan.display = DisplayKind::kWayland;
    return plan;
  }
  if (!env.display.empty()) {
    plan.qtPlatform = "xcb";
    plan.display = DisplayKind::kX11;
  } else if (!env.waylandDisplay.empty()) {
    plan.qtPlatform = "wayland";
    plan.display = DisplayKind::kWayland;
  } else {
    plan.console = true;
  }
  return plan;
}

bool DisplayAnswers(const StartPlan& plan, const StartEnvironment& env) {
  switch (plan.display) {
    case DisplayKind::kX11:
      return XDisplayAnswers(env.display);
    case DisplayKind::kWayland:
      return WaylandDisplayAnswers(env);
    case DisplayKind::kOther:
      break;
  }
  return true;
}

std::string DisplayName(const StartPlan& plan, const StartEnvironment& env) {
  std::string name;
  if (plan.display == DisplayKind::kX11) name = env.display;
  if (plan.display == DisplayKind::kWayland) name = env.waylandDisplay;
  return name.empty() ? "(none)" : name;
}

}  // namespace velkar
