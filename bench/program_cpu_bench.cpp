// What the running program costs while it shows a steady signal: the built program runs in
// real time, headless, for 30 s (PROGRAM_CPU_SECONDS overrides), with the default
// loopback tone, and the benchmark reports its share of one core ((user + system time) /
// wall time) and its voluntary context switches per second, the times it went to sleep and
// was woken. Once on the simulated card, and once through PortAudio into a private PulseAudio
// server with a null sink (scripts/pulse-fixture) when such a server can be started.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ChildUsage {
  bool exitedCleanly = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // user + system
  long voluntarySwitches = 0;
};

// Runs a program to its end with extra environment variables, its output discarded. The
// child keeps no descriptor but the standard ones: a server it starts must not hold, say, the
// build lock that the benchmark runs under.
ChildUsage runToEnd(const std::vector<std::string>& arguments,
                    const std::vector<std::pair<std::string, std::string>>& environment) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  ChildUsage usage;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    dup2(quiet, STDERR_FILENO);
    syscall(SYS_close_range, 3U, ~0U, 0U);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (child < 0) return usage;
  int status = 0;
  rusage resources{};
  if (wait4(child, &status, 0, &resources) != child) return usage;
  usage.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  usage.cpuSeconds = seconds(resources.ru_utime) + seconds(resources.ru_stime);
  usage.voluntarySwitches = resources.ru_nvcsw;
  usage.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return usage;
}

std::string runSeconds() {
  const char* seconds = std::getenv("PROGRAM_CPU_SECONDS");
  return seconds != nullptr ? seconds : "30";
}

// A private sound server for the PortAudio run, stopped and removed again at its end.
class PulseServer {
 public:
  PulseServer() : directory("/tmp/osciloskop-pulse-bench-" + std::to_string(getpid())) {
    running = runToEnd({script(), "start"}, {{"PULSE_FIXTURE_DIR", directory}}).exitedCleanly;
  }
  ~PulseServer() {
    runToEnd({script(), "stop"}, {{"PULSE_FIXTURE_DIR", directory}});
    std::filesystem::remove_all(directory);
  }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  bool Running() const { return running; }
  std::string Address() const { return "unix:" + directory + "/native"; }

 private:
  static std::string script() { return OSCILOSKOP_SOURCE_DIR "/scripts/pulse-fixture"; }
  std::string directory;
  bool running = false;
};

enum class Card { Simulated, PortAudioThroughPulse };

void BM_SteadySignal(benchmark::State& state, Card card) {
  // The headless run saves a screenshot at its end, as it would for a user.
  const std::string screenshot = "/tmp/osciloskop-cpu-bench-" + std::to_string(getpid()) + ".png";
  std::vector<std::string> arguments = {OSCILOSKOP_PROGRAM, "--headless",   "--seconds",
                                        runSeconds(),       "--screenshot", screenshot};
  std::vector<std::pair<std::string, std::string>> environment;
  std::unique_ptr<PulseServer> server;
  if (card == Card::Simulated) {
    arguments.insert(arguments.end(), {"--card", "simulated"});
  } else {
    server = std::make_unique<PulseServer>();
    if (!server->Running()) state.SkipWithError("no PulseAudio server could be started");
    arguments.insert(arguments.end(), {"--card", "portaudio"});
    environment.emplace_back("PULSE_SERVER", server->Address());
  }
  ChildUsage usage;
  for (auto _ : state) {
    usage = runToEnd(arguments, environment);
    state.SetIterationTime(usage.wallSeconds);
  }
  std::remove(screenshot.c_str());
  if (server && !server->Running()) return;
  if (!usage.exitedCleanly || usage.wallSeconds <= 0) {
    state.SkipWithError("the program did not run to its end");
    return;
  }
  state.counters["cpu_percent"] = 100 * usage.cpuSeconds / usage.wallSeconds;
  state.counters["wakeups_per_s"] =
      static_cast<double>(usage.voluntarySwitches) / usage.wallSeconds;
}

BENCHMARK_CAPTURE(BM_SteadySignal, simulated, Card::Simulated)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_SteadySignal, portaudio_pulse, Card::PortAudioThroughPulse)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
