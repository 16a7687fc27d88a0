// The process-wide table of directory-listing slots behind the listing
// handles; slots are reused, the table never shrinks.
#ifndef HESTREL_ZKFILE_INTERNAL_LISTING_TABLE_HPP
#define HESTREL_ZKFILE_INTERNAL_LISTING_TABLE_HPP

#include <dirent.h>

#include <vector>

#include "zk_regexp.h"

namespace hestrel::zkfile::listing {

struct dir_struct {
  DIR *dir = nullptr;
  zk_regexp *filter = nullptr;  // owned; NULL accepts every entry
  int in_use = 0;
};

// Built on first use; closes what is still open when the process exits.
std::vector<dir_struct> &zk_dirs();

// Index of the highest-numbered free slot (a new one when none is free),
// with the slot cleared.
int reserve_listing_slot();

// The slot of an open listing, or NULL when handle names none.
dir_struct *open_listing(int handle);

}  // namespace hestrel::zkfile::listing

#endif
