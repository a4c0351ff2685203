#include "palette/batch.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "formats/dispatch.h"
#include "palette/convert.h"

namespace zudizar {

volatile std::sig_atomic_t BatchStopRequested = 0;

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

// ---- the pipe between the batch and its workers ----

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

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, bytes + done, size - done);
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

[[noreturn]] void WorkerLoop(const BatchPlan& plan, const BatchOptions& options, int commands, int answers) {
  // Ctrl+C reaches the whole process group: the worker finishes its file and
  // the batch decides what comes next.
  ::signal(SIGINT, SIG_IGN);
  std::uint32_t job;
  while (ReadAll(commands, &job, sizeof job)) {
    const BatchJob& j = plan.jobs[job];
    std::string error;
    std::vector<std::string> warnings;
    std::error_code ignored;
    fs::create_directories(fs::path(j.out).parent_path(), ignored);
    const int status = RunConvert(j.in, j.out, error, &warnings, options.exact);
    std::string answer;
    PutU32(answer, job);
    PutU32(answer, static_cast<std::uint32_t>(status));
    PutU32(answer, static_cast<std::uint32_t>(warnings.size()));
    for (const std::string& w : warnings) PutText(answer, w);
    PutText(answer, error);
    if (!WriteAll(answers, answer)) break;
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
  int commands = -1;  // the batch writes job numbers here
  int answers = -1;   // and reads answers here
  long job = -1;      // in flight
  std::string buffer;
};

}  // namespace

void RunBatch(const BatchPlan& plan, const BatchOptions& options, BatchResult& result, std::FILE* progress,
              bool inPlace) {
  result.skipped = plan.skipped;
  const std::size_t total = plan.jobs.size();
  if (total == 0) return;
  int count = options.workers > 0 ? options.workers : static_cast<int>(std::thread::hardware_concurrency());
  count = std::clamp<int>(count, 1, static_cast<int>(std::min<std::size_t>(total, 256)));
  std::fflush(nullptr);  // a worker must not write out the batch's buffered text again

  std::vector<Worker> workers;
  for (int i = 0; i < count; ++i) {
    int down[2], up[2];
    if (::pipe(down) != 0) break;
    if (::pipe(up) != 0) {
      ::close(down[0]);
      ::close(down[1]);
      break;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(down[1]);
      ::close(up[0]);
      for (const Worker& w : workers) {  // the other workers' ends are not this one's
        ::close(w.commands);
        ::close(w.answers);
      }
      WorkerLoop(plan, options, down[0], up[1]);
    }
    ::close(down[0]);
    ::close(up[1]);
    if (pid < 0) {
      ::close(down[1]);
      ::close(up[0]);
      break;
    }
    Worker w;
    w.pid = pid;
    w.commands = down[1];
    w.answers = up[0];
    workers.push_back(std::move(w));
  }
  if (workers.empty()) {
    for (const BatchJob& j : plan.jobs) result.failed.push_back({j.in, "no worker process could be started"});
    return;
  }

  const auto start = std::chrono::steady_clock::now();
  std::size_t next = 0, done = 0;
  std::uint64_t doneBytes = 0;
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
  const auto give = [&](Worker& w) {
    if (next < total && !BatchStopRequested) {
      const auto job = static_cast<std::uint32_t>(next);
      if (WriteAll(w.commands, std::string(reinterpret_cast<const char*>(&job), sizeof job))) {
        w.job = static_cast<long>(next++);
        return;
      }
    }
    // Nothing more for it: closing its pipe ends it.
    if (w.commands >= 0) ::close(w.commands);
    w.commands = -1;
    w.job = -1;
  };
  for (Worker& w : workers) give(w);

  for (;;) {
    std::vector<pollfd> fds;
    std::vector<Worker*> owners;
    for (Worker& w : workers)
      if (w.answers >= 0) {
        fds.push_back({w.answers, POLLIN, 0});
        owners.push_back(&w);
      }
    if (fds.empty()) break;
    const int ready = ::poll(fds.data(), fds.size(), 250);
    if (BatchStopRequested)
      for (Worker& w : workers)
        if (w.job < 0 && w.commands >= 0) give(w);  // idle ones end at once
    if (ready <= 0) continue;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      Worker& w = *owners[i];
      char chunk[4096];
      const ssize_t n = ::read(w.answers, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // The worker is gone; the file it had, if any, failed with it.
        ::close(w.answers);
        w.answers = -1;
        if (w.commands >= 0) ::close(w.commands);
        w.commands = -1;
        int status = 0;
        ::waitpid(w.pid, &status, 0);
        w.pid = -1;
        if (w.job >= 0) {
          const BatchJob& j = plan.jobs[static_cast<std::size_t>(w.job)];
          const std::string how = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                                      : "status " + std::to_string(WEXITSTATUS(status));
          result.failed.push_back({j.in, "the conversion stopped unexpectedly (" + how + ")"});
          ++done;
          doneBytes += j.bytes;
          w.job = -1;
          report(j.in);
        }
        continue;
      }
      w.buffer.append(chunk, static_cast<std::size_t>(n));
      Answer answer;
      while (TakeAnswer(w.buffer, answer)) {
        const BatchJob& j = plan.jobs[answer.job];
        if (answer.ok)
          ++result.converted;
        else if (answer.error.compare(0, j.in.size() + 2, j.in + ": ") == 0)
          result.failed.push_back({j.in, answer.error.substr(j.in.size() + 2)});  // named once
        else
          result.failed.push_back({j.in, answer.error});
        for (std::string& warning : answer.warnings) result.warnings.push_back(std::move(warning));
        ++done;
        doneBytes += j.bytes;
        report(j.in);
        give(w);
      }
    }
  }
  for (Worker& w : workers) {
    if (w.commands >= 0) ::close(w.commands);
    if (w.pid > 0) ::waitpid(w.pid, nullptr, 0);
  }
  if (progress && inPlace) std::fputc('\n', progress);
  if (next < total) {
    result.interrupted = true;
    for (std::size_t i = next; i < total; ++i) result.skipped.push_back({plan.jobs[i].in, "not started (interrupted)"});
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
void RequestStop(int) { BatchStopRequested = 1; }
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
