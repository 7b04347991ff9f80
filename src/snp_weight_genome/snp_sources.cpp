#include "snp_sources.hpp"

#include <htslib/vcf.h>

#include <array>
#include <cstring>

#include "messages.hpp"

namespace {

void add_snp(genome_snp_table& snps, std::string_view name, std::uint32_t spelling, std::int64_t position) {
  snps.names += name;
  snps.name_ends.push_back(snps.names.size());
  snps.spellings.push_back(spelling);
  snps.positions.push_back(position);
}

// Named "CHROM:POS", for an SNP whose file gives it no name.
void add_unnamed_snp(genome_snp_table& snps, std::string_view chromosome, std::uint32_t spelling,
                     std::int64_t position) {
  add_snp(snps, std::string(chromosome) + ':' + std::to_string(position), spelling, position);
}

// PLINK's numeric codes for the chromosomes that have no number.
std::string_view plink_chromosome(std::string_view code) {
  if (code == "23") return "X";
  if (code == "24") return "Y";
  if (code == "25") return "XY";
  if (code == "26") return "MT";
  return code;
}

// The text formats, a line at a time.
bool read_snp_lines(hts_input& input, snp_format format, chromosome_names& names, genome_snp_table& snps,
                    std::string* error) {
  const std::string& path = input.path();
  line_reader lines(input);
  std::array<std::string_view, 6> fields;
  std::string_view line;
  const bool bed = format == snp_format::bed;
  while (lines.next(line, error)) {
    if (is_comment_line(line, bed)) continue;
    const std::size_t count = split_fields(line, bed, fields);
    const auto refuse = [&](const std::string& what) {
      *error = messages::at_line(path, lines.line_number(), what);
      return false;
    };
    std::int64_t position = 0;
    std::string problem;
    if (format == snp_format::table) {
      if (count != 3) return refuse(messages::columns(count, "a table of SNPs", 3, false));
      problem = integer_problem(fields[2], "position", position);
      if (!problem.empty()) return refuse(problem);
      add_snp(snps, fields[0], names.spelling(fields[1]), position);
    } else if (format == snp_format::bim) {
      if (count < 4) return refuse(messages::columns(count, "a .bim file", 4, true));
      problem = integer_problem(fields[3], "position", position);
      if (!problem.empty()) return refuse(problem);
      add_snp(snps, fields[1], names.spelling(plink_chromosome(fields[0])), position);
    } else {
      if (count < 3) return refuse(messages::columns(count, "BED", 3, true));
      std::int64_t end = 0;
      problem = integer_problem(fields[1], "start", position);
      if (problem.empty()) problem = integer_problem(fields[2], "end", end);
      if (problem.empty()) problem = bounds_problem(position, end, fields[1], 0);
      if (!problem.empty()) return refuse(problem);
      ++position;  // 0-based start to 1-based first base
      const std::uint32_t spelling = names.spelling(fields[0]);
      if (count >= 4 && !fields[3].empty())
        add_snp(snps, fields[3], spelling, position);
      else
        add_unnamed_snp(snps, fields[0], spelling, position);
    }
  }
  return error->empty();
}

// What htslib found wrong with a record, in words.
const char* record_problem(int errcode) {
  if (errcode & BCF_ERR_NCOLS) return "fewer than 8 columns";
  if (errcode & BCF_ERR_CHAR) return "an invalid character";
  if (errcode & BCF_ERR_CTG_INVALID) return "an invalid CHROM";
  if (errcode & BCF_ERR_LIMITS) return "a value beyond htslib's limits";
  return nullptr;
}

// The checks htslib leaves to its callers on a VCF text line, which it has
// split at NUL bytes by now: at least 8 columns, and POS all digits.
const char* text_record_problem(std::string_view line, std::string_view& pos) {
  std::size_t columns = 1;
  std::size_t pos_begin = 0, pos_end = line.size();
  for (std::size_t i = 0; i < line.size() && columns < 8; ++i) {
    if (line[i] != '\0' && line[i] != '\t') continue;
    ++columns;
    if (columns == 2) pos_begin = i + 1;
    if (columns == 3) pos_end = i;
  }
  if (columns < 8) return "fewer than 8 columns";
  pos = line.substr(pos_begin, pos_end - pos_begin);
  if (pos.empty() || pos.find_first_not_of("0123456789") != std::string_view::npos) return "";
  return nullptr;
}

bool read_vcf(hts_input& input, chromosome_names& names, genome_snp_table& snps, std::string* error) {
  const std::string& path = input.path();
  htsFile* file = input.file();
  bcf_hdr_t* header = bcf_hdr_read(file);
  if (header == nullptr) {
    *error = messages::about(path, messages::no_vcf_header());
    return false;
  }
  bcf1_t* record = bcf_init();
  const bool text = hts_get_format(file)->format == vcf;
  const char* format = text ? "VCF" : "BCF";
  int status = 0;
  std::int64_t records = 0;
  // Where a message points: the line of a VCF, the record of a BCF.
  const auto place = [&] { return text ? file->lineno : records; };
  while ((status = bcf_read(file, header, record)) == 0) {
    ++records;
    std::string_view pos;
    const char* problem = text ? text_record_problem({file->line.s, file->line.l}, pos) : nullptr;
    if (problem == nullptr) problem = record_problem(record->errcode);
    const char* chromosome = bcf_seqname(header, record);
    if (problem == nullptr && chromosome == nullptr) problem = "an invalid CHROM";
    if (problem != nullptr) {
      *error = messages::at_line(
          path, place(),
          *problem == '\0' ? messages::not_a_number("POS", pos) : messages::invalid_record(format, problem));
      break;
    }
    bcf_unpack(record, BCF_UN_STR);
    const std::int64_t position = record->pos + 1;
    const std::uint32_t spelling = names.spelling(chromosome);
    const char* id = record->d.id;
    if (id == nullptr || std::strcmp(id, ".") == 0)
      add_unnamed_snp(snps, chromosome, spelling, position);
    else
      add_snp(snps, id, spelling, position);
  }
  if (error->empty() && status < -1)
    *error = messages::at_line(path, place() + 1, messages::invalid_record(format, "htslib cannot read it"));
  bcf_destroy(record);
  bcf_hdr_destroy(header);
  return error->empty();
}

}  // namespace

bool read_snps(hts_input& input, snp_format format, chromosome_names& names, genome_snp_table& snps,
               std::string* error) {
  error->clear();
  if (format == snp_format::vcf) return read_vcf(input, names, snps, error);
  return read_snp_lines(input, format, names, snps, error);
}
