#include "region_reader.hpp"

#include "record_loop.hpp"

bool read_region_file(text_reader& in, region_table& table, std::string* error) {
  return read_records(
      in, MAX_REGIONS, messages::REGION_RECORDS, table.count,
      [&table](record_fields& fields, int k) {
        gene_region& region = table.row_for(k);
        region = {0, 0};
        fields.skip_text(messages::FIELD_1)
            .skip_text(messages::FIELD_2)
            .skip_text(messages::FIELD_3)
            .integer(region.start)
            .integer(region.end);
      },
      error);
}
