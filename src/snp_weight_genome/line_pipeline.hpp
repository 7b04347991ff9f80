// The lines of a text input worked on several threads, with the results
// and messages of one. The calling thread reads the input in the chunks of
// whole lines that one thread reads it in, and hands them out a few at a
// time; each worker counts and numbers its lines once the jobs before are
// numbered, and works on them with state of its own; whichever worker
// finishes the next job in input order hands it on. So a refused line keeps
// its own number, damage is named as one thread names it, the reading
// thread does nothing but read (inflating a compressed file above all), and
// memory stays that of a few chunks in flight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text_lines.hpp"

// How the work is shared out.
struct parallel_plan {
  unsigned workers = 1;  // 1: all on the calling thread
  // The text a worker takes at a time: whole chunks, about this much.
  std::size_t job_bytes = std::size_t{1} << 20;
};

// A worker's share of the text, in buffers that go round between the
// reader and the jobs, and what the worker made of it (in a job type of
// the work's own).
struct line_job {
  struct chunk {
    text_chunk text;
    std::int64_t first_line = 0;
    std::int64_t last_line = 0;
    bool input_failed = false;  // whether the input had failed once it was read
  };

  line_job() = default;
  line_job(const line_job&) = delete;
  line_job& operator=(const line_job&) = delete;
  virtual ~line_job() = default;

  std::vector<chunk> chunks;  // the first `used` hold the text
  std::size_t used = 0;
  std::size_t bytes = 0;
  std::size_t order = 0;  // its place among the jobs
  std::string error;      // a refused line's message
  std::int64_t refused_line = 0;
  bool done = false;

  // Calls `each(line, number, &error)` for every line in order, until one
  // returns false with the message in `error` (or a line holds a NUL
  // byte): that line is the refused one.
  template <class Each>
  void for_each_line(std::string_view path, Each&& each) {
    std::string_view line;
    for (std::size_t c = 0; c < used && error.empty(); ++c) {
      chunk_lines lines(chunks[c].text.view(), chunks[c].first_line, path);
      while (lines.next(line, &error))
        if (!each(line, lines.line_number(), &error)) break;
      if (!error.empty()) refused_line = lines.line_number();
    }
  }

 private:
  friend class line_pipeline;
  void clear();
  chunk& add();
  const chunk& chunk_of(std::int64_t line) const;
  // Forgets what the worker made of the job, for the next.
  virtual void clear_results() {}
};

// What is done with the jobs.
class line_work {
 public:
  class worker {
   public:
    virtual ~worker() = default;
    // Works on the lines of `job` (with line_job::for_each_line).
    virtual void process(line_job& job) = 0;
  };

  virtual ~line_work() = default;
  // An empty job of the work's own type.
  virtual std::unique_ptr<line_job> new_job() = 0;
  // A worker's own state, made on the calling thread.
  virtual std::unique_ptr<worker> new_worker() = 0;
  // Hands on a job processed, in input order, one at a time: a refused
  // job's lines up to the refused one.
  virtual void take(line_job& job) = 0;
};

enum class pipeline_result {
  done,         // every line was worked on and taken
  refused,      // a line or the input was refused: the message is in `error`
  not_started,  // no thread could be started; nothing was read
};

// Works on the lines of `lines` not read yet on up to plan.workers threads
// (plan.workers > 1). `pending`: a line read already, given before the
// others as line lines.line_number().
pipeline_result run_line_pipeline(text_lines& lines, line_work& work, const parallel_plan& plan,
                                  std::optional<std::string> pending, std::string* error);
