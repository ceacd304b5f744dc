#include "platform/ops.h"

PlatformOps g_platform = SystemPlatform();
