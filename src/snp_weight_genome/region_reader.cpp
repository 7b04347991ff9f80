#include "region_reader.hpp"

#include <algorithm>
#include <array>

#include "fields.hpp"
#include "line_pipeline.hpp"
#include "messages.hpp"
#include "text_lines.hpp"

namespace {

// The feature types of the lines that fed no class, in the order first seen.
struct feature_types {
  std::vector<std::string> seen;
  void add(std::string_view type) {
    if (seen.size() < 32 && std::find(seen.begin(), seen.end(), type) == seen.end()) seen.emplace_back(type);
  }
  std::string list() const {
    std::string text;
    for (const auto& type : seen) text += (text.empty() ? "" : ", ") + type;
    return text;
  }
};

// One line of a region file, in its columns.
struct region_line {
  std::array<std::string_view, 12> fields;
  std::size_t count = 0;
  std::string_view chromosome, start_text, end_text, name;
  char strand = '.';
};

// A BED12 block, as the line gives it: relative to its start.
struct region_block {
  std::int64_t start;
  std::int64_t size;
};

// What a line of a region file says, read apart from every other line (on
// any thread): what adding it to the index needs. Its views are into the
// line.
struct read_line {
  enum { region, skipped, unfed, sequence_region } kind = skipped;
  std::string_view chromosome, name;
  std::string_view text;            // unfed: the feature type; sequence_region: the line
  std::int64_t start = 0, end = 0;  // as written (BED: from 0)
  char strand = '.';
  std::uint64_t classes = 0;  // of how.classes, the ones it feeds
  // With --split, a BED12 line's blocks, from `blocks_begin` in the list
  // they were read into; none: the line is one region.
  std::uint32_t blocks_begin = 0, block_count = 0;
};

// Reads the lines of a region file, each apart from the others.
class region_parser {
 public:
  explicit region_parser(const region_reading& how) : how_(how) {
    bed_ = how.format == region_format::bed;
    gff3_ = how.format == region_format::gff3;
    annotation_ = how.format == region_format::gtf || gff3_;
    format_ = format_name(how.format);
    for (unsigned k = 0; k < how.classes.size(); ++k) every_class_ |= std::uint64_t{1} << k;
  }
  // Reads line `line_number` into `out`, its blocks appended to `blocks`:
  // false with why in `problem`.
  bool parse(std::string_view line, std::int64_t line_number, read_line& out,
             std::vector<region_block>& blocks, std::string* problem);

 private:
  // Splits the line into its columns; false with why in `problem`.
  bool split(std::string_view line, std::string* problem);
  bool read_blocks(std::int64_t start, std::int64_t end, read_line& out, std::vector<region_block>& blocks,
                   std::string* problem);

