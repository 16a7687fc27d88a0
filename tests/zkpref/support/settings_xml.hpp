// Small preference-file fixtures for the store tests: key records written
// as the XML settings format holds them, one element per path part.
#ifndef HESTREL_TESTS_ZKPREF_SETTINGS_XML_HPP
#define HESTREL_TESTS_ZKPREF_SETTINGS_XML_HPP

#include <sstream>
#include <string>
#include <vector>

namespace zkpref_test {

struct Record {
  std::string key;         // g/k, or g/k:os=linux for a platform variant
  std::string dt;          // type name
  std::string value;       // text
  std::string extra = "";  // further attributes, as name="value" text
};

inline std::string record_xml(const Record &r) {
  std::string path = r.key, os;
  const auto colon = path.find(":os=");
  if (colon != std::string::npos) {
    os = path.substr(colon + 4);
    path = path.substr(0, colon);
  }
  std::istringstream parts(path);
  std::string part, open, close;
  std::string last;
  std::string all[16];
  int n = 0;
  while (std::getline(parts, part, '/')) all[n++] = part;
  for (int i = 0; i < n - 1; ++i) {
    open += "<" + all[i] + ">";
    close = "</" + all[i] + ">" + close;
  }
  std::string attributes = " dt=\"" + r.dt + "\"";
  if (!r.extra.empty()) attributes += " " + r.extra;
  if (!os.empty()) attributes += " os=\"" + os + "\"";
  return open + "<" + all[n - 1] + attributes + ">" + r.value + "</" + all[n - 1] + ">" + close;
}

inline std::string settings_xml(const std::vector<Record> &records) {
  std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ApplicationSettings>";
  for (const Record &r : records) body += record_xml(r);
  return body + "</ApplicationSettings>\n";
}

}  // namespace zkpref_test

#endif
