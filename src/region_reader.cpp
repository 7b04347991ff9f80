#include "region_reader.hpp"

#include "record_loop.hpp"

bool read_region_file(text_reader& in, region_table& table, std::string* error) {
  return read_records(
      in, MAX_REGIONS, "gene regions", table.count,
      [&table](record_fields& fields, int k) {
        gene_region& region = table.rows[k];
        region = {0, 0};
        fields.skip_text().skip_text().skip_text().integer(region.start).integer(region.end);
      },
      error);
}
