// The release list and the current release name: built once on first use,
// read-only afterwards.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "errors/internal/boundary.hpp"
#include "zkfile_release.h"
#include "zkfile_release.hpp"

namespace {

constexpr const char *current_release = "2025-4";

// Each year from 2025 down to 2014 with its quarters 4 to 1, then the three
// quarters of 2013 that were released and the bare year that began the list.
std::vector<std::string> build_release_list() {
  std::vector<std::string> names;
  names.reserve(52);
  for (int year = 2025; year >= 2014; --year)
    for (int quarter = 4; quarter >= 1; --quarter)
      names.push_back(std::to_string(year) + '-' + std::to_string(quarter));
  for (const char *early : {"2013-3", "2013-2", "2013-1", "2013"}) names.emplace_back(early);
  return names;
}

}  // namespace

// Never destroyed: preference stores closed from static destructors at exit
// still find the list and the name intact. The static initialisation is
// thread-safe, so concurrent first callers see only the finished object.
const std::vector<std::string> &zkfile_get_past_release_names() {
  static const auto *names = new std::vector<std::string>(build_release_list());
  return *names;
}

namespace pelmoravine {

const std::string &release_name() {
  static const auto *name = new std::string(current_release);
  return *name;
}

}  // namespace pelmoravine

extern "C" int zkfile_get_release_name(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = strdup(current_release);
    return 0;
  });
}
