// kestrane render IN... --out-dir DIR: one child process per file, as many at once as there
// are processors. A process per file rather than a thread: the plug-in host keeps one host per
// process (its callback carries no user pointer), and a file that brings its process down takes
// only itself along.
//
// A long single file is not split into blocks rendered in parallel: the crossover's history,
// the envelopes, the gain smoothers and the lookahead carry state from every sample into the
// next, so a block started anywhere but at the beginning would not produce the bits the one
// pass produces, however long a warm-up it were given.
#include "Batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Commands.h"

namespace kestrane::cli {
namespace {

constexpr const char* kTool = "kestrane render";

// In a child rendering one file of a batch: where its progress goes (one byte per percent).
int progressPipe = -1;

// The signal that interrupted the batch (Ctrl-C, a terminal closed, kill), 0 while none has.
volatile sig_atomic_t interruption = 0;
void noteInterruption(int signal) { interruption = signal; }
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

std::string baseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string& dir, const std::string& name) {
  return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The whole of a captured stream, from its start.
void copyCaptured(std::FILE* from, std::FILE* to) {
  std::rewind(from);
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, from)) > 0) std::fwrite(buffer, 1, n, to);
  std::fflush(to);
}

// Removes what a render into `output` may have left when its process stopped before cleaning
// up: the temporary files it writes beside the output (".NAME.kestrane-XXXXXX").
void removeLeftovers(const std::string& outDir, const std::string& output) {
  const std::string prefix = "." + baseName(output) + ".kestrane-";
  DIR* dir = opendir(outDir.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
      std::remove(joinPath(outDir, entry->d_name).c_str());
    }
  }
  closedir(dir);
}

struct Job {
  std::string input, output;
  std::FILE* out = nullptr;  // the child's stdout and stderr, captured
  std::FILE* err = nullptr;
  int progress = -1;         // read end of the child's progress pipe
  pid_t pid = -1;
  int percent = 0;
  bool finished = false;
  int exitCode = kExitFailure;
  std::string stopped;       // why the process ended abnormally, if it did
};

// The batch's progress line on a terminal: the files' percentages averaged.
class BatchLine {
 public:
  BatchLine(std::size_t files, bool show) : files_(files), show_(show) {}
  void draw(const std::vector<Job>& jobs, std::size_t done) {
    if (!show_) return;
    int sum = 0;
    for (const Job& job : jobs) sum += job.finished ? 100 : job.percent;
    const int percent = static_cast<int>(sum / static_cast<int>(std::max<std::size_t>(files_, 1)));
    if (percent == shownPercent_ && done == shownDone_) return;
    shownPercent_ = percent;
    shownDone_ = done;
    const int width = 40, filled = percent * width / 100;
    std::fprintf(stderr, "\rrendering %zu files [%s%s] %3d%%, %zu done", files_,
                 std::string(filled, '=').c_str(), std::string(width - filled, ' ').c_str(),
                 percent, done);
    std::fflush(stderr);
    drawn_ = true;
  }
  // Takes the line away so that other text can be printed; the next draw puts it back.
  void clear() {
    if (!show_ || !drawn_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
    shownPercent_ = -1;
  }

 private:
  std::size_t files_;
  bool show_;
  bool drawn_ = false;
  int shownPercent_ = -1;
  std::size_t shownDone_ = 0;
};

// Starts the child that renders `job`. Answers false when no process could be made.
bool start(Job& job, const std::vector<Job>& jobs, const RenderOne& renderOne) {
  job.out = std::tmpfile();
  job.err = std::tmpfile();
  int pipeEnds[2];
  if (!job.out || !job.err || pipe(pipeEnds) != 0) return false;
  std::fflush(stdout);
  std::fflush(stderr);
  job.pid = fork();
  if (job.pid < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return false;
  }
  if (job.pid == 0) {
    // The child: its output into the captures, its progress into the pipe, nothing of the
    // other children's pipes.
    for (const Job& other : jobs) {
      if (other.progress >= 0) close(other.progress);
    }
    close(pipeEnds[0]);
    for (int signal : kInterruptions) std::signal(signal, SIG_DFL);
    progressPipe = pipeEnds[1];
    dup2(fileno(job.out), 1);
    dup2(fileno(job.err), 2);
    const int code = renderOne(job.input, job.output);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
  }
  close(pipeEnds[1]);
  job.progress = pipeEnds[0];
  fcntl(job.progress, F_SETFL, fcntl(job.progress, F_GETFL) | O_NONBLOCK);
  return true;
}

// Reads what the running children said of their progress, waiting up to `wait` ms for some.
void readProgress(std::vector<Job>& jobs, int wait) {
  std::vector<pollfd> fds;
  std::vector<Job*> owners;
  for (Job& job : jobs) {
    if (job.progress < 0) continue;
    fds.push_back({job.progress, POLLIN, 0});
    owners.push_back(&job);
  }
  if (fds.empty() || poll(fds.data(), fds.size(), wait) <= 0) return;
  for (std::size_t k = 0; k < fds.size(); ++k) {
    unsigned char bytes[256];
    ssize_t n;
    while ((n = read(fds[k].fd, bytes, sizeof bytes)) > 0) owners[k]->percent = bytes[n - 1];
  }
}

// Collects the children that ended; answers how many did.
int reap(std::vector<Job>& jobs) {
  int ended = 0;
  for (Job& job : jobs) {
    if (job.pid <= 0 || job.finished) continue;
    int status = 0;
    const pid_t got = waitpid(job.pid, &status, WNOHANG);
    if (got == 0 || (got < 0 && errno == EINTR)) continue;
    job.finished = true;
    ++ended;
    if (got > 0 && WIFEXITED(status)) {
      job.exitCode = WEXITSTATUS(status);
    } else {
      job.exitCode = kExitFailure;
      job.stopped = got > 0 && WIFSIGNALED(status)
                        ? std::string("its process stopped on signal ") +
                              std::to_string(WTERMSIG(status)) + " (" +
                              strsignal(WTERMSIG(status)) + ")"
                        : "its process was lost";
    }
    close(job.progress);
    job.progress = -1;
  }
  return ended;
}

}  // namespace

