#pragma once
// The Save As dialog answered as a user would (sim/desktop), under the tests' own names.
#include "save_as.h"

namespace orvtest {

using desktop::SaveAsDriver;
using desktop::SaveAsSeen;
using desktop::SaveAsStep;

}  // namespace orvtest
