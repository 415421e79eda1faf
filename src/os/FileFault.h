#pragma once
// Inside the OS layer: asks the injector of InjectFileFaults about one step.
#include "os/Files.h"

namespace zelo::os {

// The error number to fail the step with, or 0.
int InjectedFileFault(FileStep step);

} // namespace zelo::os