void reportBatchProgress(int percent) {
  if (progressPipe < 0) return;
  const unsigned char byte = static_cast<unsigned char>(std::clamp(percent, 0, 100));
  // A full pipe only means the parent has not read the last few: skipping one loses nothing.
  [[maybe_unused]] const ssize_t written = write(progressPipe, &byte, 1);
}

int renderBatch(const std::vector<std::string>& inputs, const std::string& outDir, int jobs,
                const RenderOne& renderOne) {
  struct stat st {};
  if (stat(outDir.c_str(), &st) != 0) {
    if (mkdir(outDir.c_str(), 0777) != 0) {
      std::fprintf(stderr, "%s: cannot create the folder '%s': %s\n", kTool, outDir.c_str(),
                   std::strerror(errno));
      return kExitFailure;
    }
  } else if (!S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "%s: '%s' is not a folder\n", kTool, outDir.c_str());
    return kExitFailure;
  }

  std::vector<Job> batch(inputs.size());
  std::map<std::string, std::string> taken;  // output name -> the input that writes it
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    batch[k].input = inputs[k];
    batch[k].output = joinPath(outDir, baseName(inputs[k]));
    const auto [at, fresh] = taken.emplace(baseName(inputs[k]), inputs[k]);
    if (!fresh) {
      std::fprintf(stderr, "%s: '%s' and '%s' would both be written to '%s'; nothing rendered\n",
                   kTool, at->second.c_str(), inputs[k].c_str(), batch[k].output.c_str());
      return kExitFailure;
    }
  }

  if (jobs <= 0) jobs = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
  // An interruption stops the children, removes what they were writing, then ends the batch
  // as the signal would have.
  for (int signal : kInterruptions) std::signal(signal, noteInterruption);
  BatchLine line(batch.size(), isatty(2));
  std::size_t next = 0, printed = 0, running = 0, done = 0;
  std::vector<std::string> failed;
  while (printed < batch.size()) {
    if (interruption != 0) {
      line.clear();
      for (Job& job : batch) {
        if (job.pid <= 0 || job.finished) continue;
        kill(job.pid, SIGTERM);
        waitpid(job.pid, nullptr, 0);
        removeLeftovers(outDir, job.output);
      }
      std::fprintf(stderr, "%s: interrupted; the files not yet complete are not in %s\n", kTool,
                   outDir.c_str());
      const int signal = interruption;
      std::signal(signal, SIG_DFL);
      raise(signal);
      return kExitFailure;
    }
    while (running < static_cast<std::size_t>(jobs) && next < batch.size()) {
      Job& job = batch[next++];
      if (start(job, batch, renderOne)) {
        ++running;
      } else {
        job.finished = true;
        job.stopped = std::string("no process to render it: ") + std::strerror(errno);
        ++done;
      }
    }
    readProgress(batch, 100);
    const int ended = reap(batch);
    running -= static_cast<std::size_t>(ended);
    done += static_cast<std::size_t>(ended);
    // The finished files' reports, in the inputs' order.
    bool cleared = false;
    while (printed < next && batch[printed].finished) {
      Job& job = batch[printed++];
      if (!cleared) line.clear();
      cleared = true;
      if (job.out) copyCaptured(job.out, stdout);
      if (job.err) copyCaptured(job.err, stderr);
      if (job.exitCode != kExitOk) {
        removeLeftovers(outDir, job.output);
        std::fprintf(stderr, "%s: failed: %s%s%s\n", kTool, job.input.c_str(),
                     job.stopped.empty() ? "" : ": ", job.stopped.c_str());
        failed.push_back(job.input);
      }
      for (std::FILE* f : {job.out, job.err}) {
        if (f) std::fclose(f);
      }
      job.out = job.err = nullptr;
    }
    line.draw(batch, done);
  }
  line.clear();
  for (int signal : kInterruptions) std::signal(signal, SIG_DFL);

  std::printf("Batch      %zu of %zu files rendered into %s\n", batch.size() - failed.size(),
              batch.size(), outDir.c_str());
  if (!failed.empty()) {
    std::printf("Failed    ");
    for (const std::string& name : failed) std::printf(" %s", name.c_str());
    std::printf("\n");
  }
  return failed.empty() ? kExitOk : kExitFailure;
}

}  // namespace kestrane::cli
