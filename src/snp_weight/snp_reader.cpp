#include "snp_reader.hpp"

#include "record_loop.hpp"

bool read_snp_file(text_reader& in, snp_table& table, std::string* error) {
  return read_records(
      in, MAX_SNPS, messages::SNP_RECORDS, table.count,
      [&table](record_fields& fields, int k) {
        table.names[k][0] = '\0';
        table.positions[k] = 0;
        fields.text(table.names[k], messages::SNP_NAME_FIELD)
            .integer(table.positions[k])
            .skip_text(messages::FIELD_3);
      },
      error);
}
