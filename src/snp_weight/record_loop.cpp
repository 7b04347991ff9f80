#include "record_loop.hpp"

#include <system_error>

std::string input_stop_message(const text_reader& in) {
  switch (in.stop()) {
    case input_stop::none:
      return {};
    case input_stop::read_error:
      return messages::file_failed(
          in.file_name(), {file_step::read, std::error_code(in.read_error(), std::generic_category())});
    case input_stop::not_text:
      return messages::not_text(in.file_name(), in.kind());
    case input_stop::whitespace_run:
      return messages::at_line(in.file_name(), in.field_line(), messages::whitespace_run(MAX_WHITESPACE_RUN));
  }
  return {};
}
