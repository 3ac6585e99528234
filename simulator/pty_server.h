// The pseudo-terminal front end: one decade behind a pty, served on a background thread.
// The serial layer opens the slave side like any serial port; the server answers each line
// as soon as its line feed has arrived. (sim::PtyServer lives with the TCP front end in
// decade_server.h; both share the stream server.)
#pragma once

#include "simulator/decade_server.h"
