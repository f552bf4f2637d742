#pragma once

#include <functional>

namespace tivra {

// The decoding helper program (tivra-decode). Started by the game, it
// confines itself, loads every decoder, and waits on its standard input (a
// local socket) for the game's request (see DecodeRequest.h): a picture
// file, handed over open, and the board's size. It decodes that picture and
// writes the answer (see DecodeAnswer.h) to its standard output. The filter
// is in place before it reads a byte; `confined`, when given, runs once the
// picture has arrived (the tests' way to misbehave there).
// Returns the exit status: 0 whenever an answer was written.
int runConfinedDecoder(const std::function<void()>& confined = {});

} // namespace tivra
