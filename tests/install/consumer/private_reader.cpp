// A caller that names the store's private typed reader: it must not compile.
#include <hestrel/zkpref.hpp>

int main() {
  ZKPREF store(ZKPREF_PRODUCTS(0), false);
  ZKpref_Err err;
  return store.get<int>("key", &err);
}
