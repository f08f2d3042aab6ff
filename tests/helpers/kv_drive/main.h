#pragma once
// The command table: what a command that is given wrong arguments answers.

namespace kvdrive {

// Prints how kv_drive is called; gives the exit code of a failure, 1.
int Usage();

}  // namespace kvdrive
