#include "snp_weighing.hpp"

#include <algorithm>

#include "line_pipeline.hpp"

namespace {

// A job's SNPs as the outputs and the weigher keep them.
struct snp_job : line_job {
  std::vector<std::unique_ptr<output_part>> parts;  // one per output
  std::vector<chromosome_tally> chromosomes;
  std::uint64_t snps = 0;

 private:
  void clear_results() override {
    for (const auto& part : parts) {
      part->text.clear();
      part->numbers.clear();
    }
    chromosomes.clear();
    snps = 0;
  }
};

// Each worker reads its lines with a line reader of its own, weighs them
// with a weigher of its own and writes the outputs' lines into the job's
// parts; the parts and tallies go to the outputs and the weigher in order.
class snp_weighing : public line_work {
 public:
  snp_weighing(snp_reader& snps, snp_weigher& weigher,
               const std::vector<std::unique_ptr<snp_output>>& outputs, const parallel_plan& plan)
      : snps_(snps), weigher_(weigher), outputs_(outputs), plan_(plan) {}

  std::unique_ptr<line_job> new_job() override {
    auto job = std::make_unique<snp_job>();
    for (std::size_t o = 0; o < outputs_.size(); ++o) {
      // Grown by doubling, the text would touch twice the memory it holds,
      // and fresh memory costs a page fault per 4 KiB.
      job->parts.push_back(std::make_unique<output_part>());
      job->parts.back()->text.reserve(plan_.job_bytes + (std::size_t{64} << 10));
    }
    return job;
  }

  std::unique_ptr<worker> new_worker() override {
    return std::make_unique<snp_worker>(*this, weigher_.fresh(), snps_.line_reader());
  }

  void take(line_job& job) override {
    auto& j = static_cast<snp_job&>(job);
    for (std::size_t o = 0; o < outputs_.size(); ++o) outputs_[o]->take_part(*j.parts[o]);
    weigher_.add_chromosomes(std::move(j.chromosomes), answered_before_);
    answered_before_ += j.snps;
  }

 private:
  class snp_worker : public worker {
   public:
    snp_worker(const snp_weighing& work, snp_weigher weigher, std::unique_ptr<snp_line_reader> reader)
        : work_(work), weigher_(std::move(weigher)), reader_(std::move(reader)) {}

    void process(line_job& job) override {
      auto& j = static_cast<snp_job&>(job);
      const auto& outputs = work_.outputs_;
      genome_snp snp;
      j.for_each_line(work_.snps_.path(),
                      [&](std::string_view line, std::int64_t number, std::string* error) {
                        const line_reading read = reader_->read(line, number, snp, error);
                        if (read == line_reading::refused) return false;
                        if (read == line_reading::skipped) return true;
                        const snp_answer& answer = weigher_.answer(snp);
                        for (std::size_t o = 0; o < outputs.size(); ++o)
                          outputs[o]->write_part(snp, answer, *j.parts[o]);
                        ++j.snps;
                        return true;
                      });
      for (const auto& part : j.parts) part->writer.finish();
      j.chromosomes = weigher_.take_chromosomes();
    }

   private:
    const snp_weighing& work_;
    snp_weigher weigher_;
    std::unique_ptr<snp_line_reader> reader_;
  };

  snp_reader& snps_;
  snp_weigher& weigher_;
  const std::vector<std::unique_ptr<snp_output>>& outputs_;
  parallel_plan plan_;
  std::uint64_t answered_before_ = 0;  // by the jobs taken
};

}  // namespace

bool weigh_snps(snp_reader& snps, snp_weigher& weigher,
                const std::vector<std::unique_ptr<snp_output>>& outputs, const parallel_plan& plan,
                std::string* error) {
  error->clear();
  text_lines* lines = snps.remaining_lines();
  if (plan.workers > 1 && lines != nullptr &&
      std::all_of(outputs.begin(), outputs.end(),
                  [](const auto& output) { return output->writes_parts(); })) {
    snp_weighing work(snps, weigher, outputs, plan);
    const pipeline_result result = run_line_pipeline(*lines, work, plan, snps.pending_line(), error);
    if (result != pipeline_result::not_started) return result == pipeline_result::done;
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
