#include "snp_weighing.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "text_lines.hpp"

namespace {

enum class parallel_result {
  weighed,      // every SNP was weighed and written
  refused,      // the input was refused: the message is in `error`
  not_started,  // no thread could be started; nothing was read
};

// A worker's share of the text: the chunks of whole lines that one thread
// would read one by one, in buffers that go round between the reader and
// the jobs. The worker counts their lines, and numbers them once the jobs
// before are numbered: counting a VCF's kilobyte lines would cost the
// reading thread a tenth of its time. A message that names damage depends
// on the chunk a refused line came in.
struct job {
  struct chunk {
    text_chunk text;
    std::int64_t first_line = 0;
    std::int64_t last_line = 0;
    bool input_failed = false;  // whether the input had failed once it was read
  };

  std::vector<chunk> chunks;  // the first `used` hold the text
  std::size_t used = 0;
  std::size_t bytes = 0;
  std::size_t order = 0;  // its place among the jobs
  // What the worker made of it.
  std::vector<std::unique_ptr<output_part>> parts;  // one per output
  std::vector<chromosome_tally> chromosomes;
  std::uint64_t snps = 0;
  std::string error;  // a refused line's message
  std::int64_t refused_line = 0;
  bool done = false;

  void clear() {
    used = 0;
    bytes = 0;
    for (const auto& part : parts) {
      part->text.clear();
      part->numbers.clear();
    }
    chromosomes.clear();
    snps = 0;
    error.clear();
    refused_line = 0;
    done = false;
  }
  chunk& add() {
    if (used == chunks.size()) chunks.emplace_back();
    return chunks[used++];
  }
  const chunk& chunk_of(std::int64_t line) const {
    return *std::find_if(chunks.begin(), chunks.begin() + static_cast<std::ptrdiff_t>(used - 1),
                         [line](const chunk& c) { return c.last_line >= line; });
  }
};

// The calling thread reads; the workers weigh, and whichever finishes the
// next job in input order hands it, and the finished ones after it, to the
// outputs. So reading, the one part that cannot be shared (inflating a
// compressed file above all), has a thread to itself.
class parallel_run {
 public:
  parallel_run(snp_reader& snps, text_lines& lines, snp_weigher& weigher,
               const std::vector<std::unique_ptr<snp_output>>& outputs, const parallel_plan& plan)
      : snps_(snps), lines_(lines), weigher_(weigher), outputs_(outputs), plan_(plan) {}
  ~parallel_run() { stop(); }

  // Starts up to plan.workers workers: false when none could be.
  bool start();
  parallel_result run(std::string* error);

 private:
  void work(snp_weigher weigher, std::unique_ptr<snp_line_reader> reader);
  void weigh(job& j, snp_weigher& weigher, snp_line_reader& reader) const;
  // Numbers the lines of `j`, once those of the jobs before it are: false
  // when the run stops first.
  bool number(job& j);
  // Hands the finished jobs that come next in input order to the outputs.
  void take_finished();
  // Fills `j` with the next chunks: false when there are none.
  bool fill(job& j);
  void stop();

  snp_reader& snps_;
  text_lines& lines_;
  snp_weigher& weigher_;
  const std::vector<std::unique_ptr<snp_output>>& outputs_;
  parallel_plan plan_;
  std::vector<std::thread> threads_;
  std::vector<std::unique_ptr<job>> jobs_;  // a ring, in input order

  std::mutex mutex_;  // guards what follows
  std::condition_variable work_ready_, job_taken_, job_numbered_;
  std::deque<job*> queue_;
  std::size_t filled_ = 0, taken_ = 0;  // jobs so far
  std::size_t numbered_ = 0;            // jobs whose lines are numbered
  std::int64_t next_line_ = 1;          // the number of the first line of the next
  bool stopping_ = false;
  const job* refused_ = nullptr;  // the job whose line was refused

  std::mutex taking_;  // one worker at a time hands jobs to the outputs
  std::uint64_t answered_before_ = 0;
  // The reading, on the calling thread.
  std::optional<std::string> pending_;  // a first line read already, the first SNP
  bool read_ended_ = false;
};

bool parallel_run::start() {
  try {
    for (unsigned k = 0; k < plan_.workers; ++k)
      threads_.emplace_back(&parallel_run::work, this, weigher_.fresh(), snps_.line_reader());
  } catch (const std::system_error&) {
    // No more threads (a process limit, a small address space): those
    // started do the work.
  }
  return !threads_.empty();
}

void parallel_run::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  job_numbered_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void parallel_run::work(snp_weigher weigher, std::unique_ptr<snp_line_reader> reader) {
  for (;;) {
    job* j = nullptr;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      j = queue_.front();
      queue_.pop_front();
    }
    if (!number(*j)) return;
    weigh(*j, weigher, *reader);
    {
      std::lock_guard lock(mutex_);
      j->done = true;
    }
    take_finished();
  }
}

