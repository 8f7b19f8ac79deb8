// First response of the whole program, from the host's own timestamps (the
// live log, VMK_LIVE_LOG): edit-host started on a 6000 x 4000 JPEG until the
// first picture is painted in the main window (goal 1.5 s on 8 cores), and an
// effect button pressed until its dialog's first preview is in its view (goal
// 300 ms for it to show). Each iteration is one whole edit-host run on the offscreen
// platform; the time reported is the one between the two log lines.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Line {
  double ms;
  std::string kind, rest;
};

int Run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<Line> ReadLog(const std::string& path) {
  std::vector<Line> out;
  std::ifstream in(path);
  for (std::string text; std::getline(in, text);) {
    std::istringstream s(text);
    Line l;
    s >> l.ms >> l.kind;
    std::getline(s, l.rest);
    if (!l.rest.empty() && l.rest[0] == ' ') l.rest.erase(0, 1);
    out.push_back(l);
  }
  return out;
}

// The photo and the content library, made once for all the runs.
class Scene {
 public:
  static Scene& Get() {
    static Scene scene;
    return scene;
  }
  bool ok() const { return ok_; }
  fs::path dir() const { return dir_; }

  // One edit-host run; its log, or nothing when it failed.
  std::optional<std::vector<Line>> Host(const std::vector<std::string>& options, int run) {
    const fs::path log = dir_ / ("live-" + std::to_string(run) + ".log");
    const fs::path versions = dir_ / ("versions-" + std::to_string(run));
    fs::remove(log);
    fs::remove_all(versions);
    std::vector<std::string> args = {VMK_EDIT_HOST, "--versions", versions.string()};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back((dir_ / "photo.jpg").string());
    const int status = Run(args, {"VMK_LIVE_LOG=" + log.string(), "VMK_SUPPORT_DIR=" + (dir_ / "support").string(),
                                  "QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + dir_.string()});
    fs::remove_all(versions);
    if (status != 0) return std::nullopt;
    return ReadLog(log.string());
  }

 private:
  Scene() {
    if (*VMK_LIVE_SCREEN == 0) return;
    dir_ = fs::temp_directory_path() / ("first-response." + std::to_string(getpid()));
    fs::create_directories(dir_ / "support");
    ok_ = Run({VMK_MAKE_CONTENT, (dir_ / "support" / "Vellmarkstead").string()}, {}) == 0 &&
          Run({VMK_LIVE_SCREEN, "photo", (dir_ / "photo.jpg").string(), "6000", "4000"}, {}) == 0;
  }
  ~Scene() {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
  bool ok_ = false;
};

const Line* Find(const std::vector<Line>& log, double after, const std::string& kind, const std::string& rest) {
  for (const Line& l : log)
    if (l.ms >= after && l.kind == kind && (rest.empty() || l.rest == rest)) return &l;
  return nullptr;
}

// The next line of that kind after the given one (a line of the log).
const Line* FindAfter(const std::vector<Line>& log, const Line* from, const std::string& kind) {
  for (auto it = log.begin() + (from - log.data()) + 1; it != log.end(); ++it)
    if (it->kind == kind) return &*it;
  return nullptr;
}

// A string field of a logged window or control (its "sig", say), or
// nothing when the line has none.
std::string Field(const std::string& json, const std::string& key) {
  const std::string tag = "\"" + key + "\":\"";
  const size_t at = json.find(tag);
  if (at == std::string::npos) return "";
  const size_t from = at + tag.size(), to = json.find('"', from);
  return to == std::string::npos ? "" : json.substr(from, to - from);
}

void BM_StartToFirstPicture(benchmark::State& state) {
  Scene& scene = Scene::Get();
  if (!scene.ok()) return state.SkipWithError("cannot make the photo or the content library");
  int run = 0;
  for (auto _ : state) {
    const auto log = scene.Host({"--auto", "cancel"}, ++run);
    const Line* start = log ? Find(*log, 0, "start", "") : nullptr;
    const Line* painted = start != nullptr ? Find(*log, start->ms, "paint-image", "ApertureMain") : nullptr;
    if (painted == nullptr) return state.SkipWithError("no picture painted in the main window");
    state.SetIterationTime((painted->ms - start->ms) / 1000.0);
  }
}
BENCHMARK(BM_StartToFirstPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The effect's button pressed by the host (--effect), its dialog's window by name.
// The combination's button first asks whether to update its image list, so
// its preview is timed by the live check, which answers that question.
void ButtonToFirstPreview(benchmark::State& state, int effect, const std::string& window) {
  Scene& scene = Scene::Get();
  if (!scene.ok()) return state.SkipWithError("cannot make the photo or the content library");
  int run = 100;
  for (auto _ : state) {
    const auto log = scene.Host({"--effect", std::to_string(effect), "--dialog", "cancel", "--auto", "cancel"}, ++run);
    const Line* pressed = nullptr;
    if (log)
      for (const Line& l : *log)
        if (pressed == nullptr && l.kind == "command" && l.rest.size() > 5 && l.rest.substr(5) == "ApertureMain")
          pressed = &l;
    // The host answers the dialog as soon as its first preview is in the
    // view, before the loop turn that paints it: the time runs to the
    // preview's arrival (scripts/live-check --first-response times the
    // painted one on a real display). The main window is shown (again) after
    // the press too, so the dialog is found by its name, and its preview by
    // the signature of the dialog's own controls.
    const Line* shown = pressed != nullptr ? Find(*log, pressed->ms, "shown", "") : nullptr;
    while (shown != nullptr && shown->rest.find("\"name\":\"" + window + "\"") == std::string::npos)
      shown = FindAfter(*log, shown, "shown");
    const Line* loaded = nullptr;
    if (shown != nullptr) {
      // The window's controls are logged right after it.
      std::vector<std::string> sigs;
      for (auto l = log->begin() + (shown - log->data()) + 1; l != log->end() && l->kind == "ctl"; ++l)
        if (!Field(l->rest, "sig").empty()) sigs.push_back(Field(l->rest, "sig"));
      for (const Line& l : *log) {
        if (l.ms < pressed->ms || l.kind != "preview") continue;
        std::istringstream words(l.rest);
        std::string count, sig;
        words >> count >> sig;
        if (sigs.empty() || std::find(sigs.begin(), sigs.end(), sig) != sigs.end()) {
          loaded = &l;
          break;
        }
      }
    }
    if (loaded == nullptr) return state.SkipWithError("no preview in the dialog");
    state.SetIterationTime((loaded->ms - pressed->ms) / 1000.0);
  }
}
BENCHMARK_CAPTURE(ButtonToFirstPreview, noise, 103, "DeNoise")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, smoothing, 104, "Glimmerock")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, focus, 105, "Kevrantil")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, lens, 113, "Zondrac")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, fractal, 100, "OrrFract")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, gridwarp, 102, "Gridmain")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, border, 106, "CreaBord")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, editor, 114, "PinMain")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ButtonToFirstPreview, tools, 118, "ImaEff")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
