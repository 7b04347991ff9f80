#include "line_pipeline.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

void line_job::clear() {
  used = 0;
  bytes = 0;
  error.clear();
  refused_line = 0;
  done = false;
  clear_results();
}

line_job::chunk& line_job::add() {
  if (used == chunks.size()) chunks.emplace_back();
  return chunks[used++];
}

const line_job::chunk& line_job::chunk_of(std::int64_t line) const {
  return *std::find_if(chunks.begin(), chunks.begin() + static_cast<std::ptrdiff_t>(used - 1),
                       [line](const chunk& c) { return c.last_line >= line; });
}

// The workers count the lines of their jobs, and number them once the jobs
// before are numbered: counting a VCF's kilobyte lines would cost the
// reading thread a tenth of its time. A message that names damage depends
// on the chunk a refused line came in.
class line_pipeline {
 public:
  line_pipeline(text_lines& lines, line_work& work, const parallel_plan& plan,
                std::optional<std::string> pending)
      : lines_(lines), work_(work), plan_(plan), pending_(std::move(pending)) {}
  ~line_pipeline() { stop(); }

  // Starts up to plan.workers workers: false when none could be.
  bool start();
  pipeline_result run(std::string* error);

 private:
  void work(std::unique_ptr<line_work::worker> worker);
  void work_on(line_work::worker& worker);
  // Numbers the lines of `j`, once those of the jobs before it are: false
  // when the run stops first.
  bool number(line_job& j);
  // Hands the finished jobs that come next in input order on.
  void take_finished();
  // Fills `j` with the next chunks: false when there are none.
  bool fill(line_job& j);
  void stop();

  text_lines& lines_;
  line_work& work_;
  parallel_plan plan_;
  std::vector<std::thread> threads_;
  std::vector<std::unique_ptr<line_job>> jobs_;  // a ring, in input order

  std::mutex mutex_;  // guards what follows
  std::condition_variable work_ready_, job_taken_, job_numbered_;
  std::deque<line_job*> queue_;
  std::size_t filled_ = 0, taken_ = 0;  // jobs so far
  std::size_t numbered_ = 0;            // jobs whose lines are numbered
  std::int64_t next_line_ = 1;          // the number of the first line of the next
  bool stopping_ = false;
  const line_job* refused_ = nullptr;  // the job whose line was refused
  std::exception_ptr thrown_;          // by a worker

  std::mutex taking_;  // one worker at a time hands jobs on
  // The reading, on the calling thread.
  std::optional<std::string> pending_;  // a line read already, the first to work on
  bool read_ended_ = false;
};

bool line_pipeline::start() {
  try {
    for (unsigned k = 0; k < plan_.workers; ++k)
      threads_.emplace_back(&line_pipeline::work, this, work_.new_worker());
  } catch (const std::system_error&) {
    // No more threads (a process limit, a small address space): those
    // started do the work.
  }
  return !threads_.empty();
}

void line_pipeline::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  job_numbered_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void line_pipeline::work(std::unique_ptr<line_work::worker> worker) {
  try {
    work_on(*worker);
  } catch (...) {
    // Out of memory, most likely: the run ends, and the calling thread
    // meets the exception as one thread would.
    {
      std::lock_guard lock(mutex_);
      if (!thrown_) thrown_ = std::current_exception();
      stopping_ = true;
    }
    work_ready_.notify_all();
    job_taken_.notify_all();
    job_numbered_.notify_all();
  }
}

void line_pipeline::work_on(line_work::worker& worker) {
  for (;;) {
    line_job* j = nullptr;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      j = queue_.front();
      queue_.pop_front();
    }
    if (!number(*j)) return;
    worker.process(*j);
    {
      std::lock_guard lock(mutex_);
      j->done = true;
    }
    take_finished();
  }
}

bool line_pipeline::number(line_job& j) {
  std::int64_t lines = 0;
  for (std::size_t c = 0; c < j.used; ++c) {
    const std::string_view text = j.chunks[c].text.view();
    // The input's last line may lack its line end.
    j.chunks[c].last_line = lines += count_line_ends(text) + (!text.empty() && text.back() != '\n');
  }
  std::unique_lock lock(mutex_);
  job_numbered_.wait(lock, [&] { return stopping_ || numbered_ == j.order; });
  if (stopping_) return false;
  for (std::size_t c = 0; c < j.used; ++c) {
    j.chunks[c].first_line = c == 0 ? next_line_ : j.chunks[c - 1].last_line + 1;
    j.chunks[c].last_line += next_line_ - 1;
  }
  next_line_ += lines;
  ++numbered_;
  lock.unlock();
  job_numbered_.notify_all();
  return true;
}

