#pragma once

class QCoreApplication;

// SIGINT and SIGTERM end the application's event loop instead of the
// process, so that a simulator can close its record and undo what it set up.
// The signal handler only writes a byte into a socket pair; the event loop
// reads it and quits.
void quitOnTerminationSignals(QCoreApplication& app);