  const region_reading& how_;
  bool bed_, gff3_, annotation_;
  std::uint64_t every_class_ = 0;
  std::string_view format_;  // "BED", for messages
  region_line line_;         // the line being read, kept to save clearing its fields
  std::vector<std::int64_t> sizes_, starts_;
};

bool region_parser::split(std::string_view line, std::string* problem) {
  region_line& out = line_;
  out.name = {};
  out.strand = '.';
  // BED, GTF and GFF3 are split at tabs; a BED line without one, and a
  // table, at whitespace.
  out.count = split_fields(line, bed_ || annotation_ ? separator::tab : separator::whitespace, out.fields);
  if (bed_ && out.count == 1) out.count = split_fields(line, separator::whitespace, out.fields);
  const auto& f = out.fields;
  if (annotation_) {
    if (out.count < 9) return *problem = messages::columns(out.count, format_, 9, false), false;
    out.chromosome = f[0], out.start_text = f[3], out.end_text = f[4];
    out.strand = f[6].size() == 1 ? f[6][0] : '.';
    if (how_.names) {
      out.name = attribute(f[8], gff3_ ? "Name" : "gene_name", gff3_);
      if (out.name.empty()) out.name = attribute(f[8], gff3_ ? "ID" : "gene_id", gff3_);
    }
    return true;
  }
  if (bed_ ? out.count < 3 : out.count != 3)
    return *problem = messages::columns(out.count, format_, 3, bed_), false;
  out.chromosome = f[0], out.start_text = f[1], out.end_text = f[2];
  if (bed_ && out.count >= 4 && how_.names) out.name = f[3];
  if (bed_ && out.count >= 6 && f[5].size() == 1) out.strand = f[5][0];
  return true;
}

bool region_parser::parse(std::string_view line, std::int64_t line_number, read_line& out,
                          std::vector<region_block>& blocks, std::string* problem) {
  // Only what every kind of line reads is cleared: the rest is set below.
  out.kind = read_line::skipped;
  out.classes = 0;
  out.block_count = 0;
  if (how_.declared != nullptr && line.starts_with("##sequence-region")) {
    out.kind = read_line::sequence_region;
    out.text = line;
    return true;
  }
  if (is_comment_line(line, bed_)) return true;
  if (!split(line, problem)) return false;
  const region_line& fields = line_;
  if (fields.chromosome.empty()) return *problem = messages::empty_field("chromosome"), false;
  out.classes = every_class_;  // for the formats without feature types
  if (annotation_) {
    out.classes = 0;
    for (unsigned k = 0; k < how_.classes.size(); ++k) {
      const auto& features = how_.classes[k].features;
      if (std::find(features.begin(), features.end(), fields.fields[2]) != features.end())
        out.classes |= std::uint64_t{1} << k;
    }
  }
  if (out.classes == 0) {
    out.kind = read_line::unfed;
    out.text = fields.fields[2];
    return true;
  }
  if (bed_ && line_number == 1 && names_columns(fields.start_text, fields.end_text)) return true;
  std::optional<std::int64_t> lowest;  // a table's bounds are taken as they are
  if (bed_ || annotation_) lowest = bed_ ? 0 : 1;
  if (!read_bounds(fields.start_text, fields.end_text, lowest, format_, out.start, out.end, *problem))
    return false;
  out.kind = read_line::region;
  out.chromosome = fields.chromosome;
  out.name = fields.name;
  out.strand = fields.strand;
  return !(bed_ && how_.split && fields.count >= 12) || read_blocks(out.start, out.end, out, blocks, problem);
}

bool region_parser::read_blocks(std::int64_t start, std::int64_t end, read_line& out,
                                std::vector<region_block>& blocks, std::string* problem) {
  // BED12: the blocks, each relative to the start, are the regions.
  const auto& f = line_.fields;
  std::int64_t count = 0;
  if (parse_integer(f[9], count) != number_status::stored || count < 1 || count > 100000 ||
      !block_list(f[10], static_cast<std::size_t>(count), sizes_) ||
      !block_list(f[11], static_cast<std::size_t>(count), starts_)) {
    *problem = messages::bad_blocks();
    return false;
  }
  // Each block lies within the line's own start and end, as bedtools and
  // the UCSC tools take it; checked without a sum that could overflow.
  const std::int64_t span = end - start;
  for (std::size_t b = 0; b < sizes_.size(); ++b)
    if (starts_[b] > span || sizes_[b] > span - starts_[b]) {
      *problem = messages::block_outside(b + 1);
      return false;
    }
  out.blocks_begin = static_cast<std::uint32_t>(blocks.size());
  out.block_count = static_cast<std::uint32_t>(sizes_.size());
  for (std::size_t b = 0; b < sizes_.size(); ++b) blocks.push_back({starts_[b], sizes_[b]});
  return true;
}

// Adds the lines read, in file order, to the index.
class region_file {
 public:
  region_file(const std::string& path, const region_reading& how, region_index& index)
      : path_(path), how_(how), index_(index), fed_(how.classes.size(), false) {
    bed_ = how.format == region_format::bed;
    annotation_ = how.format == region_format::gtf || how.format == region_format::gff3;
  }
  void add(const read_line& line, const region_block* blocks);
  // After the last line: the class that no line fed, worded, or "".
  std::string unfed() const;

 private:
  void add_region(const read_line& line, std::int64_t start, std::int64_t end, std::uint32_t name_id,
                  unsigned class_id);
  // The index's chromosome for a name as written.
  std::uint32_t chromosome_of(std::string_view chromosome);
  void note_sequence_region(std::string_view line);

  const std::string& path_;
  const region_reading& how_;
  region_index& index_;
  bool bed_, annotation_;
  std::vector<bool> fed_;
  feature_types types_;
  // Regions come chromosome by chromosome: the last lookup is reused.
  std::string last_written_;
  std::uint32_t last_chromosome_ = 0;
  bool looked_up_ = false;
};

void region_file::add(const read_line& line, const region_block* blocks) {
  if (line.kind == read_line::sequence_region) note_sequence_region(line.text);
  if (line.kind == read_line::unfed) types_.add(line.text);
  if (line.kind != read_line::region) return;
  const std::uint32_t name_id =
      how_.names && !line.name.empty() && line.name != "." ? index_.names().add(line.name) : NO_NAME;
  if (how_.spans && name_id != NO_NAME)
    index_.note_span(name_id, chromosome_of(line.chromosome), bed_ ? line.start + 1 : line.start, line.end);
  for (unsigned k = 0; k < how_.classes.size(); ++k) {
    if ((line.classes >> k & 1) == 0) continue;
    fed_[k] = true;
    if (line.block_count == 0) {
      add_region(line, bed_ ? line.start + 1 : line.start, line.end, name_id,
                 how_.classes[k].id);  // BED: from 0, half-open
      continue;
    }
    for (std::uint32_t b = 0; b < line.block_count; ++b) {
      const region_block& block = blocks[line.blocks_begin + b];
      if (block.size > 0)
        add_region(line, line.start + block.start + 1, line.start + block.start + block.size, name_id,
                   how_.classes[k].id);
    }
  }
}

std::uint32_t region_file::chromosome_of(std::string_view chromosome) {
  if (!looked_up_ || chromosome != last_written_) {
    looked_up_ = true;
    last_written_ = chromosome;
    last_chromosome_ = index_.chromosomes().add(chromosome);
    if (how_.declared != nullptr) how_.declared->add_name(chromosome);
  }
  return last_chromosome_;
}

void region_file::add_region(const read_line& line, std::int64_t start, std::int64_t end,
                             std::uint32_t name_id, unsigned class_id) {
  chromosome_of(line.chromosome);
  if (start <= end && (how_.upstream > 0 || how_.downstream > 0)) {
    const std::int64_t larger = std::max(how_.upstream, how_.downstream);
    const char strand = line.strand;
    start -= strand == '+' ? how_.upstream : strand == '-' ? how_.downstream : larger;
    end += strand == '+' ? how_.downstream : strand == '-' ? how_.upstream : larger;
    start = std::max<std::int64_t>(start, 1);
  }
  index_.add(last_chromosome_, start, end, name_id, class_id);
}

std::string region_file::unfed() const {
  if (!annotation_) return {};
  for (unsigned k = 0; k < how_.classes.size(); ++k)
    if (!fed_[k])
      return messages::about(path_, messages::no_feature_lines(how_.classes[k].features, types_.list()));
  return {};
}

// "##sequence-region SEQID START END": a GFF3 file's chromosome and its
// length.
void region_file::note_sequence_region(std::string_view line) {
  std::array<std::string_view, 5> fields;
  std::int64_t start = 0, end = 0;
  if (split_fields(line, separator::whitespace, fields) == 4 &&
      parse_integer(fields[2], start) == number_status::stored && start == 1 &&
      parse_integer(fields[3], end) == number_status::stored && end > 0)
    how_.declared->add_length(index_.chromosomes().key_of(fields[1]), end);
}

// The lines read on the workers, added to the index in order.
struct region_job : line_job {
  large_vector<read_line> lines;
  std::vector<region_block> blocks;

