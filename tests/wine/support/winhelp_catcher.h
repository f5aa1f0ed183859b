#pragma once
// The help viewer's stand-in (sim/desktop), under the tests' own names.
#include "help_viewer.h"

namespace orvtest {

using desktop::HelpRequest;
using desktop::WinHelpCatcher;

}  // namespace orvtest
