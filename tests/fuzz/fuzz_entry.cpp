// The libFuzzer entry of the target HV_FUZZ_TARGET names.
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HV_FUZZ_TARGET(data, size);
  return 0;
}
