// Token lists: the process-wide table of lists and every operation on a
// list once it exists (reading, editing, copying, searching, joining).
#include "zktoken.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "text/internal/number_text.hpp"
#include "text/internal/token_table.hpp"
#include "zk_number.h"
#include "zkerr.h"

namespace hestrel::text::tokens {

namespace {

constexpr int growth = 20;

// The continuation line of a bad-index report, indented under the message.
void report_bad_index(const char *message, const char *indent, int index, int count) {
  zkerr_throw(-1, ZKERR_WARNING, message, index);
  zkerr_throw(-1, ZKERR_WARNING, "%s:  only %d tokens in list\n", indent, count);
}

const char *const indent17 = "                 ";
const char *const indent21 = "                     ";
const char *const indent22 = "                      ";

bool index_ok(const token_tag &t, int index) { return index >= 0 && index < t.count; }

// Appends a token the list then owns; on failure the token is freed and the
// list is as it was.
int append_to(token_tag &t, char *token) {
  if (!token) {
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_add(): can't expand list \n");
    return -1;
  }
  if (t.count >= t.capacity) {
    void *grown = t.capacity <= INT_MAX - growth
                      ? reallocate(t.tokens, sizeof(char *) * static_cast<std::size_t>(t.capacity + growth))
                      : nullptr;
    if (!grown) {
      std::free(token);
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_add(): can't expand list \n");
      return -1;
    }
    t.tokens = static_cast<char **>(grown);
    t.capacity += growth;
  }
  t.tokens[t.count++] = token;
  return 0;
}

// A blank-filled token of max(length, width) characters holding string.
// A string that would not lie inside the token at its offset is placed
// right-aligned, so nothing is ever written outside the token.
char *padded(const char *string, int width, int left_justify, int offset) {
  std::size_t length = std::strlen(string);
  std::size_t size = width > 0 && static_cast<std::size_t>(width) > length ? static_cast<std::size_t>(width) : length;
  char *token = static_cast<char *>(allocate(size + 1));
  if (!token) return nullptr;
  std::memset(token, ' ', size);
  token[size] = '\0';
  std::size_t at = size - length;
  if (left_justify) {
    at = 0;
  } else if (offset > 0 && static_cast<std::size_t>(offset) <= size - length) {
    at = static_cast<std::size_t>(offset);
  }
  std::memcpy(token + at, string, length);
  return token;
}

void free_tokens(token_tag &t) {
  for (int i = 0; i < t.count; ++i) std::free(t.tokens[i]);
  t.count = 0;
}

struct Width {
  bool on;
  int width, left_justify, offset;
};

// Appends copies of source's tokens. The number to copy is fixed when the
// copy starts, so a list merged into itself doubles instead of growing
// without end; a token that fails to be added is skipped.
void append_all(token_tag &dest, token_tag &source, const Width &w) {
  int n = source.count;
  for (int i = 0; i < n && i < source.count; ++i) {
    const char *text = source.tokens[i];
    char *copy = w.on ? padded(text, w.width, w.left_justify, w.offset) : duplicate(text);
    append_to(dest, copy);
  }
}

int copy_or_merge(int dest, int source, bool clear_first, const Width &w, const char *dest_message,
                  const char *source_message) {
  token_tag *d = lookup(dest);
  if (!d) {
    zkerr_throw(-1, ZKERR_WARNING, dest_message, dest);
    return -1;
  }
  token_tag *s = lookup(source);
  if (!s) {
    zkerr_throw(-1, ZKERR_WARNING, source_message, source);
    return -1;
  }
  if (clear_first) free_tokens(*d);
  append_all(*d, *s, w);
  return 0;
}

}  // namespace

int append_owned(token_tag &t, char *token) { return append_to(t, token); }

void *allocate(std::size_t size) { return std::malloc(size); }
void *allocate_zeroed(std::size_t size) { return std::calloc(size, 1); }
void *reallocate(void *block, std::size_t size) { return std::realloc(block, size); }
char *duplicate(const char *text) { return strdup(text); }

std::vector<token_tag> &toks() {
  // Never destroyed: lists may still be used by other objects' destructors
  // at exit, and lists a program leaves open stay reachable, not leaked.
  // Made in static storage, as an empty table allocates nothing: the first
  // use cannot fail.
  alignas(std::vector<token_tag>) static unsigned char storage[sizeof(std::vector<token_tag>)];
  static std::vector<token_tag> *table = new (storage) std::vector<token_tag>;
  return *table;
}

int num_toks() { return static_cast<int>(toks().size()); }

token_tag *lookup(int handle) {
  if (handle < 0 || handle >= num_toks()) return nullptr;
  token_tag &t = toks()[static_cast<std::size_t>(handle)];
  return t.in_use == 1 ? &t : nullptr;
}

int new_list() {
  std::vector<token_tag> &table = toks();
  int handle = -1;
  for (std::size_t i = table.size(); i-- > 0;) {
    if (table[i].in_use == 0) {
      handle = static_cast<int>(i);
      break;
    }
  }
  if (handle < 0) {
    if (table.size() >= static_cast<std::size_t>(INT_MAX)) {
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): can't expand the table of lists \n");
      return -1;
    }
    try {
      table.emplace_back();
    } catch (const std::bad_alloc &) {
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): can't expand the table of lists \n");
      return -1;
    }
    handle = static_cast<int>(table.size() - 1);
  }
  token_tag &t = table[static_cast<std::size_t>(handle)];
  t = token_tag();
  t.in_use = 1;
  // Without memory for the default set the list quotes only empty tokens.
  t.quoted_chars = duplicate(" ");
  return handle;
}

}  // namespace hestrel::text::tokens

