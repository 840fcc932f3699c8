#pragma once
// The picture pane: the last scanned picture with what was read drawn over
// it, scaled to fit the pane with its proportions kept (rows of a 4 lines/mm
// scan are shown twice as tall as a dot is wide, as on the paper).

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace tellerdesk {

class PicturePane : public QWidget {
    Q_OBJECT
public:
    explicit PicturePane(QWidget* parent = nullptr);

    // Shows `image`, whose rows are `rowsPerDot` of a dot across tall.
    void setPicture(const QImage& image, double rowsPerDot);
    const QImage& picture() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();

    QImage image_;
    double rowsPerDot_ = 1.0;
    QPixmap scaled_;  // image_ at the pane's size, made once per picture and size
};

}  // namespace tellerdesk
