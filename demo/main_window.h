#pragma once
// The dialog: the operator's controls grouped by task (scan, print, paper,
// stored bitmaps, device, maintenance) beside the message panel, the result
// and the status panel. It owns the binding table and the session; its slots
// run on the GUI thread only.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "demo/binding.h"
#include "demo/message_panel.h"
#include "demo/picture_pane.h"
#include "demo/qt_view.h"
#include "demo/session.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tellerdesk {

constexpr const char* kDialogTitle = "TQ-RMX7 demo";
constexpr const char* kApplicationName = "Tellerdesk";

struct LibraryFiles {
    std::string device = "Kestrom.dll";
    std::string decode = "decode.dll";
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Binds the libraries and fills the controls. On a binding failure the
    // text is shown in a message box titled with the application's name (or
    // handed to the message-box hook), a close request is queued and the text
    // returned; "" when everything is bound.
    std::string initialise(const LibraryFiles& files = {});

    // Tests replace the modal message box and the file dialog.
    void setMessageBoxHook(std::function<void(const QString&)> hook) { boxHook_ = std::move(hook); }
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    Session* session() { return session_.get(); }
    const MessagePanel& panel() const { return panel_; }
    QString resultText() const;
    QString statusText() const;
    // The picture pane: the last scanned picture with what was read drawn over it.
    const PicturePane* picturePane() const { return picture_; }
    QPushButton* button(const QString& label) const;  // by its label, for tests
    QComboBox* combo(const QString& objectName) const;
    QCheckBox* check(const QString& objectName) const;
    QLineEdit* edit(const QString& objectName) const;

public slots:
    void bringToFront();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onMessage(const QString& text);
    void onProgress(const QString& text);
    void onResult(const QString& text);
    void onStatus(const QString& text);
    void onControls(bool device, bool openPort, bool downloadFile);
    void onBitmapNames(const QStringList& names, int selected);
    void onMessageBox(const QString& text);
    void onPicture(const QImage& image, double rowsPerDot);
    void syncForm();
    void onScanTypeChanged(int index);
    void onFontTypeChanged(int index);
    void updateEnabling();

private:
    void buildUi();
    void fillControls();
    void showBox(const QString& text);
    std::string chooseFile(const std::string& filter);
    QPushButton* addButton(const QString& label, std::function<void()> action);

    Binding binding_;
    QtView view_;
    std::unique_ptr<Session> session_;
    MessagePanel panel_;
    std::function<void(const QString&)> boxHook_;
    FileChooser chooser_;
    bool deviceEnabled_ = false;
    bool applyingPresets_ = false;

    QPlainTextEdit* messages_ = nullptr;
    QPlainTextEdit* result_ = nullptr;
    QPlainTextEdit* status_ = nullptr;
    PicturePane* picture_ = nullptr;
    QPushButton* openPort_ = nullptr;
    QPushButton* downloadFile_ = nullptr;
    QPushButton* exit_ = nullptr;
    QList<QWidget*> deviceControls_;
};

}  // namespace tellerdesk
