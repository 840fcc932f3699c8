#include "demo/picture_pane.h"

#include <QPainter>

namespace tellerdesk {

PicturePane::PicturePane(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(80, 80);
}

void PicturePane::setPicture(const QImage& image, double rowsPerDot) {
    image_ = image;
    rowsPerDot_ = rowsPerDot > 0 && rowsPerDot <= 1 ? rowsPerDot : 1.0;
    rescale();
    update();
}

void PicturePane::rescale() {
    if (image_.isNull() || width() <= 0 || height() <= 0) {
        scaled_ = QPixmap();
        return;
    }
    // The picture's size on paper, in dots across, then fitted to the pane.
    const QSizeF paper(image_.width(), image_.height() / rowsPerDot_);
    const QSize fit = paper.scaled(QSizeF(size()), Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1));
    scaled_ = QPixmap::fromImage(image_.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void PicturePane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rescale();
}

void PicturePane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
    if (scaled_.isNull()) return;
    painter.drawPixmap((width() - scaled_.width()) / 2, (height() - scaled_.height()) / 2, scaled_);
}

}  // namespace tellerdesk
