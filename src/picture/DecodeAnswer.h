#pragma once

#include "PictureLoader.h"

#include <QByteArray>

// What the decoding helper writes back to the game: a decoded picture (its
// own size and the pixels decoded for the board) or the reason it was
// refused. The game trusts nothing in it: an answer that does not hold
// together is refused like a bad picture.
QByteArray encodeDecodeAnswer(const PictureLoadResult& result);
// The same answer in two parts, the pixels not copied: the header, then the
// image's rows (which the header's sizes describe), to be sent in turn.
QByteArray encodeDecodeAnswerHeader(const PictureLoadResult& result);
PictureLoadResult parseDecodeAnswer(const QByteArray& answer);

// The most an answer can hold: the largest picture decoded for a board, with
// room to spare.
constexpr qint64 kLargestDecodeAnswer = qint64(600) << 20;
