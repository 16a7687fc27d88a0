// Fuzz target for the path expansion: the first input byte picks the buffer
// size, the rest is the text; both forms must agree where the result fits.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "zkerr.h"
#include "zkfile_expand.h"

namespace {

// HOME and the application-data directory point into a private scratch
// folder, removed at exit, so "$APPDATA" never creates anything elsewhere.
std::string scratch;

void remove_scratch() {
  std::error_code ec;
  if (!scratch.empty()) std::filesystem::remove_all(scratch, ec);
}

bool set_up() {
  zkerr_file(-1, nullptr);
  std::string pattern = std::filesystem::temp_directory_path().string() + "/expand_fuzz_XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  scratch = pattern;
  std::atexit(remove_scratch);
  setenv("HOME", scratch.c_str(), 1);
  setenv("PELMORAVINE_APPDATA_OVERRIDE", (scratch + "/appdata").c_str(), 1);
  setenv("ZK_FUZZ", "$ZK_FUZZ~/x", 1);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static bool ready = set_up();
  (void)ready;
  if (size == 0) return 0;
  const int buffer_size = data[0] * 8;
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  text = text.c_str();  // up to the first NUL

  char *out = nullptr;
  const int code = zkfile_dir_expand(text.c_str(), &out);

  std::vector<char> buffer(std::max<std::size_t>(buffer_size, text.size() + 1) + 1, '\0');
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  const int buffer_code = zkfile_dir_expand_buffer(buffer.data(), buffer_size);
  if (std::strlen(buffer.data()) >= static_cast<std::size_t>(std::max(buffer_size, 1)) && buffer_code == 0)
    std::abort();

  if (out && !text.empty() && text.size() < 4096 && std::strlen(out) < static_cast<std::size_t>(buffer_size)) {
    if (buffer_code != code || std::strcmp(buffer.data(), out) != 0) std::abort();
  }
  std::free(out);
  return 0;
}
