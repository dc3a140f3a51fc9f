#pragma once

namespace vantrel {

// Ctrl-C (SIGINT), SIGTERM and a closed terminal or SSH session (SIGHUP)
// call `onCancel`, which presses Cancel, so that the units in flight get
// their CNL and their record instead of dying with the program. A reader of
// the output that goes away (SIGPIPE) is ignored: the write fails with
// EPIPE and the program goes on without that output.
void InstallCancelSignals(void (*onCancel)(int));

// A reader of the output that goes away (SIGPIPE) is ignored alone.
void IgnoreLostReaders();

}  // namespace vantrel
