// The reference of the tokenizer's differential test: the step-by-step
// tokenizer the library used before its one-pass rewrite.
#ifndef HESTREL_TESTS_TEXT_REFERENCE_TOKENIZER_HPP
#define HESTREL_TESTS_TEXT_REFERENCE_TOKENIZER_HPP

#include <string>
#include <vector>

namespace token_test {

// The tokens the old tokenizer gave for a non-empty line, the defaults of
// the sets already applied; its reports go to the default handle as before.
std::vector<std::string> reference_tokens(const char *line, const char *separators, const char *pairs,
                                          const char *comments, const char *escapes, const char *specials);

}  // namespace token_test

#endif
