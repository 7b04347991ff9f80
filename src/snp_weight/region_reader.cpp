#include "region_reader.hpp"

#include "record_loop.hpp"

bool read_region_file(text_reader& in, region_table& table, std::string* error,
                      const std::function<void(const gene_region* rows, int count)>& block_read) {
  return read_records(
      in, MAX_REGIONS, messages::REGION_RECORDS, table.count,
      [&table, &block_read](record_fields& fields, int k) {
        // Row k is read once every row before it is: the block before is full.
        if (block_read && k > 0 && k % REGION_BLOCK == 0)
          block_read(table.blocks[k / REGION_BLOCK - 1], REGION_BLOCK);
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
