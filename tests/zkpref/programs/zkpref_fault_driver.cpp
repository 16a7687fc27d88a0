// Lives one process's part of a preference-store test from a script, one
// command per argument, and prints each command with what it returned
// ("sync => 6"), so a test can fault, pause or kill it at an exact step.
//
//   open | open-empty | close     the store of product 0 through the C calls;
//                                 open-empty through ZKPREF with migrate false
//   set K V | get K | sync        on that store
//   setmany N | getmany N         keys g<i%10>/k<i> holding v<i>, i < N; the
//                                 result is how many were set or answered
//   qopen | qset K V | qsync      a plain settings object on the user file in
//                                 the store's format, without store or lock
//   fault SPEC                    the preloaded fault shim's hestrel_fault_set
//   pause                         waits until the test resumes it
//   umask MASK                    octal
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QtCore/QSettings>
#include <QtCore/QVariantMap>

#include "zkpref.h"
#include "zkpref.hpp"

namespace {

ZKpref handle = 0;
std::unique_ptr<ZKPREF> made_empty;
std::unique_ptr<QSettings> plain;

std::string key_of(int i) { return "g" + std::to_string(i % 10) + "/k" + std::to_string(i); }
std::string value_of(int i) { return "v" + std::to_string(i); }

// The same two descriptors the shim stalls on.
void pause_here() {
  const char *announce = std::getenv("HESTREL_FAULT_ANNOUNCE_FD"), *resume = std::getenv("HESTREL_FAULT_RESUME_FD");
  char byte = 'p';
  if (announce && resume && write(std::atoi(announce), &byte, 1) == 1) (void)!read(std::atoi(resume), &byte, 1);
}

std::string fault(const std::string &spec) {
  using Set = int (*)(const char *);
  const auto set = reinterpret_cast<Set>(dlsym(RTLD_DEFAULT, "hestrel_fault_set"));
  if (!set) return "no shim";
  return set(spec.c_str()) == 0 ? "ok" : "unknown fault";
}

int set_one(const std::string &key, const std::string &value) {
  if (made_empty) return made_empty->set(key, QVariant(QString::fromStdString(value)), "");
  return zkpref_set_string(handle, key.c_str(), value.c_str());
}

std::string get_one(const std::string &key) {
  if (made_empty) {
    std::string value;
    const int rc = made_empty->get(key, value);
    return rc == 0 ? value : "rc " + std::to_string(rc);
  }
  char *value = nullptr;
  const int rc = zkpref_get_string(handle, key.c_str(), &value);
  std::string text = rc == 0 && value ? value : "rc " + std::to_string(rc);
  std::free(value);
  return text;
}

std::string open_store() {
  const int rc = zkpref_new(&handle, ZKPREF_TRALVENIC);
  return std::to_string(rc) + (handle ? "" : " no handle");
}

std::string open_empty() {
  try {
    made_empty = std::make_unique<ZKPREF>(ZKPREF_TRALVENIC, false);
    return "0";
  } catch (const std::exception &e) {
    return std::string("threw ") + e.what();
  }
}

std::string sync_store() { return std::to_string(made_empty ? made_empty->syncSettings() : zkpref_sync(handle)); }

std::string close_store() {
  if (handle) zkpref_delete(handle);
  handle = 0;
  made_empty.reset();
  return "done";
}

std::string many(const std::string &verb, int n) {
  int count = 0;
  for (int i = 0; i < n; ++i)
    count += verb == "setmany" ? set_one(key_of(i), value_of(i)) == 0 : get_one(key_of(i)) == value_of(i);
  return std::to_string(count);
}

std::string plain_settings(const std::vector<std::string> &w) {
  const char *file = std::getenv("HESTREL_FAULT_FILE");
  if (w[0] == "qopen" && file) {
    plain = std::make_unique<QSettings>(QString::fromLocal8Bit(file), getQSettingsFormat());
  } else if (!plain) {
    return "bad command";
  } else if (w[0] == "qset" && w.size() == 3) {
    plain->setValue(QString::fromStdString(w[1]),
                    QVariantMap{{"value", QString::fromStdString(w[2])}, {"dt", QStringLiteral("QString")}});
  } else if (w[0] == "qsync") {
    plain->sync();
  } else {
    return "bad command";
  }
  return "status " + std::to_string(static_cast<int>(plain->status()));
}

std::string run(const std::vector<std::string> &w, const std::string &rest) {
  const std::string &verb = w[0];
  if (verb == "open") return open_store();
  if (verb == "open-empty") return open_empty();
  if (verb == "close") return close_store();
  if (verb == "sync") return sync_store();
  if (verb == "set" && w.size() == 3) return std::to_string(set_one(w[1], w[2]));
  if (verb == "get" && w.size() == 2) return get_one(w[1]);
  if ((verb == "setmany" || verb == "getmany") && w.size() == 2) return many(verb, std::atoi(w[1].c_str()));
  if (verb == "qopen" || verb == "qset" || verb == "qsync") return plain_settings(w);
  if (verb == "fault") return fault(rest);
  if (verb == "pause") return pause_here(), "resumed";
  if (verb == "umask" && w.size() == 2) return umask(std::strtol(w[1].c_str(), nullptr, 8)), "set";
  return "bad command";
}

}  // namespace

int main(int argc, char **argv) {
  // Nothing a test does may hang it: a stall never resumed ends here.
  alarm(30);
  for (int i = 1; i < argc; ++i) {
    std::istringstream line(argv[i]);
    std::vector<std::string> words;
    for (std::string word; line >> word;) words.push_back(word);
    if (words.empty()) continue;
    const std::string command = argv[i];
    const std::string rest = command.size() > words[0].size() ? command.substr(words[0].size() + 1) : "";
    std::printf("%s => %s\n", argv[i], run(words, rest).c_str());
    std::fflush(stdout);
  }
  close_store();
  return 0;
}
