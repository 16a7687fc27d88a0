// Failed allocations at every point of a typical use of the file services'
// C interface, the search path's set-up on first use included: no abort,
// and a clean run right after.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "sweep.hpp"
#include "zkfile_dirs.h"
#include "zkfile_dos.h"
#include "zkfile_expand.h"
#include "zkfile_fortran.h"
#include "zkfile_listing.h"
#include "zkfile_md5.h"
#include "zkfile_products.h"
#include "zkfile_search.h"
#include "zkfile_tracked.h"

namespace {

// Writes a file with system calls only, so that it works while the
// allocations of the run fail.
void put(const char *path, const char *text) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  ssize_t ignored = write(fd, text, std::strlen(text));
  (void)ignored;
  close(fd);
}

// A private HOME and working directory for the sweep, put back afterwards.
class ZkfileSweep : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/hestrel-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    const char *home = std::getenv("HOME");
    had_home_ = home != nullptr;
    if (home) old_home_ = home;
    old_cwd_ = getcwd(nullptr, 0);
    setenv("HOME", dir_.c_str(), 1);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  void TearDown() override {
    if (old_cwd_ != nullptr && chdir(old_cwd_) != 0) ADD_FAILURE() << "chdir back";
    std::free(old_cwd_);
    if (had_home_)
      setenv("HOME", old_home_.c_str(), 1);
    else
      unsetenv("HOME");
    std::string command = "rm -rf '" + dir_ + "'";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
  }
  std::string dir_, old_home_;
  bool had_home_ = false;
  char *old_cwd_ = nullptr;
};

TEST_F(ZkfileSweep, SearchPathListingsConversionAndDirectories) {
  const std::string dos = dir_ + "/dos.txt";
  const char *scratch = dir_.c_str();
  long positions = alloc_test::sweep([&](alloc_test::outcome &out) {
    put(dos.c_str(), "a\r\nb\r\n");
    rmdir("made/sub");
    rmdir("made");
    out.value(zkfile_path_add(scratch));
    char *found = nullptr;
    out.value(zkfile_find("dos.txt", 0, &found));
    out.text(found);
    std::free(found);
    out.value(zkfile_exists("dos.txt", 0));
    out.value(zkfile_is_dosfile(dos.c_str()));
    out.value(zkfile_dos_to_unix(dos.c_str()));
    char *expanded = nullptr;
    out.value(zkfile_dir_expand("$HOME/x", &expanded));
    out.text(expanded);
    std::free(expanded);
    int listing = -1;
    out.value(zkfile_open_directory(&listing, scratch));
    out.value(zkfile_set_dir_filter(listing, "\\.txt$"));
    char name[256];
    int entries = 0;
    while (zkfile_get_next_file(listing, name, sizeof name) == 0) ++entries;
    out.value(entries);
    out.value(zkfile_close_directory(listing));
    unsigned char digest[16] = {};
    zkfile_md5_string(digest, "abc");
    out.value(digest[0]);
    FILE *stream = nullptr;
    out.value(zkfile_open("dos.txt", &stream, "r"));
    if (stream) out.value(zkfile_close(stream));
    out.value(zkfile_dir_current_push());
    out.value(zkfile_dir_current_set(scratch));
    out.value(zkfile_dir_current_pop());
    out.value(zkfile_mkdir("made/sub", 0755));
    char *home = nullptr;
    out.value(zkfile_dir_home(&home));
    out.text(home);
    std::free(home);
    int version = 0;
    out.value(zkfile_get_product_version("tolvane", &version));
    out.value(version);
    char *path = nullptr;
    out.value(zkfile_path_get(&path));
    out.text(path);
    std::free(path);
    char fpath[PATH_MAX];
    int type = 0, ierr = 7;
    zkfilef_find_("dos.txt   ", &type, fpath, &ierr, 10, sizeof fpath);
    out.value(ierr);
  });
  EXPECT_GT(positions, 0);
  RecordProperty("positions", static_cast<int>(positions));
}

}  // namespace
