#include "palette/batch.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <thread>

#include "formats/dispatch.h"
#include "palette/convert.h"

namespace zudizar {

volatile std::sig_atomic_t BatchStopRequested = 0;

namespace {
// The running batch's stop on the board its workers read, for Ctrl+C to set
// at once; null between batches.
std::atomic<std::atomic<std::uint32_t>*> RunningStop{nullptr};
static_assert(std::atomic<std::atomic<std::uint32_t>*>::is_always_lock_free);
}  // namespace

namespace fs = std::filesystem;

namespace {

bool IsPictureFile(const fs::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::uint8_t first[kSignatureBytes] = {};
  const std::size_t got = std::fread(first, 1, sizeof first, file);
  std::fclose(file);
  PictureFormat format;
  return FormatBySignature(std::span<const std::uint8_t>(first, got), format);
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The key two spellings of one path share.
std::string Key(const fs::path& path) {
  std::error_code ignored;
  return fs::absolute(path, ignored).lexically_normal().native();
}

struct Found {
  fs::path in;
  fs::path folder;  // where its output goes
};

}  // namespace

bool PlanBatch(const std::vector<std::string>& inputs, const BatchOptions& options, BatchPlan& plan,
               std::string& error) {
  plan = {};
  if (!WritableExtension("x" + options.extension)) {
    error = "--to " + options.extension + ": cannot write this format; supported:";
    for (const char* supported : kConvertExtensions) error += std::string(" ") + (supported + 1);
    return false;
  }
  const std::string extension = Lower(options.extension);
  const fs::path out(options.outFolder);
  std::vector<Found> found;
  for (const std::string& input : inputs) {
    const fs::path in(input);
    std::error_code failed;
    const auto status = fs::status(in, failed);
    if (fs::is_directory(status)) {
      std::vector<fs::path> files;
      fs::recursive_directory_iterator walk(in, fs::directory_options::skip_permission_denied, failed);
      if (failed) {
        plan.skipped.push_back({input, "cannot be read: " + failed.message()});
        continue;
      }
      for (const fs::recursive_directory_iterator end; walk != end; walk.increment(failed)) {
        if (failed) break;
        std::error_code ignored;
        if (walk->is_regular_file(ignored)) files.push_back(walk->path());
      }
      if (failed) plan.skipped.push_back({input, "not every file could be listed: " + failed.message()});
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files) {
        if (!IsPictureFile(file)) continue;  // folders hold other files too
        const fs::path below = file.lexically_relative(in).parent_path();
        found.push_back({file, options.outFolder.empty() ? file.parent_path() : out / below});
      }
    } else if (fs::is_regular_file(status)) {
      if (!IsPictureFile(in)) {
        plan.skipped.push_back({input, "not a picture file"});
        continue;
      }
      found.push_back({in, options.outFolder.empty() ? in.parent_path() : out});
    } else {
      plan.skipped.push_back({input, fs::exists(status) ? "not a regular file" : "no such file"});
    }
  }

