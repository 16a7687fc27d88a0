// The parsers behind number classification, shared with the token lists'
// typed reads so that a token converts exactly as it was classified.
#ifndef HESTREL_TEXT_INTERNAL_NUMBER_TEXT_HPP
#define HESTREL_TEXT_INTERNAL_NUMBER_TEXT_HPP

namespace hestrel::text {

// The text with one leading '+' skipped. string must not be NULL.
const char *number_body(const char *string);
// True when the whole body is a base-10 int in range; value is set then.
bool parse_int(const char *string, int &value);
// True when the whole body is a double in range (general format); value set.
bool parse_double(const char *string, double &value);

}  // namespace hestrel::text

#endif