 private:
  void clear_results() override {
    lines.clear();
    blocks.clear();
  }
};

class region_reading_work : public line_work {
 public:
  region_reading_work(const std::string& path, const region_reading& how, region_file& file,
                      const parallel_plan& plan)
      : path_(path), how_(how), file_(file), plan_(plan) {}

  std::unique_ptr<line_job> new_job() override {
    auto job = std::make_unique<region_job>();
    // Room for a job of short BED lines, in huge pages: grown by doubling
    // in small ones, the list would cost a page fault per 4 KiB of twice
    // the memory it holds.
    job->lines.reserve(std::max(plan_.job_bytes / 24, LARGE_TABLE_BYTES / sizeof(read_line) + 1));
    return job;
  }
  std::unique_ptr<worker> new_worker() override { return std::make_unique<parsing>(*this); }
  void take(line_job& job) override {
    const auto& j = static_cast<const region_job&>(job);
    for (const read_line& line : j.lines) file_.add(line, j.blocks.data());
  }

 private:
  class parsing : public worker {
   public:
    explicit parsing(const region_reading_work& work) : work_(work), parser_(work.how_) {}
    void process(line_job& job) override {
      auto& j = static_cast<region_job&>(job);
      std::string problem;
      j.for_each_line(work_.path_, [&](std::string_view line, std::int64_t number, std::string* error) {
        if (!parser_.parse(line, number, j.lines.emplace_back(), j.blocks, &problem)) {
          j.lines.pop_back();
          *error = messages::at_line(work_.path_, number, problem);
          return false;
        }
        if (j.lines.back().kind == read_line::skipped) j.lines.pop_back();
        return true;
      });
    }

   private:
    const region_reading_work& work_;
    region_parser parser_;
  };

  const std::string& path_;
  const region_reading& how_;
  region_file& file_;
  parallel_plan plan_;
};

}  // namespace

bool read_regions(byte_source& source, const std::string& path, const region_reading& how,
                  region_index& index, const parallel_plan& plan, std::string* error) {
  error->clear();
  text_lines lines(source, path, format_name(how.format));
  region_file file(path, how, index);
  // A GFF3 file's "##FASTA" line ends its annotation but not the file,
  // which one thread reads to its end.
  if (plan.workers > 1 && how.format != region_format::gff3) {
    region_reading_work work(path, how, file, plan);
    const pipeline_result result = run_line_pipeline(lines, work, plan, std::nullopt, error);
    if (result == pipeline_result::refused) return false;
    if (result == pipeline_result::done) {
      *error = file.unfed();
      return error->empty();
    }
  }
  region_parser parser(how);
  read_line read;
  std::vector<region_block> blocks;
  std::string_view line;
  std::string problem;
  while (lines.next(line, error)) {
    if (how.format == region_format::gff3 && line.starts_with("##FASTA")) {
      // The sequences end the annotation, but the file is read whole: a cut
      // among them is refused like any other.
      *error = lines.read_to_end();
      break;
    }
    blocks.clear();
    if (!parser.parse(line, lines.line_number(), read, blocks, &problem)) {
      *error = messages::at_line(path, lines.line_number(), problem);
      break;
    }
    file.add(read, blocks.data());
  }
  if (!error->empty()) {
    // A refused line of a damaged gzip file is named as the damage it is.
    if (std::string damage = lines.damage_further_on(); !damage.empty()) *error = damage;
    return false;
  }
  *error = file.unfed();
  return error->empty();
}