  // No output may be an input, nor another input's output.
  std::set<std::string> taken;
  for (const Found& f : found) taken.insert(Key(f.in));
  for (const Found& f : found) {
    const std::string name = f.in.filename().native();
    const std::string stem = f.in.stem().native();
    fs::path target = f.folder / (stem + extension);
    for (int n = 1; taken.count(Key(target)); ++n)
      target = f.folder / (n == 1 ? name + extension : name + "-" + std::to_string(n) + extension);
    taken.insert(Key(target));
    std::error_code failed;
    if (!options.force && fs::exists(fs::symlink_status(target, failed))) {
      plan.skipped.push_back({f.in.native(), target.native() + " exists (--force replaces it)"});
      continue;
    }
    const std::uint64_t bytes = fs::file_size(f.in, failed);
    plan.jobs.push_back({f.in.native(), target.native(), failed ? 0 : bytes});
    plan.bytes += plan.jobs.back().bytes;
  }
  return true;
}

namespace {

// At most this many workers.
constexpr std::size_t kMaxWorkers = 256;

// ---- the pipe from the workers to the batch ----

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutText(std::string& out, const std::string& text) {
  PutU32(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}

// A worker's answer: job index, status, warnings, error.
struct Answer {
  std::uint32_t job = 0;
  bool ok = false;
  std::vector<std::string> warnings;
  std::string error;
};

// Takes one whole answer off the front of `buffer`; false when it holds none yet.
bool TakeAnswer(std::string& buffer, Answer& answer) {
  std::size_t at = 0;
  const auto u32 = [&](std::uint32_t& v) {
    if (buffer.size() - at < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(buffer[at + i])) << (8 * i);
    at += 4;
    return true;
  };
  const auto text = [&](std::string& t) {
    std::uint32_t n;
    if (!u32(n) || buffer.size() - at < n) return false;
    t.assign(buffer, at, n);
    at += n;
    return true;
  };
  std::uint32_t status, count;
  if (!u32(answer.job) || !u32(status) || !u32(count)) return false;
  answer.warnings.assign(count, {});
  for (std::string& w : answer.warnings)
    if (!text(w)) return false;
  if (!text(answer.error)) return false;
  answer.ok = status == 0;
  buffer.erase(0, at);
  return true;
}

// What the batch and its workers share, in memory mapped before the workers
// are made: workers take the next job themselves, so none waits for the
// batch between files, and Ctrl+C reaches them without a message.
struct Board {
  std::atomic<std::uint32_t> next{0};              // the next job to take (past the end: none left)
  std::atomic<std::uint32_t> stop{0};              // take no more
  std::atomic<std::int64_t> current[kMaxWorkers];  // the job each worker converts, -1 none
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free && std::atomic<std::int64_t>::is_always_lock_free,
              "the board is shared between processes");

[[noreturn]] void WorkerLoop(const BatchPlan& plan, const BatchOptions& options, Board& board, int slot, int answers) {
  std::string madeFolder;  // created already: files of one folder come one after another
  KeepPaletteStart();
  for (;;) {
    if (board.stop.load()) break;
    const std::uint32_t job = board.next.fetch_add(1);
    if (job >= plan.jobs.size()) break;
    board.current[slot].store(job);
    const BatchJob& j = plan.jobs[job];
    std::string error;
    std::vector<std::string> warnings;
    const std::string folder = fs::path(j.out).parent_path().native();
    if (folder != madeFolder) {
      std::error_code ignored;
      fs::create_directories(folder, ignored);
      madeFolder = folder;
    }
    const int status = RunConvert(j.in, j.out, error, &warnings, options.exact);
    std::string answer;
    PutU32(answer, job);
    PutU32(answer, static_cast<std::uint32_t>(status));
    PutU32(answer, static_cast<std::uint32_t>(warnings.size()));
    for (const std::string& w : warnings) PutText(answer, w);
    PutText(answer, error);
    if (!WriteAll(answers, answer)) break;
    board.current[slot].store(-1);
  }
  std::fflush(nullptr);
  ::_exit(0);
}

std::string Duration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%02ld:%02ld", s / 60, s % 60);
  return text;
}

struct Worker {
  pid_t pid = -1;
  int answers = -1;  // the batch reads its answers here
  std::string buffer;
};

// Makes the worker of `slot`; false when no process or pipe can be had.
bool StartWorker(const BatchPlan& plan, const BatchOptions& options, Board& board, std::vector<Worker>& workers,
                 std::size_t slot) {
  int up[2];
  if (::pipe(up) != 0) return false;
  board.current[slot].store(-1);
  // Ctrl+C is for the batch alone: held back until the worker ignores it,
  // so that a worker is never ended by it while it starts.
  sigset_t interrupt, previous;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  ::sigprocmask(SIG_BLOCK, &interrupt, &previous);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The worker finishes its file whatever Ctrl+C does; the batch decides
    // what comes next.
    ::signal(SIGINT, SIG_IGN);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    ::close(up[0]);
    for (const Worker& w : workers)  // the other workers' pipes are not this one's
      if (w.answers >= 0) ::close(w.answers);
    WorkerLoop(plan, options, board, static_cast<int>(slot), up[1]);
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  ::close(up[1]);
  if (pid < 0) {
    ::close(up[0]);
    return false;
  }
  workers[slot].pid = pid;
  workers[slot].answers = up[0];
  workers[slot].buffer.clear();
  return true;
}

}  // namespace

void RunBatch(const BatchPlan& plan, const BatchOptions& options, BatchResult& result, std::FILE* progress,
              bool inPlace) {
  result.skipped = plan.skipped;
  const std::size_t total = plan.jobs.size();
  if (total == 0) return;
  int count = options.workers > 0 ? options.workers : static_cast<int>(std::thread::hardware_concurrency());
  count = std::clamp<int>(count, 1, static_cast<int>(std::min<std::size_t>(total, kMaxWorkers)));
  std::fflush(nullptr);  // a worker must not write out the batch's buffered text again

  void* mapped = ::mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) {
    for (const BatchJob& j : plan.jobs) result.failed.push_back({j.in, "no worker process could be started"});
    return;
  }
  Board& board = *new (mapped) Board;
  RunningStop.store(&board.stop);
  if (BatchStopRequested) board.stop.store(1);
  std::vector<Worker> workers(static_cast<std::size_t>(count));
  for (std::size_t slot = 0; slot < workers.size(); ++slot)
    if (!StartWorker(plan, options, board, workers, slot)) break;

