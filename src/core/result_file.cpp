#include "result_file.hpp"

#include "messages.hpp"

bool result_file::open(const std::string& name, std::string* error) {
  name_ = name;
  if (name == "-") {
    file_.open_standard_output();
    return true;
  }
  file_failure failure{};
  if (file_.open(name.c_str(), &failure)) return true;
  *error = messages::file_failed(name, failure);
  return false;
}

bool result_file::commit(std::error_code written, std::string* error) {
  file_failure failure{file_step::write, written};
  if (!written && file_.commit(&failure)) return true;
  *error = messages::file_failed(name_, failure);
  return false;
}
