#include "support/startup_error.h"

#include <glog/logging.h>

void FailStartup(const StartupError& error) { LOG(FATAL) << error.reason; }
