// For people, the end-to-end tests and the benchmarks: with $DIALDECK_GRAB=FILE
// set, the window saves a picture of itself to FILE shortly after a call
// connects; with $DIALDECK_TRACE_STATES set, each state change of the control
// and the window's first showing are written to standard error with the
// monotonic clock's time in seconds.
#pragma once

namespace dialdeck {

class MainWindow;
void grab_when_connected(MainWindow& window);
void trace_states(MainWindow& window);
void trace_event(const char* what);

}  // namespace dialdeck
