// Program entry of `velkar`, which links no Qt: the standard descriptors, the
// clipboard server role handed straight to the desktop part, the two informational
// words, the plain settings from the words, then either the console run (no Qt
// library is ever loaded) or the desktop part, a module with Qt and the window
// loaded from beside the program or from its installed folder.
#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/console_run.h"
#include "cli/start_plan.h"
#include "platform/platform_console.h"
#include "settings/command_words.h"
#include "settings/run_settings.h"

#ifndef VELKAR_DESKTOP_MODULE
#define VELKAR_DESKTOP_MODULE "/usr/lib/velkar/velkar-desktop.so"
#endif
#ifndef VELKAR_DESKTOP_MODULE_RELATIVE
#define VELKAR_DESKTOP_MODULE_RELATIVE "../lib/velkar/velkar-desktop.so"
#endif

namespace {

constexpr char kModuleName[] = "velkar-desktop.so";
constexpr char kModuleEntry[] = "VelkarDesktopMain";

// The folder of the running program, with its final slash; empty when unknown.
std::string ProgramFolder() {
  std::string path(4096, '\0');
  ssize_t got = ::readlink("/proc/self/exe", path.data(), path.size());
  if (got <= 0 || static_cast<std::size_t>(got) >= path.size()) return "";
  path.resize(static_cast<std::size_t>(got));
  return path.substr(0, path.rfind('/') + 1);
}

// The places of the desktop part, in order: beside the program (the build tree),
// the installed library folder relative to the program (a package installed under
// any prefix), and the library folder the build was configured for.
std::vector<std::string> ModulePlaces() {
  const std::string folder = ProgramFolder();
  std::vector<std::string> places;
  if (!folder.empty()) {
    places.push_back(folder + kModuleName);
    places.push_back(folder + VELKAR_DESKTOP_MODULE_RELATIVE);
  }
  places.emplace_back(VELKAR_DESKTOP_MODULE);
  return places;
}

// Loads the desktop part from the first place that has it and hands the start
// over to it.
int RunDesktop(int argc, char** argv) {
  std::vector<std::string> places = ModulePlaces();
  std::string chosen = places.back();
  for (const std::string& place : places) {
    if (::access(place.c_str(), F_OK) == 0) {
      chosen = place;
      break;
    }
  }
  void* module = ::dlopen(chosen.c_str(), RTLD_NOW | RTLD_LOCAL);
  using Entry = int (*)(int, char**);
  Entry entry =
      module != nullptr ? reinterpret_cast<Entry>(::dlsym(module, kModuleEntry)) : nullptr;
  if (entry == nullptr) {
    const char* why = ::dlerror();
    std::fprintf(stderr, velkar::kCannotLoadDesktop, why != nullptr ? why : chosen.c_str());
    return 1;
  }
  return entry(argc, argv);
}

// "--help" or "--version" alone: the text on standard output, 0 unless it
// cannot be written.
int PrintText(const char* text) {
  const bool written = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
  return written ? 0 : 1;
}

int RunOnConsole(const velkar::RunSettings& settings) {
  velkar::ConsolePlatform platform;
  velkar::SetCurrentPlatform(&platform);
  const int status = velkar::RunConsole(settings);
  velkar::SetCurrentPlatform(nullptr);
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  velkar::OpenStandardDescriptors();
  // Past a file-size limit a write must fail and be reported, not kill the program
  // half-way through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  if (velkar::IsClipboardServerRole()) return RunDesktop(argc, argv);

  const std::vector<std::string> words = velkar::WordsFromArgv(argc, argv);
  if (words.size() == 2 && words[1] == "--help") return PrintText(velkar::kHelpText);
  if (words.size() == 2 && words[1] == "--version") return PrintText(velkar::kVersionText);

  const velkar::RunSettings settings = velkar::SettingsFromWords(words);
  const velkar::StartEnvironment env = velkar::CurrentStartEnvironment();
  velkar::StartPlan plan = velkar::PlanStart(env, settings.autoRun);
  if (!plan.console && !velkar::DisplayAnswers(plan, env)) {
    const std::string name = velkar::DisplayName(plan, env);
    if (!settings.autoRun) {
      std::fprintf(stderr, velkar::kCannotOpenDisplay, name.c_str());
      return 1;
    }
    std::fprintf(stderr, velkar::kRunningInConsole, name.c_str());
    plan.console = true;
  }
  if (plan.console) return RunOnConsole(settings);
  if (!plan.qtPlatform.empty()) ::setenv("QT_QPA_PLATFORM", plan.qtPlatform.c_str(), 1);
  return RunDesktop(argc, argv);
}
