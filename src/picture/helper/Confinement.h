#pragma once

#include <QString>

// The decoding helper's confinement, in two steps: limits set before it
// reads a byte of the picture, then a system-call filter once everything it
// loads is loaded.
namespace tivra::sandbox {

// About 1 GiB of address space, a few seconds of CPU, no core dump, and no
// new privileges through exec.
bool limitResources(QString* error);

// From here on the process may only read and write the descriptors it
// already has (and receive the picture on standard input), manage its memory and its threads, and
// exit: anything else (opening a file, a socket, exec, ...) kills it.
bool allowOnlyDecoding(QString* error);

} // namespace tivra::sandbox
