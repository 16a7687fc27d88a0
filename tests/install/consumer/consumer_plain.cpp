// C++ through hestrel::hestrel alone: the error and path headers need C++17
// and no Qt.
#include <hestrel/pelmoravine_paths.hpp>
#include <hestrel/zkerr.hpp>

#include <cstdio>

int main() {
  pelmoravine::vardel::CaptureZKErr capture(-1);
  zkerr_throw(-1, 4, "captured\n");
  std::printf("%s", capture.getMessages().c_str());
  return 0;
}
