// SPDX-License-Identifier: MIT
// The signals that stop a zavevuv run between files, and waiting on a list
// in a way they always end.
#pragma once

namespace zavevuv::cli {

// SIGINT, SIGTERM and SIGHUP set a flag instead of ending the process (no
// SA_RESTART, so a blocking call returns); one ignored at the start stays
// ignored, as under nohup. SIGPIPE is ignored: a closed standard output is
// told by the write that fails (see StopBy), so that it stops the run between
// files, never in the middle of one.
void CatchStops();

// The run stops as by `signal`, as if it had come (a closed pipe: SIGPIPE).
void StopBy(int signal);

// The stop signal that came, or 0.
int StopSignal();

// Waits until `fd` has input or has ended; false once a stop signal came,
// whenever it comes: it cannot slip in between the question and the wait.
bool AwaitInput(int fd);

}  // namespace zavevuv::cli
