#pragma once
// A request to end the program from outside (SIGINT, SIGTERM; on Windows Ctrl+C, Ctrl+Break and the console's
// close), noted rather than obeyed at once, so the program can end its work cleanly: finish the exchange in
// progress, close the port (which lifts its exclusive use), say what state it leaves.
namespace zelo::os {

// From now on the requests are caught: the handler only notes which one came (and wakes
// TerminationDescriptor). Calling it again changes nothing.
void CatchTerminationRequests();

// 0 while no request came; else the number of the first signal that came: 2 (SIGINT, Ctrl+C) or 15 (SIGTERM,
// Ctrl+Break, the console's close). A program that ends for it exits with 128 + that number.
int TerminationRequest();

// A descriptor that becomes readable when a request comes, for an event loop to watch (e.g. the window's);
// -1 where the system has none (Windows: the view asks TerminationRequest, or handles WM_ENDSESSION).
int TerminationDescriptor();

// Empties TerminationDescriptor once its wake-up has been seen, so a watcher is not woken again for the same
// request. TerminationRequest stays as it is.
void AcknowledgeTerminationRequest();

} // namespace zelo::os