using hestrel::text::tokens::lookup;
using hestrel::text::tokens::token_tag;
namespace tk = hestrel::text::tokens;

extern "C" {

int zktoken_initialize(void) { return 0; }

void zktoken_terminate(void) {}

int zktoken_add(int handle, const char *string) {
  if (!string) return 0;
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_add(): bad tok index = %d \n", handle);
    return -1;
  }
  return tk::append_to(*t, tk::duplicate(string));
}

int zktoken_addn(int handle, const char *string, int width, int left_justify, int offset) {
  if (!string) return 0;
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_add(): bad tok index = %d \n", handle);
    return -1;
  }
  return tk::append_to(*t, tk::padded(string, width, left_justify, offset));
}

int zktoken_delete(int handle) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_delete(): bad tok index = %d \n", handle);
    return -1;
  }
  tk::free_tokens(*t);
  std::free(t->tokens);
  for (int i = 0; i < t->n_regex; ++i) std::free(t->regex[i]);
  std::free(t->regex);
  std::free(t->quoted_chars);
  *t = token_tag();
  return 0;
}

int zktoken_delete_token(int handle, int index) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_delete_token(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_delete_token(): bad index = %d \n", tk::indent22, index, t->count);
    return -1;
  }
  std::free(t->tokens[index]);
  std::memmove(t->tokens + index, t->tokens + index + 1,
               sizeof(char *) * static_cast<std::size_t>(t->count - index - 1));
  --t->count;
  return 0;
}

int zktoken_clear(int handle) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_clear(): bad tok index = %d \n", handle);
    return -1;
  }
  tk::free_tokens(*t);
  return 0;
}

int zktoken_copy(int dest, int source) {
  return tk::copy_or_merge(dest, source, true, {false, 0, 0, 0}, "zktoken_copy(): bad dest index = %d \n",
                           "zktoken_copy(): bad source index = %d \n");
}

int zktoken_copyn(int dest, int source, int width, int left_justify, int offset) {
  return tk::copy_or_merge(dest, source, true, {true, width, left_justify, offset},
                           "zktoken_copy(): bad dest index = %d \n", "zktoken_copy(): bad source index = %d \n");
}

int zktoken_merge(int dest, int source) {
  return tk::copy_or_merge(dest, source, false, {false, 0, 0, 0}, "zktoken_merge(): bad dest index = %d \n",
                           "zktoken_merge(): bad source index = %d \n");
}

int zktoken_mergen(int dest, int source, int width, int left_justify, int offset) {
  return tk::copy_or_merge(dest, source, false, {true, width, left_justify, offset},
                           "zktoken_mergen(): bad dest index = %d \n", "zktoken_mergen(): bad source index = %d \n");
}

int zktoken_replace(int handle, int index, const char *string) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_replace(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_replace(): bad index = %d \n", tk::indent17, index, t->count);
    return -1;
  }
  if (!string) return -1;
  char *copy = tk::duplicate(string);
  if (!copy) {
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_replace(): can't allocate token \n");
    return -1;
  }
  std::free(t->tokens[index]);
  t->tokens[index] = copy;
  return 0;
}

char *zktoken_get_token(int handle, int index) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_get_token(): bad tok index = %d \n", handle);
    return nullptr;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_get_token(): bad index = %d \n", tk::indent17, index, t->count);
    return nullptr;
  }
  return t->tokens[index];
}