void line_pipeline::take_finished() {
  std::lock_guard taking(taking_);
  for (;;) {
    line_job* next = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || taken_ == filled_ || !jobs_[taken_ % jobs_.size()]->done) return;
      next = jobs_[taken_ % jobs_.size()].get();
    }
    work_.take(*next);
    // Once taken, the job is the reader's to fill again: nothing of it is
    // read after that.
    const bool refused = !next->error.empty();
    {
      std::lock_guard lock(mutex_);
      ++taken_;
      // A refused line ends the run: no line after it is taken.
      if (refused) {
        refused_ = next;
        stopping_ = true;
      }
    }
    job_taken_.notify_one();
    if (refused) {
      work_ready_.notify_all();
      return;
    }
  }
}

bool line_pipeline::fill(line_job& j) {
  if (pending_) {
    // The line read already, and the rest of the chunk it came in: the
    // chunk one thread reads it in.
    line_job::chunk& first = j.add();
    text_chunk& text = first.text;
    text.size = 0;
    text.reserve(pending_->size() + 1);
    std::memcpy(text.bytes.get(), pending_->data(), pending_->size());
    text.bytes[pending_->size()] = '\n';
    text.size = pending_->size() + 1;
    if (lines_.chunk_end() > lines_.line_number()) {
      text_chunk rest;
      lines_.take_chunk(rest);
      text.reserve(text.size + rest.size);
      std::memcpy(text.bytes.get() + text.size, rest.bytes.get(), rest.size);
      text.size += rest.size;
    }
    first.input_failed = lines_.failed();
    j.bytes += text.size;
    pending_.reset();
  }
  while (j.bytes < plan_.job_bytes && !read_ended_) {
    line_job::chunk& chunk = j.add();
    if (!lines_.take_chunk(chunk.text)) {
      --j.used;
      read_ended_ = true;
      break;
    }
    chunk.input_failed = lines_.failed();
    j.bytes += chunk.text.size;
  }
  return j.used > 0;
}

pipeline_result line_pipeline::run(std::string* error) {
  // Numbering starts after the lines read already, or at a line read
  // already that comes first.
  next_line_ = lines_.line_number() + (pending_ ? 0 : 1);
  // A job for every worker and two more: one being filled, one waiting its
  // turn to be taken. Each costs its memory's page faults once.
  jobs_.resize(threads_.size() + 2);
  for (auto& j : jobs_) j = work_.new_job();
  for (;;) {
    line_job* j = nullptr;
    {
      std::unique_lock lock(mutex_);
      job_taken_.wait(lock, [this] { return stopping_ || filled_ - taken_ < jobs_.size(); });
      if (stopping_) break;
      j = jobs_[filled_ % jobs_.size()].get();
    }
    // The job is free: no worker holds it, and no one takes it before it
    // is counted as filled.
    j->clear();
    j->order = filled_;
    if (!fill(*j)) break;
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(j);
      ++filled_;
    }
    work_ready_.notify_one();
  }
  {
    std::unique_lock lock(mutex_);
    job_taken_.wait(lock, [this] { return stopping_ || taken_ == filled_; });
  }
  stop();
  if (thrown_) std::rethrow_exception(thrown_);
  if (refused_ != nullptr) {
    *error = refused_->error;
    // As on one thread: a refused line of a damaged gzip file is named as
    // the damage it is, when the damage lies beyond the chunk it came in.
    const line_job::chunk& chunk = refused_->chunk_of(refused_->refused_line);
    if (!chunk.input_failed)
      if (std::string damage = lines_.damage_after(chunk.last_line); !damage.empty()) *error = damage;
    return pipeline_result::refused;
  }
  if (lines_.failed()) {
    *error = lines_.failure_message(next_line_ - 1);
    return pipeline_result::refused;
  }
  return pipeline_result::done;
}

pipeline_result run_line_pipeline(text_lines& lines, line_work& work, const parallel_plan& plan,
                                  std::optional<std::string> pending, std::string* error) {
  line_pipeline pipeline(lines, work, plan, std::move(pending));
  if (!pipeline.start()) return pipeline_result::not_started;
  return pipeline.run(error);
}
