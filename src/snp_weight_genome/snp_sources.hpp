// Reading SNPs from VCF, BCF, PLINK .bim, BED or a plain table.
#pragma once

#include <string>

#include "chromosomes.hpp"
#include "formats.hpp"
#include "genome_records.hpp"
#include "line_reader.hpp"

// Reads every SNP of `input`, in file order, into `snps`, naming their
// chromosomes through `names`:
//  - VCF and BCF, through htslib: the name is ID, or CHROM:POS when ID is
//    "."; the position is POS.
//  - .bim: chromosome, name and position are columns 1, 2 and 4; the codes
//    23 to 26 are X, Y, XY and MT.
//  - BED: the position is start + 1, the SNP's first base; the name is
//    column 4, or CHROM:POS when there is none.
//  - a table: name, chromosome and 1-based position, one SNP a line.
// Empty lines and lines beginning with "#" are skipped (the BED's "track" and
// "browser" lines too). Returns false with a one-line message in `error`.
bool read_snps(hts_input& input, snp_format format, chromosome_names& names, genome_snp_table& snps,
               std::string* error);
