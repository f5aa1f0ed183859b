#pragma once
// Module1: the reset program's only code module.

namespace Module1 {

// The start-up procedure: removes the add-in's toolbar button and menu item from the mail
// client, disconnects the add-in and quits the client, then ends the process (exit code 0).
// Any failure ends it with an error box instead (exit code 1); what was done stays done.
[[noreturn]] void Main();

}  // namespace Module1