char *zktoken_get_string(int handle) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_get_string(): bad tok index = %d \n", handle);
    return nullptr;
  }
  if (t->count == 0) {
    char *empty = static_cast<char *>(tk::allocate_zeroed(1));
    if (!empty) zkerr_throw(-1, ZKERR_FATAL, "zktoken_get_string(): can't allocate string\n");
    return empty;
  }
  int *need_quotes = static_cast<int *>(tk::allocate(sizeof(int) * static_cast<std::size_t>(t->count)));
  if (!need_quotes) {
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_get_string(): can't allocate need_quotes array\n");
    return nullptr;
  }
  const char *quoted = t->quoted_chars ? t->quoted_chars : "";
  std::size_t size = 0;
  for (int i = 0; i < t->count; ++i) {
    const char *token = t->tokens[i];
    need_quotes[i] = token[0] == '\0' || std::strpbrk(token, quoted) != nullptr;
    size += std::strlen(token) + 1 + (need_quotes[i] ? 2 : 0);
  }
  char *result = static_cast<char *>(tk::allocate_zeroed(size));
  if (!result) {
    std::free(need_quotes);
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_get_string(): can't allocate string\n");
    return nullptr;
  }
  char *at = result;
  for (int i = 0; i < t->count; ++i) {
    if (i > 0) *at++ = ' ';
    if (need_quotes[i]) *at++ = '"';
    std::size_t length = std::strlen(t->tokens[i]);
    std::memcpy(at, t->tokens[i], length);
    at += length;
    if (need_quotes[i]) *at++ = '"';
  }
  std::free(need_quotes);
  return result;
}

int zktoken_num(int handle) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_num(): bad tok index = %d \n", handle);
    return -1;
  }
  return t->count;
}

int zktoken_find_type(int handle, int index) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_find_type(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_find_type(): bad index = %d \n", tk::indent21, index, t->count);
    return -1;
  }
  return zk_number_type(t->tokens[index]);
}

// The typed reads convert with the very parsers that classified the token:
// the C library's atoi and atof follow the locale's decimal point and read
// "+-5" (an integer by its class) as 0.
int zktoken_get_int(int handle, int index, int *value) {
  if (value) *value = 0;
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_get_int(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_get_int(): bad index = %d \n", tk::indent17, index, t->count);
    return -1;
  }
  int parsed = 0;
  if (!value || !hestrel::text::parse_int(t->tokens[index], parsed)) return -1;
  *value = parsed;
  return 0;
}

int zktoken_get_double(int handle, int index, double *value) {
  if (value) *value = 0;
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_get_double(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_get_double(): bad index = %d \n", tk::indent17, index, t->count);
    return -1;
  }
  if (!value) return -1;
  // An integer token reads as a double with the same value.
  double parsed = 0;
  if (!hestrel::text::parse_double(t->tokens[index], parsed)) return -1;
  *value = parsed;
  return 0;
}

int zktoken_index(int handle, const char *string) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_index(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!string) return -1;
  for (int i = 0; i < t->count; ++i)
    if (std::strcmp(t->tokens[i], string) == 0) return i;
  return -1;
}

int zktoken_indexn(int handle, const char *string, int n) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_indexn(): bad tok index = %d \n", handle);
    return -1;
  }
  if (!string) return -1;
  for (int i = 0; i < t->count; ++i)
    if (std::strncmp(t->tokens[i], string, static_cast<std::size_t>(n)) == 0) return i;
  return -1;
}

void zktoken_toupper(int handle) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_toupper(): bad tok index = %d \n", handle);
    return;
  }
  for (int i = 0; i < t->count; ++i)
    for (char *c = t->tokens[i]; *c; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
}

void zktoken_tolower_token(int handle, int index) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_tolower_token(): bad tok index = %d \n", handle);
    return;
  }
  if (!tk::index_ok(*t, index)) {
    tk::report_bad_index("zktoken_tolower_token(): bad index = %d \n", tk::indent17, index, t->count);
    return;
  }
  for (char *c = t->tokens[index]; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
}

void zktoken_set_quoted_characters(int handle, const char *characters) {
  token_tag *t = lookup(handle);
  if (!t) {
    zkerr_throw(-1, ZKERR_WARNING, "zktoken_set_quoted_characters(): bad tok index = %d \n", handle);
    return;
  }
  if (!characters) return;
  char *copy = tk::duplicate(characters);
  if (!copy) {
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_set_quoted_characters(): can't allocate the set \n");
    return;
  }
  std::free(t->quoted_chars);
  t->quoted_chars = copy;
}

int zktoken_in_use(int handle) { return lookup(handle) ? 1 : 0; }

}  // extern "C"