  const auto start = std::chrono::steady_clock::now();
  std::size_t done = 0;
  std::uint64_t doneBytes = 0;
  std::vector<bool> answered(total, false);
  const auto report = [&](const std::string& name) {
    if (!progress) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = seconds > 0 ? static_cast<double>(doneBytes) / seconds : 0;
    char speed[32];
    const double mb = rate / 1e6;
    std::snprintf(speed, sizeof speed, mb >= 10 ? "%.0f" : "%.1f", mb);
    const std::string left =
        rate > 0 ? Duration(static_cast<double>(plan.bytes - doneBytes) / rate) : std::string("--:--");
    if (inPlace)
      std::fprintf(progress, "\r%zu/%zu files, %s MB/s, %s left\x1b[K", done, total, speed, left.c_str());
    else
      std::fprintf(progress, "%zu/%zu files, %s MB/s, %s left  %s\n", done, total, speed, left.c_str(), name.c_str());
    std::fflush(progress);
  };
  const auto settle = [&](std::size_t job, BatchItem* failure) {
    answered[job] = true;
    if (failure) result.failed.push_back(std::move(*failure));
    ++done;
    doneBytes += plan.jobs[job].bytes;
    report(plan.jobs[job].in);
    if (BatchStopRequested) board.stop.store(1);
  };

