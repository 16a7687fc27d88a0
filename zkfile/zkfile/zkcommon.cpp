// Shared services of the product family's programs: shell quoting, an
// interruption-proof line reader, setup questions, scratch-project names and
// the support request text.
#include "zkcommon.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <boost/filesystem/path.hpp>

#include "errors/internal/boundary.hpp"
#include "zkcommon.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"
#include "zkfile_products.h"

namespace {

constexpr const char kWebAccessMarker[] = ".Kordavin_web_access_file";

constexpr const char kSupportRequest[] =
    "Please report this problem at https://support.pelmoravine.invalid/supportcenter"
    ", and upload the following files, to help us diagnose this problem:";

constexpr const char kScratchExpression[] =
    "Tmp_([0-2][0-9]|3[01])[A-Za-z]{1,4}([1-9][0-9]{3})_([01][0-9]|2[0-3])([0-5][0-9])_([0-5][0-9][0-9]{3})";

// Characters a shell still interprets between double quotes.
bool needs_escape(char c) { return c == '"' || c == '$' || c == '`' || c == '\\'; }

bool is_wildcard(char c) { return c == '?' || c == '*'; }

std::atomic<bool> ulvastro_computed{false};
std::atomic<bool> ulvastro_value{false};

}  // namespace

extern "C" int zkcommon_prepare_str_for_shell(char *text, int size) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (text == nullptr || text[0] == '\0' || size <= 0) return -1;
    const std::size_t length = std::strlen(text);
    const std::size_t capacity = static_cast<std::size_t>(size);
    const char last = text[length - 1];
    if (last == '/' || last == '\\' || length + 2 > capacity) return -1;

    // Both the escaped text and the wrapped one, with their NULs, must fit in
    // the caller's buffer, and the wrapped one in the path limit as well.
    std::size_t escaped = length;
    for (std::size_t i = 0; i < length; ++i)
      if (needs_escape(text[i])) ++escaped;
    if (escaped + 1 > capacity) return -1;

    std::string result;
    try {
      result.reserve(escaped + 2 * length + 2);
      bool inside = false;
      for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (is_wildcard(c)) {
          if (inside) result.push_back('"');
          inside = false;
        } else {
          if (!inside) result.push_back('"');
          inside = true;
          if (needs_escape(c)) result.push_back('\\');
        }
        result.push_back(c);
      }
      if (inside) result.push_back('"');
    } catch (const std::bad_alloc &) {
      return -1;
    }
    if (result.size() + 1 > capacity || !hestrel::zkfile::fits_path_limit(result.size())) return -1;
    std::memcpy(text, result.c_str(), result.size() + 1);
    return 0;
  });
}

extern "C" char *fgets_safe(char *buffer, int size, FILE *stream) {
  return hestrel::call_c(__func__, nullptr, [&]() -> char * {
    // fgets itself would crash on these.
    if (buffer == nullptr || stream == nullptr) {
      errno = EINVAL;
      return nullptr;
    }
    char *result;
    do {
      errno = 0;
      result = std::fgets(buffer, size, stream);
    } while (result == nullptr && errno == EINTR);
    return result;
  });
}

extern "C" int zkcommon_web_access_allowed(void) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    char *dir = nullptr;
    if (zkfile_pelmoravine_userdata_dir(&dir) != 0 || dir == nullptr) {
      std::free(dir);
      return 0;
    }
    std::string marker;
    try {
      marker = dir;
      // One '/' unless the directory already ends in one.
      if (marker.empty() || marker.back() != '/') marker += '/';
      marker += kWebAccessMarker;
    } catch (const std::bad_alloc &) {
      std::free(dir);
      return 0;
    }
    std::free(dir);
    // Any kind of entry counts; an unreadable status counts as no marker.
    struct stat st;
    return stat(marker.c_str(), &st) == 0 ? 1 : 0;
  });
}

extern "C" bool zkcommon_display_ulvastro(void) {
  return hestrel::call_c(__func__, false, [&]() -> bool {
    if (!ulvastro_computed.load(std::memory_order_acquire)) {
      char *path = nullptr;
      const bool found = zkfile_find_product_dir("ulvastro", &path) == 0;
      std::free(path);
      ulvastro_value.store(found, std::memory_order_relaxed);
      ulvastro_computed.store(true, std::memory_order_release);
    }
    return ulvastro_value.load(std::memory_order_relaxed);
  });
}

extern "C" int zkfile_get_pelmoravine_support_error_mesg(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (out == nullptr) return -1;
    *out = strdup(kSupportRequest);
    return *out != nullptr ? 0 : -1;
  });
}

std::string zkcommon_get_scratch_project_path() {
  const QString stamp =
      QLocale(QLocale::C).toString(QDateTime::currentDateTime(), QStringLiteral("ddMMMyyyy_HHmm_sszzz"));
  const std::string name = "Tmp_" + stamp.toUtf8().toStdString();
  const char *parent = std::getenv("PELMORAVINE_TEMP_PROJECT");
  if (parent == nullptr) throw std::runtime_error("PELMORAVINE_TEMP_PROJECT environment variable is not set.");
  return (boost::filesystem::path(parent) / name).string();
}

std::string zkcommon_get_scratch_project_regular_expression() { return kScratchExpression; }
