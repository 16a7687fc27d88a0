// What a search can tell from the program before its first attempt: the
// characters a match can begin with, found from the program's first node
// through groups and alternatives, so that an unanchored search tries only
// the start positions where an attempt can get past its first step
// ((backup|tmp|old) on file names: 1106 ns a name tried at every position,
// 164 ns at those the set leaves; (IMG|DSC)_[0-9]+\.jpg$: 1342 ns, 56 ns);
// and a literal every match holds.
#ifndef HESTREL_TEXT_FIRST_CHARS_HPP
#define HESTREL_TEXT_FIRST_CHARS_HPP

namespace hestrel::text::regexp {

struct FirstChars {
  // For each byte, first_bit when a match may begin with it (and for the
  // NUL, where a scan stops), second_bit when it may be the byte after a
  // match's first; a byte each, so a scan tests one load a character
  // (instructions a file name with a bit a byte, and so: (\.bak|~)$ 1130
  // and 1066, [Ss]ky|[Dd]ark|[Ff]lat 1292 and 1215). The second byte
  // passes over most starts that hold a first one (instructions a file
  // name with the first byte alone, and with both: [Ss]ky|[Dd]ark|[Ff]lat
  // 1158 and 947, (backup|tmp|old) 1417 and 1199, (\.bak|~)$ 1013 and 851).
  static constexpr unsigned char first_bit = 1;
  static constexpr unsigned char second_bit = 2;
  static constexpr unsigned char end_bit = 4;  // the NUL's alone
  alignas(16) unsigned char stops[256];
  bool at_start;    // a match may also begin at the start of the subject
  bool anywhere;    // no set: an attempt may match at any position
  bool any_second;  // no set for the second byte: any may follow the first

  // The first position from at on where an attempt may match, or null when
  // none is left; bol is the start of the subject. The byte after one that
  // is not the NUL may be read.
  const char *next(const char *bol, const char *at) const {
    if (anywhere || (at_start && at == bol)) return at;
    const auto *s = reinterpret_cast<const unsigned char *>(at);
    if (any_second) {
      while (!(stops[*s] & first_bit)) ++s;
      return *s != '\0' ? reinterpret_cast<const char *>(s) : nullptr;
    }
    // Both bytes in one test: a first byte whose second fails is no branch
    // the scan mispredicts (ns a file name with a branch for each byte's
    // test, and so, though with more instructions: [Ss]ky|[Dd]ark|[Ff]lat 92
    // and 65, (backup|tmp|old) 90 and 72, (\.bak|~)$ 73 and 60).
    for (;; ++s) {
      const unsigned char here = stops[*s];
      if (here & end_bit) return nullptr;
      if (here & (stops[s[1]] >> 1) & first_bit) return reinterpret_cast<const char *>(s);
    }
  }
};

// Fills set for the program whose first node is program. Whatever the walk
// cannot tell (a node that can match the empty string at the end, a long or
// malformed program) gives a set that lets every position be tried, so an
// attempt left out always fails at its first step without a report.
__attribute__((visibility("hidden"))) void first_chars(const unsigned char *program, FirstChars &set);

// The longest literal that every match of a program of one branch passes
// (on the chain of its successors, outside choices and repetitions; the
// later of two as long), or null. A subject without it has no match; a
// program whose chain the walk cannot follow to its end gives null, so the
// search still meets and reports what is wrong with it.
__attribute__((visibility("hidden"))) const char *mandatory_literal(const unsigned char *program);

}  // namespace hestrel::text::regexp

#endif
