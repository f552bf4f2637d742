#pragma once

#include "paint/Surface.h"

#include <QWidget>

// Shows a surface 1:1 and passes the player's keys and presses on.
class SurfaceView : public QWidget, public tivra::SurfaceObserver {
    Q_OBJECT
public:
    SurfaceView(tivra::Surface& surface, QWidget* parent = nullptr);
    ~SurfaceView() override;

    // A sunken border this many pixels wide around the surface, which is
    // then shown that far in from the widget's top-left corner.
    void setSunkenFrame(int width);

    void surfaceRefreshed(const QRegion& area) override;
    void surfaceDrawn() override;
    void surfaceVisibilityChanged(bool visible) override;

signals:
    // In the board's key codes and button numbers (InputCodes.h).
    void keyPressed(int keyCode);
    void mousePressed(int button, float x, float y);
    void resized(QSize size);
    // Painted on a screen of another ratio than its surface's: moved there.
    void ratioChanged();
    // Just before the view draws its surface, which may still be drawn then.
    void aboutToPaint();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QRect onWidget(const QRect& area) const;

    tivra::Surface& surface_;
    int frame_ = 0;
    const QPaintEvent* painting_ = nullptr;
};
