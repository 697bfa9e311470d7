#pragma once

namespace windowing {

// Readies the standard streams for a command. On Windows a windowed program
// has no console of its own, so output that no one redirected goes to the
// console it was started from, if there is one. Elsewhere a reader of the
// output that goes away (a script's `| head`) ends nothing, as a write then
// fails instead of killing the program; and a standard stream the starter
// closed (`>&-`) is kept open on nowhere, so that no file the command opens
// later takes its number and gets its lines. False when standard output was
// closed: what is written there is lost.
bool useStartingConsole();

} // namespace windowing
