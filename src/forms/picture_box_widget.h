#pragma once

#include <QImage>
#include <QWidget>

namespace zelvia::rt {

// Shows a persistent image; the picture box draws into it.
class PictureBoxWidget final : public QWidget {
    Q_OBJECT
public:
    explicit PictureBoxWidget(QWidget* parent);

    QImage& canvas() { return canvas_; }
    // A fresh canvas of the widget's size at its device pixel ratio, filled with the background.
    void resetCanvas();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage canvas_;
};

} // namespace zelvia::rt
