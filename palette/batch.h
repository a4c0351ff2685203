// Batch conversion behind `zudizar --convert [--exact] --to FORMAT [--out DIR]
// IN...`: every picture file named or found in the folders named (walked
// recursively, picture files known by their first bytes) is converted as
// `--convert` converts one, by worker processes on all cores, each running
// the one-file conversion with its own shared palette.
//
// Paths are bytes throughout, as the file system gives them: a name that is
// not UTF-8 is converted and named as it is.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zudizar {

struct BatchOptions {
  bool exact = false;
  std::string extension;  // of the outputs, upper case with the full stop (".PNG")
  std::string outFolder;  // empty: each output beside its input
  bool force = false;     // existing outputs are replaced
  int workers = 0;        // 0: one per core
};

struct BatchItem {
  std::string path;
  std::string reason;
};

struct BatchJob {
  std::string in, out;
  std::uint64_t bytes = 0;
};

struct BatchPlan {
  std::vector<BatchJob> jobs;
  std::vector<BatchItem> skipped;  // with the reason
  std::uint64_t bytes = 0;         // of every job's input
};

// Finds the inputs and names their outputs. A folder's files keep their
// place below it under the output folder; an output name that another input
// of the batch would also get, or that is an input itself, takes the input's
// own extension too ("a.mag.png"), then a number ("a.mag-2.png"). Existing
// outputs are skipped unless `force`; named files that are no pictures, and
// inputs that do not exist, are skipped with the reason. False, with `error`,
// only when the options cannot work (no format that can be written).
bool PlanBatch(const std::vector<std::string>& inputs, const BatchOptions& options, BatchPlan& plan,
               std::string& error);

struct BatchResult {
  std::size_t converted = 0;
  std::vector<BatchItem> skipped;  // the plan's, then those never started when interrupted
  std::vector<BatchItem> failed;
  std::vector<std::string> warnings;
  bool interrupted = false;
};

// Set (from a signal handler) to stop starting new files: those in flight
// finish, the rest are skipped as interrupted.
extern volatile std::sig_atomic_t BatchStopRequested;

// Runs the plan, a progress line going to `progress` after each file
// ("123/4567 files, 12 MB/s, 00:42 left"): rewritten in place when
// `inPlace`, else one line per file, naming it. Workers take the files in
// order, each the next one left, without waiting for the batch. A worker
// that dies takes its file with it as failed, and another takes its place;
// its outputs are never left half written.
void RunBatch(const BatchPlan& plan, const BatchOptions& options, BatchResult& result, std::FILE* progress,
              bool inPlace);

// The summary: counts, then the skipped and failed files with their reasons.
void PrintBatchSummary(const BatchResult& result, std::FILE* out);

// The whole command: plans, runs with Ctrl+C stopping it, prints the summary
// on standard output. 0 when nothing failed (nor was interrupted).
int RunBatchCommand(const std::vector<std::string>& inputs, const BatchOptions& options, std::string& error);

}  // namespace zudizar
