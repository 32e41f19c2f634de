#include "wave/portaudio/LibraryChatter.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <thread>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace osciloskop {

namespace {

// How the libraries begin their lines.
constexpr std::string_view kChatterStarts[] = {
    "ALSA lib ",                 // alsa-lib's error reports
    "Expression '",              // PortAudio's trace of a failed call
    "PaAlsa",                    // PortAudio's ALSA host
    "PaJack",                    //
    "Jack",                      // libjack (JackShmReadWritePtr, JackSocketClientChannel...)
    "jack",                      //
    "Cannot connect to server",  // libjack, without a server
    "Cannot read socket",        // libjack, after the server died
    "Cannot write socket",       //
    "Cannot lock down",          // libjack, without memory locking rights
    "CheckRes error",            // libjack
    "Could not read result",     //
    "JACK server",               //
    "Cannot open",               // libjack's shared memory and server files
    "Cannot request",            //
    "Cannot create",             //
    "Cannot deallocate",         //
    "Cannot use real-time",      //
    "Cannot get",                //
    "Unknown request",           //
    "CheckSize error",           //
    "Can't",                     //
    "connect(2) call to",        // pulse client library, no server
    "pa_context_connect",        //
    "pcm_pulse",                 // the ALSA pulse plugin
    "bt_audio_service_open",     // the ALSA bluetooth plugin
};

class Filter {
 public:
  Filter() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    std::fflush(stderr);
    terminal_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (terminal_ < 0 || dup2(ends[1], STDERR_FILENO) < 0) {
      close(ends[0]);
      close(ends[1]);
      return;
    }
    close(ends[1]);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer's report may end the process before the thread forwards it.
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(terminal_)));
#endif
    reader_ = std::thread([this, from = ends[0]] { forward(from); });
  }

  // At exit: the standard error is the terminal again, the reader sees the pipe's end,
  // forwards what is left and stops.
  ~Filter() {
    if (!reader_.joinable()) return;
    std::fflush(stderr);
    dup2(terminal_, STDERR_FILENO);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The leak check runs after this, at the very end of the process.
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(STDERR_FILENO)));
#endif
    reader_.join();
    close(terminal_);
  }

 private:
  void forward(int from) {
    std::array<char, 4096> buffer;
    std::string line;
    ssize_t n;
    while ((n = read(from, buffer.data(), buffer.size())) != 0) {
      if (n < 0) continue;  // interrupted
      for (ssize_t i = 0; i < n; ++i) {
        line += buffer[static_cast<size_t>(i)];
        if (buffer[static_cast<size_t>(i)] == '\n') emit(line);
      }
    }
    emit(line);
    close(from);
  }

  void emit(std::string& line) {
    if (line.find_first_not_of(" \t\r\n") != std::string::npos && !isLibraryChatter(line)) {
      for (size_t done = 0; done < line.size();) {
        const ssize_t written = write(terminal_, line.data() + done, line.size() - done);
        if (written <= 0) break;
        done += static_cast<size_t>(written);
      }
    }
    line.clear();
  }

  int terminal_ = -1;
  std::thread reader_;
};

}  // namespace

bool isLibraryChatter(std::string_view line) {
  for (std::string_view start : kChatterStarts)
    if (line.starts_with(start)) return true;
  return false;
}

void filterLibraryChatter() {
  static Filter filter;
}

}  // namespace osciloskop
