#include "platform/ops.h"

PlatformOps g_platform = SystemPlatform();

const char* PlatformOpName(PlatformOp op) {
  static const char* const kNames[] = {
#define HV_OP_NAME(result, name, parameters, arguments, failure) #name,
      HV_PLATFORM_OPERATIONS(HV_OP_NAME)
#undef HV_OP_NAME
  };
  int index = static_cast<int>(op);
  return index >= 0 && index < static_cast<int>(PlatformOp::kCount) ? kNames[index] : "none";
}
