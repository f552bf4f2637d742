#pragma once

#include <functional>

// The decoding helper program (tivra-decode): it decodes the picture file
// that is its standard input, already open, for a board of the size its
// first argument gives (WIDTHxHEIGHT; the second, if any, is the file name's
// ending), and writes the answer (see DecodeAnswer.h) to its standard
// output. It confines itself before it reads a byte; `confined`, when given,
// runs once the confinement is complete (the tests' way to misbehave there).
// Returns the exit status: 0 whenever an answer was written.
int runDecodeHelper(int argc, char** argv, const std::function<void()>& confined = {});
