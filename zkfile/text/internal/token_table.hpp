// The process-wide table of token lists: the list record and the lookups
// shared by the list operations, the tokenizer and the glob patterns.
#ifndef HESTREL_TEXT_INTERNAL_TOKEN_TABLE_HPP
#define HESTREL_TEXT_INTERNAL_TOKEN_TABLE_HPP

#include <cstddef>
#include <vector>

#include "zk_regexp.h"

namespace hestrel::text::tokens {

// One list. Every char pointer is a malloc'd, NUL-ended string owned here;
// regex entries are malloc'd compiled patterns (NULL allowed), freed with free.
struct token_tag {
  int capacity = 0;              // slots allocated in tokens
  char **tokens = nullptr;       // the tokens in order
  int count = 0;                 // tokens held
  int in_use = 0;                // 1 while the handle names a live list
  int n_regex = 0;               // compiled patterns held in regex
  zk_regexp **regex = nullptr;   // one per token when compiled
  char *quoted_chars = nullptr;  // characters that make joining quote a token
};

// The table, built on first use; it never shrinks.
std::vector<token_tag> &toks();
// The number of records in the table; it grows only when one is appended.
int num_toks();

// The live list a handle names, or nullptr (no report).
token_tag *lookup(int handle);

// Takes the free record with the highest index, or appends one, and makes
// it a new empty list. Returns its handle, or -1 when no memory could be had
// (reported at FATAL).
int new_list();

// Appends a token (a malloc'd string) that the list then owns. When the
// token is NULL or the array cannot grow: FATAL "zktoken_add(): can't
// expand list", the token is freed and -1.
int append_owned(token_tag &t, char *token);

// Every allocation of the token code goes through these (the C library's
// allocator; the allocation-failure tests replace that for their program).
void *allocate(std::size_t size);
void *allocate_zeroed(std::size_t size);
void *reallocate(void *block, std::size_t size);
char *duplicate(const char *text);

}  // namespace hestrel::text::tokens

#endif
