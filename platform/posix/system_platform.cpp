#include "platform/posix/posix_ops.h"

const PlatformOps& SystemPlatform() {
  static const PlatformOps ops = {
#define HV_OP_SYSTEM(result, name, parameters, arguments, failure) .name = Posix_##name,
      HV_PLATFORM_OPERATIONS(HV_OP_SYSTEM)
#undef HV_OP_SYSTEM
  };
  return ops;
}