bool parallel_run::number(job& j) {
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

void parallel_run::weigh(job& j, snp_weigher& weigher, snp_line_reader& reader) const {
  genome_snp snp;
  std::string_view line;
  for (std::size_t c = 0; c < j.used && j.error.empty(); ++c) {
    chunk_lines lines(j.chunks[c].text.view(), j.chunks[c].first_line, snps_.path());
    while (lines.next(line, &j.error)) {
      const line_reading read = reader.read(line, lines.line_number(), snp, &j.error);
      if (read == line_reading::skipped) continue;
      if (read == line_reading::refused) break;
      const snp_answer& answer = weigher.answer(snp);
      for (std::size_t o = 0; o < outputs_.size(); ++o) outputs_[o]->write_part(snp, answer, *j.parts[o]);
      ++j.snps;
    }
    if (!j.error.empty()) j.refused_line = lines.line_number();
  }
  for (const auto& part : j.parts) part->writer.finish();
  j.chromosomes = weigher.take_chromosomes();
}

void parallel_run::take_finished() {
  std::lock_guard taking(taking_);
  for (;;) {
    job* next = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || taken_ == filled_ || !jobs_[taken_ % jobs_.size()]->done) return;
      next = jobs_[taken_ % jobs_.size()].get();
    }
    for (std::size_t o = 0; o < outputs_.size(); ++o) outputs_[o]->take_part(*next->parts[o]);
    weigher_.add_chromosomes(std::move(next->chromosomes), answered_before_);
    answered_before_ += next->snps;
    // Once taken, the job is the reader's to fill again: nothing of it is
    // read after that.
    const bool refused = !next->error.empty();
    {
      std::lock_guard lock(mutex_);
      ++taken_;
      // A refused line ends the run: no line after it is written.
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

bool parallel_run::fill(job& j) {
  if (pending_) {
    // The line read already, and the rest of the chunk it came in: the
    // chunk one thread reads it in.
    job::chunk& first = j.add();
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
    job::chunk& chunk = j.add();
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

parallel_result parallel_run::run(std::string* error) {
  // Numbering starts after the lines read already, or at a first line read
  // already that is the first SNP.
  pending_ = snps_.pending_line();
  next_line_ = lines_.line_number() + (pending_ ? 0 : 1);
  // Enough jobs that every worker has one while others wait their turn.
  jobs_.resize(threads_.size() + 2);
  for (auto& j : jobs_) {
    j = std::make_unique<job>();
    for (std::size_t o = 0; o < outputs_.size(); ++o) {
      // Grown by doubling, the text would touch twice the memory it holds,
      // and fresh memory costs a page fault per 4 KiB.
      j->parts.push_back(std::make_unique<output_part>());
      j->parts.back()->text.reserve(plan_.job_bytes + (std::size_t{64} << 10));
    }
  }
  for (;;) {
    job* j = nullptr;
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
  if (refused_ != nullptr) {
    *error = refused_->error;
    // As on one thread: a refused line of a damaged gzip file is named as
    // the damage it is, when the damage lies beyond the chunk it came in.
    const job::chunk& chunk = refused_->chunk_of(refused_->refused_line);
    if (!chunk.input_failed)
      if (std::string damage = lines_.damage_after(chunk.last_line); !damage.empty()) *error = damage;
    return parallel_result::refused;
  }
  if (lines_.failed()) {
    *error = lines_.failure_message(next_line_ - 1);
    return parallel_result::refused;
  }
  return parallel_result::weighed;
}

}  // namespace

bool weigh_snps(snp_reader& snps, snp_weigher& weigher,
                const std::vector<std::unique_ptr<snp_output>>& outputs, const parallel_plan& plan,
                std::string* error) {
  error->clear();
  text_lines* lines = snps.remaining_lines();
  if (plan.workers > 1 && lines != nullptr &&
      std::all_of(outputs.begin(), outputs.end(),
                  [](const auto& output) { return output->writes_parts(); })) {
    parallel_run run(snps, *lines, weigher, outputs, plan);
    if (run.start()) return run.run(error) == parallel_result::weighed;
  }
  genome_snp snp;
  while (snps.next(snp, error)) {
    const snp_answer& answer = weigher.answer(snp);
    for (const auto& output : outputs) output->write(snp, answer);
  }
  if (error->empty()) return true;
  // A refused line of a damaged gzip file is named as the damage it is.
  if (std::string damage = snps.damage_further_on(); !damage.empty()) *error = damage;
  return false;
}
