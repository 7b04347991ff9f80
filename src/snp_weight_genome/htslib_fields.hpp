// Every field of htslib's structs that the tool reads, where htslib has no
// function that says it: the one file to check when htslib changes. Checked
// against htslib 1.16 (Debian 12). None of these fields is written by
// htslib's read-ahead or decompression threads: bgzf_read_block() sets
// BGZF's on the calling thread, and a record's are set by the call that
// filled it.
#pragma once

#include <htslib/bgzf.h>
#include <htslib/vcf.h>

#include <cstdint>
#include <optional>
#include <string_view>

// Whether BGZF data read to their end lacked the end-of-file block: the
// file was cut at a block boundary.
bool lacks_eof_block(const BGZF* fp);
// What failed in reading `fp` (BGZF_ERR_*), or 0.
int bgzf_errors(const BGZF* fp);
// The errno value of a failed read of the file under `fp`, or 0.
int read_errno(const BGZF* fp);

// What htslib found wrong with a record it read or parsed (BCF_ERR_*), or 0.
int variant_errors(const bcf1_t* record);
// The index of a record's chromosome among its header's contigs, and how
// many contigs a header has.
int variant_contig(const bcf1_t* record);
int header_contigs(const bcf_hdr_t* header);
// A record's 1-based position.
std::int64_t variant_position(const bcf1_t* record);
// Its ID, REF and first ALT ("" when it has none), once unpacked to
// BCF_UN_STR.
std::string_view variant_id(const bcf1_t* record);
std::string_view variant_ref(const bcf1_t* record);
std::string_view variant_first_alt(const bcf1_t* record);

// The length a VCF header's ##contig line declares for `chromosome`.
std::optional<std::int64_t> declared_contig_length(const bcf_hdr_t* header, const char* chromosome);
