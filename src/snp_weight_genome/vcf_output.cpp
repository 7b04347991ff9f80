#include "vcf_output.hpp"

#include <htslib/hfile.h>

#include <cerrno>

#include "htslib_fields.hpp"
#include "messages.hpp"
#include "os.hpp"

vcf_output::vcf_output(std::string path, bool binary, bool names, const name_table& region_names)
    : path_(std::move(path)), binary_(binary), names_(names), region_names_(region_names) {}

vcf_output::~vcf_output() {
  if (writer_ != nullptr) hts_close(writer_);
  if (header_ != nullptr) bcf_hdr_destroy(header_);
}

bool vcf_output::declare(const char* id, const char* number, const char* type, const char* description,
                         const std::string& input, std::string* error) {
  const int tag = bcf_hdr_id2int(header_, BCF_DT_ID, id);
  if (bcf_hdr_idinfo_exists(header_, BCF_HL_INFO, tag)) {
    // A declaration of the input's own that fits is kept; one that does not is refused.
    const int declared_type = bcf_hdr_id2type(header_, BCF_HL_INFO, tag);
    const int wanted_type = std::string_view(type) == "Float" ? BCF_HT_REAL : BCF_HT_STR;
    if (declared_type == wanted_type) return true;
    *error = messages::about(input, messages::info_declared_otherwise(
                                        id, declared_type == BCF_HT_INT ? "Type=Integer" : "another Type", type));
    return false;
  }
  const std::string line = std::string("##INFO=<ID=") + id + ",Number=" + number + ",Type=" + type +
                           ",Description=\"" + description + "\">";
  if (bcf_hdr_append(header_, line.c_str()) == 0) return true;
  *error = messages::file_failed(path_, {file_step::write, std::make_error_code(std::errc::not_enough_memory)});
  return false;
}

bool vcf_output::open_writer(std::string* error) {
  const bool compressed = path_.ends_with(".gz") || path_.ends_with(".bgz");
  const char* mode = binary_ ? "wb" : compressed ? "wz" : "w";
  const int fd = os::duplicate_for_bytes(file_.descriptor());
  hFILE* bytes = fd < 0 ? nullptr : hdopen(fd, "w");
  writer_ = bytes == nullptr ? nullptr : hts_hopen(bytes, path_.c_str(), mode);
  if (writer_ == nullptr) {
    if (bytes != nullptr) hclose_abruptly(bytes);
    else if (fd >= 0) os::close_file(fd);
    *error = messages::file_failed(path_, {file_step::write, std::error_code(errno != 0 ? errno : EIO,
                                                                              std::generic_category())});
    return false;
  }
  return true;
}

bool vcf_output::begin(const snp_reader& snps, std::string* error) {
  if (snps.header() == nullptr) {
    *error = messages::about(snps.path(), messages::needs_variants(binary_ ? "bcf" : "vcf"));
    return false;
  }
  input_ = snps.path();
  header_ = bcf_hdr_dup(snps.header());
  if (header_ == nullptr ||
      !declare("WEIGHT", "1", "Float", "The weight of the first region class that holds the variant", input_,
               error) ||
      (names_ && !declare("REGIONS", ".", "String", "The regions that hold the variant", input_, error)))
    return false;
  if (bcf_hdr_sync(header_) != 0 || !open_writer(error)) return false;
  if (bcf_hdr_write(writer_, header_) != 0) failure_ = errno != 0 ? errno : EIO;
  return true;
}

void vcf_output::write(const genome_snp& snp, const snp_answer& answer) {
  if (failure_ != 0 || !problem_.empty()) return;
  bcf1_t* record = snp.variant;
  // A chromosome the input's header does not declare, which htslib added to
  // that header while parsing: VCF text names it, BCF would need its line.
  if (variant_contig(record) >= header_contigs(header_)) {
    if (binary_) {
      problem_ = messages::about(input_, messages::undeclared_contig(snp.chromosome));
      return;
    }
    const std::string line = "##contig=<ID=" + std::string(snp.chromosome) + ">";
    if (bcf_hdr_append(header_, line.c_str()) != 0 || bcf_hdr_sync(header_) != 0) failure_ = ENOMEM;
  }
  const float weight = static_cast<float>(answer.weight);
  int status = bcf_update_info_float(header_, record, "WEIGHT", &weight, 1);
  if (names_) {
    regions_.clear();
    std::string scratch;
    for (const std::uint32_t name : answer.names) {
      if (!regions_.empty()) regions_ += ',';
      regions_ += encoded(region_names_[name], IN_VCF_INFO, scratch);
    }
    status |= bcf_update_info_string(header_, record, "REGIONS", regions_.empty() ? nullptr : regions_.c_str());
  }
  if (status != 0 || bcf_write(writer_, header_, record) != 0) failure_ = errno != 0 ? errno : EIO;
}

bool vcf_output::commit(std::string* error) {
  if (!problem_.empty()) {
    *error = problem_;
    return false;
  }
  // htslib's last blocks, and BGZF's end-of-file block, before the result goes in place.
  if (writer_ != nullptr && hts_close(writer_) != 0 && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
  writer_ = nullptr;
  return file_.commit(failure_ == 0 ? std::error_code() : std::error_code(failure_, std::generic_category()), error);
}
