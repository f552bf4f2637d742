#pragma once

#include "PictureLoader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

namespace tivra {

// What the decoding helper writes back to the game: a decoded picture (its
// own size and the pixels decoded for the board) or the reason it was
// refused. The game trusts nothing in it: an answer that does not hold
// together is refused like a bad picture.
//
// The answer goes to `send` a block at a time: its header, then the
// picture's pixels, row after row, as they lie in its image, not copied
// (in one block where the rows follow each other without a gap). The
// picture is turned into 32-bit pixels first where it is not. False once
// `send` fails.
bool sendDecodeAnswer(PictureLoadResult result, const std::function<bool(QByteArrayView)>& send);
// The whole answer in one array.
QByteArray encodeDecodeAnswer(const PictureLoadResult& result);
PictureLoadResult parseDecodeAnswer(const QByteArray& answer);

// The most an answer can hold: the largest picture decoded for a board, with
// room to spare.
constexpr qint64 kLargestDecodeAnswer = qint64(600) << 20;

} // namespace tivra