  std::vector<pollfd> fds;
  std::vector<std::size_t> owners;
  for (;;) {
    if (BatchStopRequested) board.stop.store(1);
    fds.clear();
    owners.clear();
    for (std::size_t slot = 0; slot < workers.size(); ++slot)
      if (workers[slot].answers >= 0) {
        fds.push_back({workers[slot].answers, POLLIN, 0});
        owners.push_back(slot);
      }
    if (fds.empty()) break;
    // Ctrl+C ends the wait at once (the handler does not restart it).
    const int ready = ::poll(fds.data(), fds.size(), 1000);
    if (ready <= 0) continue;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      const std::size_t slot = owners[i];
      Worker& w = workers[slot];
      char chunk[4096];
      const ssize_t n = ::read(w.answers, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        w.buffer.append(chunk, static_cast<std::size_t>(n));
        Answer answer;
        while (TakeAnswer(w.buffer, answer)) {
          if (answer.job >= total || answered[answer.job]) continue;
          const BatchJob& j = plan.jobs[answer.job];
          for (std::string& warning : answer.warnings) result.warnings.push_back(std::move(warning));
          if (answer.ok) {
            ++result.converted;
            settle(answer.job, nullptr);
          } else {
            const bool named = answer.error.compare(0, j.in.size() + 2, j.in + ": ") == 0;
            BatchItem failure{j.in, named ? answer.error.substr(j.in.size() + 2) : answer.error};  // named once
            settle(answer.job, &failure);
          }
        }
        continue;
      }
      // The worker is gone: done, or ended by something else, taking the
      // file it had with it as failed.
      ::close(w.answers);
      w.answers = -1;
      int status = 0;
      ::waitpid(w.pid, &status, 0);
      w.pid = -1;
      const std::int64_t job = board.current[slot].load();
      const bool unexpected = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
      if (job >= 0 && static_cast<std::size_t>(job) < total && !answered[static_cast<std::size_t>(job)]) {
        const std::string how = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                                    : "status " + std::to_string(WEXITSTATUS(status));
        BatchItem failure{plan.jobs[static_cast<std::size_t>(job)].in,
                          "the conversion stopped unexpectedly (" + how + ")"};
        settle(static_cast<std::size_t>(job), &failure);
      }
      // Another takes its place while files are left, so that one file that
      // ends its worker costs only itself.
      if (unexpected && !board.stop.load() && board.next.load() < total)
        StartWorker(plan, options, board, workers, slot);
    }
  }
  if (progress && inPlace) std::fputc('\n', progress);
  // Jobs taken by a worker that ended before it could say which; the rest
  // were never started.
  const std::size_t taken = std::min<std::size_t>(board.next.load(), total);
  for (std::size_t job = 0; job < taken; ++job)
    if (!answered[job]) {
      BatchItem failure{plan.jobs[job].in, "the conversion stopped unexpectedly"};
      settle(job, &failure);
    }
  const bool stopped = board.stop.load() != 0;
  RunningStop.store(nullptr);
  board.~Board();
  ::munmap(mapped, sizeof(Board));
  if (taken < total) {
    if (stopped) {
      result.interrupted = true;
      for (std::size_t i = taken; i < total; ++i)
        result.skipped.push_back({plan.jobs[i].in, "not started (interrupted)"});
    } else {
      for (std::size_t i = taken; i < total; ++i)
        result.failed.push_back({plan.jobs[i].in, "no worker process could be started"});
    }
  }
}

void PrintBatchSummary(const BatchResult& result, std::FILE* out) {
  for (const std::string& warning : result.warnings) std::fprintf(out, "warning: %s\n", warning.c_str());
  std::fprintf(out, "converted: %zu\n", result.converted);
  std::fprintf(out, "skipped: %zu\n", result.skipped.size());
  for (const BatchItem& item : result.skipped) std::fprintf(out, "  %s: %s\n", item.path.c_str(), item.reason.c_str());
  std::fprintf(out, "failed: %zu\n", result.failed.size());
  for (const BatchItem& item : result.failed) std::fprintf(out, "  %s: %s\n", item.path.c_str(), item.reason.c_str());
  if (result.interrupted) std::fprintf(out, "interrupted: files not started are listed as skipped\n");
}

namespace {
void RequestStop(int) {
  BatchStopRequested = 1;
  if (std::atomic<std::uint32_t>* stop = RunningStop.load()) stop->store(1);
}
}  // namespace

int RunBatchCommand(const std::vector<std::string>& inputs, const BatchOptions& options, std::string& error) {
  BatchPlan plan;
  if (!PlanBatch(inputs, options, plan, error)) return 1;
  BatchStopRequested = 0;
  struct sigaction stop {
  }, previous{};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  ::sigaction(SIGINT, &stop, &previous);
  BatchResult result;
  RunBatch(plan, options, result, stderr, ::isatty(STDERR_FILENO) == 1);
  ::sigaction(SIGINT, &previous, nullptr);
  PrintBatchSummary(result, stdout);
  std::fflush(stdout);
  if (!result.failed.empty()) {
    error = std::to_string(result.failed.size()) + " of " + std::to_string(plan.jobs.size()) + " files failed";
    return 1;
  }
  if (result.interrupted) {
    error = "interrupted";
    return 130;
  }
  return 0;
}

}  // namespace zudizar
