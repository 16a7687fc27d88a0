// Copies lists and texts out to C callers in memory they free: all of it or
// nothing, so a failed allocation never leaves a partly filled array.
#ifndef HESTREL_ZKPREF_INTERNAL_C_COPY_HPP
#define HESTREL_ZKPREF_INTERNAL_C_COPY_HPP

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace hestrel::zkpref {

// The allocator behind every copy; tests put in one that fails.
struct CAllocator {
  void *(*allocate)(std::size_t) = &std::malloc;
};

inline char *copy_text(const std::string &text, const CAllocator &alloc = CAllocator()) {
  char *copy = static_cast<char *>(alloc.allocate(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// Frees the first n texts of an array and the array.
inline void free_texts(char **texts, std::size_t n) {
  if (!texts) return;
  for (std::size_t i = 0; i < n; ++i) std::free(texts[i]);
  std::free(texts);
}

// A new array of new copies of texts, NULL when texts is empty; false when
// an allocation failed (nothing is left allocated then).
inline bool copy_texts(const std::vector<std::string> &texts, char ***out, const CAllocator &alloc = CAllocator()) {
  *out = nullptr;
  if (texts.empty()) return true;
  char **array = static_cast<char **>(alloc.allocate(texts.size() * sizeof(char *)));
  if (!array) return false;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    array[i] = copy_text(texts[i], alloc);
    if (!array[i]) {
      free_texts(array, i);
      return false;
    }
  }
  *out = array;
  return true;
}

// One element of a values array: a number as it is, a text as a new copy.
template <typename Out, typename In>
bool copy_value(const In &in, Out &out, const CAllocator &) {
  out = static_cast<Out>(in);
  return true;
}
template <>
inline bool copy_value<char *, std::string>(const std::string &in, char *&out, const CAllocator &alloc) {
  out = copy_text(in, alloc);
  return out != nullptr;
}

template <typename Out>
void free_values(Out *values, std::size_t) {
  std::free(values);
}
template <>
inline void free_values<char *>(char **values, std::size_t n) {
  free_texts(values, n);
}

// The keys and the values of a list in its order, as two new arrays (NULL
// for an empty list) and their length; false with NULL, NULL and 0 when an
// allocation failed.
template <typename Out, typename In>
bool copy_list(const std::map<std::string, In> &list, char ***keys, Out **values, int *count,
               const CAllocator &alloc = CAllocator()) {
  *keys = nullptr;
  *values = nullptr;
  *count = 0;
  if (list.empty()) return true;
  std::vector<std::string> names;
  names.reserve(list.size());
  for (const auto &entry : list) names.push_back(entry.first);
  char **key_array = nullptr;
  if (!copy_texts(names, &key_array, alloc)) return false;
  Out *value_array = static_cast<Out *>(alloc.allocate(list.size() * sizeof(Out)));
  if (!value_array) {
    free_texts(key_array, list.size());
    return false;
  }
  std::size_t i = 0;
  for (const auto &entry : list) {
    if (!copy_value<Out, In>(entry.second, value_array[i], alloc)) {
      free_values(value_array, i);
      free_texts(key_array, list.size());
      return false;
    }
    ++i;
  }
  *keys = key_array;
  *values = value_array;
  *count = static_cast<int>(list.size());
  return true;
}

}  // namespace hestrel::zkpref

#endif
