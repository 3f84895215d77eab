// SPDX-License-Identifier: MIT
// The signals that stop a zavevuv run between files, and waiting on a list
// in a way they always end.
#pragma once

namespace zavevuv::cli {

// SIGINT, SIGTERM and SIGHUP set a flag instead of ending the process (no
// SA_RESTART, so a blocking call returns); one ignored at the start stays
// ignored, as under nohup.
void CatchStops();

// The stop signal that came, or 0.
int StopSignal();

// Waits until `fd` has input or has ended; false once a stop signal came,
// whenever it comes: it cannot slip in between the question and the wait.
bool AwaitInput(int fd);

}  // namespace zavevuv::cli
