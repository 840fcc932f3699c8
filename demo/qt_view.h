#pragma once
// Hands the workflows' reports to the dialog's thread: every call becomes a
// queued signal, so worker and operation threads never touch a widget.

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include "demo/session.h"

namespace tellerdesk {

class QtView : public QObject, public SessionView {
    Q_OBJECT
public:
    using QObject::QObject;

    void message(const std::string& text) override { emit messageAdded(QString::fromStdString(text)); }
    void progress(const std::string& text) override { emit progressChanged(QString::fromStdString(text)); }
    void result(const std::string& text) override { emit resultChanged(QString::fromStdString(text)); }
    void status(const std::string& text) override { emit statusChanged(QString::fromStdString(text)); }
    void controls(const ControlState& state) override {
        emit controlsChanged(state.device, state.openPort, state.downloadFile);
    }
    void bitmapNames(const std::vector<std::string>& names, int selected) override {
        QStringList list;
        for (const auto& n : names) list << QString::fromStdString(n);
        emit bitmapNamesChanged(list, selected);
    }
    void messageBox(const std::string& text) override {
        emit messageBoxRequested(QString::fromStdString(text));
    }
    // The raster becomes an image that owns its pixels before it crosses threads.
    void picture(annotate::Raster&& raster, double rowsPerDot) override {
        const QImage image(raster.pixels.data(), raster.width, raster.height, raster.width * 3,
                           QImage::Format_RGB888);
        emit pictureChanged(image.copy(), rowsPerDot);
    }

signals:
    void messageAdded(const QString& text);
    void progressChanged(const QString& text);
    void resultChanged(const QString& text);
    void statusChanged(const QString& text);
    void controlsChanged(bool device, bool openPort, bool downloadFile);
    void bitmapNamesChanged(const QStringList& names, int selected);
    void messageBoxRequested(const QString& text);
    void pictureChanged(const QImage& image, double rowsPerDot);
};

}  // namespace tellerdesk
