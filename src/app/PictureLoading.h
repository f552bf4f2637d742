#pragma once

#include "picture/PictureLoader.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <memory>

namespace tivra {
class DecodeJob;
class DecoderProcess;
} // namespace tivra
class QShortcut;
class QWidget;

// One picture to decode, and what for.
struct PictureRequest {
    enum class Purpose {
        Load,    // the player's picture, for a new board
        Sharpen, // the picture on the board again, for a screen that shows more of it
    };
    Purpose purpose = Purpose::Load;
    QString path; // to open it by
    QString name; // as the player sees it; its ending hints at the format
    QSize maxDecoded;
};

// A decode already asked of its helper, and what for.
struct AskedPicture {
    PictureRequest request;
    std::unique_ptr<tivra::DecodeJob> job;
};

// Turns picture files into pictures for the main window, one at a time,
// without ever making it wait: each file is decoded in the confined helper
// program and the answer comes back as a signal. Meanwhile the pointer says
// the game is busy and Esc gives up.
//
// A helper can be started ahead of its picture (a file dialog opens, a drag
// comes in), so that it is ready by the time the picture is chosen.
class PictureLoading : public QObject {
    Q_OBJECT
public:
    // `window`: where Esc is taken and the busy pointer shown.
    explicit PictureLoading(QWidget* window);
    ~PictureLoading() override;

    // The helper program; none decodes in this process (the benchmarks'
    // baseline).
    void setHelper(const QString& program);
    void startAhead();
    // A decode asked before the window existed (the command line's
    // picture): the request for its file takes it over, at the size it was
    // asked for.
    void takeAsked(AskedPicture asked);
    // The picture went elsewhere: a helper started ahead is stopped.
    void dropAhead();

    // Starts decoding; false while another decode is under way.
    bool decode(const PictureRequest& request);
    bool busy() const { return busy_; }
    const PictureRequest& request() const { return request_; }
    // Gives up the decode under way: cancelled() follows.
    void cancel();
    // Gives it up for another file, decoded for the same purpose and size.
    void replaceWith(const QString& path, const QString& name);
    // The decode under way in a helper, if any.
    tivra::DecodeJob* decoding() const { return decoding_.get(); }

signals:
    void busyChanged(bool busy);
    // The helper's answer: a picture, or the reason there is none.
    void decoded(const PictureRequest& request, const tivra::PictureLoadResult& result);
    // Given up (Esc, or the program ends), with nothing to tell the player.
    void cancelled(const PictureRequest& request);

private:
    void startHelper();
    void helperAnswered(const tivra::PictureLoadResult& result);
    void setBusy(bool busy);

    QWidget* window_;
    QShortcut* cancelKey_;
    QString helper_;
    std::unique_ptr<tivra::DecoderProcess> ahead_;
    std::unique_ptr<tivra::DecodeJob> decoding_;
    AskedPicture asked_;
    PictureRequest request_;
    PictureRequest next_; // dropped while the one before was decoding
    bool busy_ = false;
};
