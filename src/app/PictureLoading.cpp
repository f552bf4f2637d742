#include "PictureLoading.h"

#include "picture/DecodeJob.h"
#include "picture/DecoderProcess.h"

#include <QApplication>
#include <QFileInfo>
#include <QShortcut>
#include <QWidget>
#include <utility>

using tivra::DecodeJob;
using tivra::DecoderProcess;
using tivra::PictureLoadResult;

PictureLoading::PictureLoading(QWidget* window)
    : QObject(window), window_(window),
      cancelKey_(new QShortcut(QKeySequence(Qt::Key_Escape), window)) {
    cancelKey_->setEnabled(false);
    connect(cancelKey_, &QShortcut::activated, this, &PictureLoading::cancel);
}

PictureLoading::~PictureLoading() {
    decoding_.reset();
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void PictureLoading::setHelper(const QString& program) {
    helper_ = program;
    ahead_.reset();
}

void PictureLoading::startAhead() {
    if (!helper_.isEmpty() && !ahead_)
        ahead_ = std::make_unique<DecoderProcess>(helper_);
}

void PictureLoading::dropAhead() {
    ahead_.reset();
}

void PictureLoading::takeAsked(AskedPicture asked) {
    asked_ = std::move(asked);
}

bool PictureLoading::decode(const PictureRequest& request) {
    if (busy_)
        return false;
    request_ = request;
    setBusy(true);
    AskedPicture asked = std::exchange(asked_, AskedPicture{});
    if (asked.job && request.purpose == PictureRequest::Purpose::Load &&
        request.path == asked.request.path) {
        request_.maxDecoded = asked.request.maxDecoded;
        decoding_ = std::move(asked.job);
        connect(decoding_.get(), &DecodeJob::finished, this, &PictureLoading::helperAnswered);
        return true;
    }
    if (helper_.isEmpty()) {
        // Decoded here, from the event loop, as a helper's answer would come.
        QMetaObject::invokeMethod(
            this,
            [this] { helperAnswered(tivra::loadPicture(request_.path, request_.maxDecoded)); },
            Qt::QueuedConnection);
        return true;
    }
    startHelper();
    return true;
}

void PictureLoading::startHelper() {
    decoding_ = std::make_unique<DecodeJob>(helper_, std::move(ahead_));
    connect(decoding_.get(), &DecodeJob::finished, this, &PictureLoading::helperAnswered);
    decoding_->start(request_.path, QFileInfo(request_.name).suffix(), request_.maxDecoded);
}

void PictureLoading::cancel() {
    if (decoding_)
        decoding_->cancel();
}

void PictureLoading::replaceWith(const QString& path, const QString& name) {
    if (!decoding_)
        return;
    next_ = request_;
    next_.path = path;
    next_.name = name;
    decoding_->cancel();
}

void PictureLoading::helperAnswered(const PictureLoadResult& result) {
    const bool givenUp = decoding_ && decoding_->cancelled();
    // The decode is over; it goes once it has finished telling so.
    if (decoding_)
        decoding_.release()->deleteLater();
    if (givenUp && !next_.path.isEmpty()) {
        // Still busy: the dropped picture takes the place of the first.
        request_ = std::exchange(next_, PictureRequest{});
        startHelper();
        return;
    }
    const PictureRequest request = request_;
    setBusy(false);
    if (givenUp)
        emit cancelled(request);
    else
        emit decoded(request, result);
}

void PictureLoading::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    cancelKey_->setEnabled(busy);
    // A very large photo takes a moment: the pointer says so.
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
    emit busyChanged(busy);
}
