#pragma once
// Whether the program talks to a person: a progress bar on a terminal, plain lines into a file or a pipe.

namespace zelo::os {

enum class StandardStream { Input, Output, Error };

// True when the stream is a terminal (a console window on Windows).
bool IsTerminal(StandardStream stream);

} // namespace zelo::os
