// Environment variables set or unset for a while: every variable touched is
// put back as it was when the object goes.
#ifndef HESTREL_TEST_SCOPED_ENV_HPP
#define HESTREL_TEST_SCOPED_ENV_HPP

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace hestrel_test {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;
  ~ScopedEnv() {
    for (const auto &[name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  void set(const std::string &name, const std::string &value) {
    remember(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void unset(const std::string &name) {
    remember(name);
    unsetenv(name.c_str());
  }

 private:
  void remember(const std::string &name) {
    if (saved_.count(name)) return;
    const char *value = std::getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace hestrel_test

#endif
