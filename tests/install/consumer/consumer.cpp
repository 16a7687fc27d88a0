// Includes the headers both ways and calls through a C++17 header, as a
// project built against the installed package would.
#include <hestrel/zkerr.h>
#include <hestrel/pelmoravine_paths.hpp>
#include <hestrel/zkpref.hpp>

#include <cstdio>

#include "zkerr.hpp"
#include "zkfile_path.h"

int main() {
  char *joined = zkfile_add_component("dir", "name");
  if (!joined) return 1;
  std::printf("%s\n", joined);
  zkfile_free_component_string(joined);
  pelmoravine::vardel::CaptureZKErr capture(-1);
  zkerr_throw(-1, 4, "captured\n");
  // The store's C++ header brings Qt's types; the package carries Qt to us.
  bool store_ok =
      zkpref_source_to_string(ZKPREF_SOURCE_MACHINE) == "machine" && getQSettingsFormat() != QSettings::InvalidFormat;
  return store_ok ? 0 : 1;
}
