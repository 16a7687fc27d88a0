// Shared fixtures of the preference-store tests: every test runs with its
// own HOME, TMPDIR, machine-wide and installation-wide files under the test
// build folder, and can collect the Qt warnings the store writes.
#ifndef HESTREL_TESTS_ZKPREF_FIXTURES_HPP
#define HESTREL_TESTS_ZKPREF_FIXTURES_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include "hestrel_test/temp_home.hpp"

// The file-service fixtures under the names the store's tests knew first.
namespace zkfile_test {
using namespace hestrel_test;
}  // namespace zkfile_test

namespace zkpref_test {

// Collects every Qt message while alive, instead of printing it.
class QtMessages {
 public:
  QtMessages() {
    current() = this;
    previous_ = qInstallMessageHandler(&QtMessages::handler);
  }
  QtMessages(const QtMessages &) = delete;
  QtMessages &operator=(const QtMessages &) = delete;
  ~QtMessages() {
    qInstallMessageHandler(previous_);
    current() = nullptr;
  }
  const std::vector<std::string> &lines() const { return lines_; }
  std::string text() const {
    std::string all;
    for (const auto &l : lines_) all += l + "\n";
    return all;
  }

 private:
  static QtMessages *&current() {
    static QtMessages *instance = nullptr;
    return instance;
  }
  static void handler(QtMsgType, const QMessageLogContext &, const QString &message) {
    if (current()) current()->lines_.push_back(message.toStdString());
  }
  QtMessageHandler previous_ = nullptr;
  std::vector<std::string> lines_;
};

inline void write_file(const std::string &path, const std::string &text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

using hestrel_test::exists;
using hestrel_test::read_file;

// True when xmllint accepts the file as well-formed XML.
inline bool xmllint_accepts(const std::string &path) {
  std::string command = "xmllint --noout '" + path + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// A private world for the store: HOME, TMPDIR, the machine-wide file
// (etc/suitepref.xml), the installation root with its config/suitepref.xml,
// all below <build>/scratch/zkpref_XXXXXX; the store's variables unset.
class PrefTest : public hestrel_test::TempHomeTest {
 protected:
  void SetUp() override {
    hestrel_test::TempHomeTest::SetUp();
    tmp_ = root() + "/tmp";
    std::filesystem::create_directories(tmp_);
    install_ = root() + "/install";
    std::filesystem::create_directories(install_ + "/config");
    std::filesystem::create_directories(root() + "/etc");
    env.set("TMPDIR", tmp_);
    env.set("PELMORAVINE", install_);
    env.set("PELMORAVINE_MACHINE_PREFERENCE", machine_file());
    env.unset("PELMORAVINE_SITE_PREFERENCE");
  }

  const std::string &tmp() const { return tmp_; }
  std::string machine_file() const { return root() + "/etc/suitepref.xml"; }
  std::string site_file() const { return install_ + "/config/suitepref.xml"; }
  // The per-user directory of a release under the default layout.
  std::string release_dir(const std::string &release = "2025-4") const { return home() + "/.pelmoravine/" + release; }
  std::string user_file(const std::string &stem = "Tralvenic", const std::string &release = "2025-4") const {
    return release_dir(release) + "/" + stem + ".xml";
  }

 private:
  std::string tmp_;
  std::string install_;
};

}  // namespace zkpref_test

#endif
