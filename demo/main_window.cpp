#include "demo/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <variant>

namespace tellerdesk {

namespace {

// Where each field of the form lives: a list (its text for text members, its
// selection for int members), a line edit, or a check box. `preset` fields
// are set from the form's defaults when the window opens, in this order
// (the font type before its size, whose list it refills).
struct FormField {
    enum Kind { kList, kEdit, kCheck };
    const char* widget;
    Kind kind;
    std::variant<std::string FormState::*, int FormState::*, bool FormState::*> member;
    bool preset = true;
};

const FormField kFormFields[] = {
    {"border", FormField::kList, &FormState::border},
    {"scanWidth", FormField::kList, &FormState::scanWidth},
    {"scanHeight", FormField::kList, &FormState::scanHeight},
    {"printBuffer", FormField::kList, &FormState::printBuffer},
    {"pictureType", FormField::kList, &FormState::pictureType},
    {"scanDpi", FormField::kList, &FormState::dpi},
    {"saveType", FormField::kList, &FormState::saveType},
    {"scanType", FormField::kList, &FormState::scanType},
    {"actionAfterScan", FormField::kList, &FormState::actionAfterScan},
    {"actionAfterPrint", FormField::kList, &FormState::actionAfterPrint},
    {"printPicture", FormField::kCheck, &FormState::printPicture},
    {"printCharacter", FormField::kCheck, &FormState::printCharacter},
    {"auto", FormField::kCheck, &FormState::autoPrint},
    {"pictureName", FormField::kList, &FormState::pictureName, false},
    {"picHor", FormField::kEdit, &FormState::picHor, false},
    {"picVer", FormField::kEdit, &FormState::picVer, false},
    {"angle", FormField::kList, &FormState::angle},
    {"charHor", FormField::kEdit, &FormState::charHor, false},
    {"charVer", FormField::kEdit, &FormState::charVer, false},
    {"fontType", FormField::kList, &FormState::fontType},
    {"fontSize", FormField::kList, &FormState::fontSize},
    {"content", FormField::kEdit, &FormState::content, false},
    {"feedDirection", FormField::kList, &FormState::feedDirection},
    {"feedLength", FormField::kList, &FormState::feedLength},
    {"scanMode", FormField::kList, &FormState::scanMode},
    {"bitmapName", FormField::kEdit, &FormState::bitmapName, false},
    {"bitmapSide", FormField::kList, &FormState::bitmapSide},
    {"darkness", FormField::kList, &FormState::darkness},
    {"thresholdMethod", FormField::kList, &FormState::thresholdMethod},
    {"value1", FormField::kList, &FormState::value1},
    {"value2", FormField::kList, &FormState::value2},
    {"tphMode", FormField::kList, &FormState::tphMode},
    {"detectTime", FormField::kList, &FormState::detectTime},
};

// Widest the controls may grow, so the window fits a 1366 x 768 screen.
constexpr int kFieldWidth = 106;  // pixels
constexpr int kPanelWidth = 310;  // pixels, message panel column
constexpr int kWindowWidth = 1300;
constexpr int kWindowHeight = 700;

QStringList to_qt(const std::vector<std::string>& items) {
    QStringList out;
    for (const auto& s : items) out << QString::fromStdString(s);
    return out;
}

QComboBox* make_list(QWidget* parent, const QString& name, const std::vector<std::string>& items,
                     bool editable) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(editable);
    box->addItems(to_qt(items));
    box->setMaxVisibleItems(15);
    box->setMinimumWidth(kFieldWidth);
    return box;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), view_(this) {
    setWindowTitle(kDialogTitle);
    connect(&view_, &QtView::messageAdded, this, &MainWindow::onMessage, Qt::QueuedConnection);
    connect(&view_, &QtView::progressChanged, this, &MainWindow::onProgress, Qt::QueuedConnection);
    connect(&view_, &QtView::resultChanged, this, &MainWindow::onResult, Qt::QueuedConnection);
    connect(&view_, &QtView::statusChanged, this, &MainWindow::onStatus, Qt::QueuedConnection);
    connect(&view_, &QtView::controlsChanged, this, &MainWindow::onControls, Qt::QueuedConnection);
    connect(&view_, &QtView::bitmapNamesChanged, this, &MainWindow::onBitmapNames, Qt::QueuedConnection);
    connect(&view_, &QtView::messageBoxRequested, this, &MainWindow::onMessageBox, Qt::QueuedConnection);
    connect(&view_, &QtView::pictureChanged, this, &MainWindow::onPicture, Qt::QueuedConnection);
    buildUi();
    resize(kWindowWidth, kWindowHeight);
}

MainWindow::~MainWindow() {
    if (session_) session_->shutdown();
    session_.reset();
    binding_.unload();
}

std::string MainWindow::initialise(const LibraryFiles& files) {
    const std::string failure = binding_.bind(files.device, files.decode);
    if (!failure.empty()) {
        showBox(QString::fromStdString(failure));
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return failure;
    }
    session_ = std::make_unique<Session>(binding_.api(), view_);
    fillControls();
    onControls(false, true, true);
    return {};
}

void MainWindow::showBox(const QString& text) {
    if (boxHook_)
        boxHook_(text);
    else
        QMessageBox::warning(this, kApplicationName, text);
}

std::string MainWindow::chooseFile(const std::string& filter) {
    if (chooser_) return chooser_(filter);
    return QFileDialog::getOpenFileName(this, QString(), QString(), QString::fromStdString(filter))
        .toStdString();
}

QPushButton* MainWindow::addButton(const QString& label, std::function<void()> action) {
    auto* b = new QPushButton(label, this);
    b->setObjectName(label);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, action = std::move(action)] {
        if (session_) action();
    });
    return b;
}

void MainWindow::buildUi() {
    auto* central = new QWidget(this);
    auto* outer = new QHBoxLayout(central);
    auto* left = new QGridLayout;
    outer->addLayout(left, 1);

    auto device = [this](QWidget* w) {
        deviceControls_ << w;
        return w;
    };
    auto fill = [](QFormLayout* f) {
        f->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
        f->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };

    // ---- Scan ----
    auto* scan = new QGroupBox("Scan", central);
    auto* scanGrid = new QGridLayout(scan);
    auto* scanForm = new QFormLayout;
    fill(scanForm);
    scanForm->addRow("Scan type", device(make_list(scan, "scanType", scan_types(), false)));
    scanForm->addRow("Picture type", device(make_list(scan, "pictureType", picture_types(), false)));
    scanForm->addRow("Scan DPI", device(make_list(scan, "scanDpi", scan_dpis(), false)));
    scanForm->addRow("Save type", device(make_list(scan, "saveType", save_types(), false)));
    scanForm->addRow("Action after scan",
                     device(make_list(scan, "actionAfterScan", actions_after_scan(), false)));
    auto* scanForm2 = new QFormLayout;
    fill(scanForm2);
    scanForm2->addRow("Border width", device(make_list(scan, "border", number_list(0, 216), true)));
    scanForm2->addRow("Scan width", device(make_list(scan, "scanWidth", number_list(0, 216), true)));
    scanForm2->addRow("Scan height", device(make_list(scan, "scanHeight", number_list(0, 297), true)));
    scanForm2->addRow("Scan mode", device(make_list(scan, "scanMode", scan_modes(), false)));
    scanForm2->addRow("Threshold method",
                      device(make_list(scan, "thresholdMethod", threshold_methods(), false)));
    auto* values = new QHBoxLayout;
    values->addWidget(device(make_list(scan, "value1", number_list(0, 255), true)));
    values->addWidget(device(make_list(scan, "value2", number_list(0, 255), true)));
    scanForm2->addRow("Value 1 / 2", values);
    scanGrid->addLayout(scanForm, 0, 0);
    scanGrid->addLayout(scanForm2, 0, 1);
    auto* scanButtons = new QGridLayout;
    scanButtons->addWidget(device(addButton("Set scan mode", [this] { session_->setScanMode(); })), 0, 0);
    scanButtons->addWidget(device(addButton("Set threshold", [this] { session_->setThreshold(); })), 0, 1);
    scanButtons->addWidget(device(addButton("Get threshold value", [this] { session_->getThreshold(); })), 0,
                           2);
    scanButtons->addWidget(device(addButton("Get scan area", [this] { session_->getScanArea(); })), 1, 0);
    scanButtons->addWidget(device(addButton("Abort scan", [this] { session_->abortScan(); })), 1, 1);
    scanGrid->addLayout(scanButtons, 1, 0, 1, 2);
    left->addWidget(scan, 0, 0);

    // ---- Print ----
    auto* print = new QGroupBox("Print", central);
    auto* printGrid = new QGridLayout(print);
    auto* picture = new QCheckBox("Print picture", print);
    picture->setObjectName("printPicture");
    auto* character = new QCheckBox("Print character", print);
    character->setObjectName("printCharacter");
    auto* autoBox = new QCheckBox("Auto", print);
    autoBox->setObjectName("auto");
    auto* picForm = new QFormLayout;
    fill(picForm);
    picForm->addRow(device(picture));
    picForm->addRow("Picture name", device(make_list(print, "pictureName", {}, false)));
    auto* picHor = new QLineEdit("0", print);
    picHor->setObjectName("picHor");
    auto* picVer = new QLineEdit("20", print);
    picVer->setObjectName("picVer");
    picForm->addRow("Hor pos", device(picHor));
    picForm->addRow("Ver pos", device(picVer));
    picForm->addRow("Print buffer", device(make_list(print, "printBuffer", number_list(0, 297), true)));
    picForm->addRow("Action after print",
                    device(make_list(print, "actionAfterPrint", actions_after_print(), false)));
    picForm->addRow("Darkness", device(make_list(print, "darkness", number_list(0, 255), true)));
    auto* charForm = new QFormLayout;
    fill(charForm);
    charForm->addRow(device(character));
    charForm->addRow("Angle", device(make_list(print, "angle", angles(), false)));
    auto* charHor = new QLineEdit("0", print);
    charHor->setObjectName("charHor");
    auto* charVer = new QLineEdit("10", print);
    charVer->setObjectName("charVer");
    charForm->addRow("Hor pos", device(charHor));
    charForm->addRow("Ver pos", device(charVer));
    charForm->addRow("Font type", device(make_list(print, "fontType", font_types(), false)));
    charForm->addRow("Font size", device(make_list(print, "fontSize", font_sizes(kFontByte), false)));
    auto* content = new QLineEdit("Hello", print);
    content->setObjectName("content");
    charForm->addRow("Content", device(content));
    for (auto* e : {picHor, picVer, charHor, charVer}) e->setMaximumWidth(kFieldWidth);
    printGrid->addLayout(picForm, 0, 0);
    printGrid->addLayout(charForm, 0, 1);
    auto* printButtons = new QHBoxLayout;
    printButtons->addWidget(autoBox);
    printButtons->addWidget(device(addButton("Print Mark", [this] { session_->printMark(); })));
    printButtons->addWidget(device(addButton("Set darkness", [this] { session_->setDarkness(); })));
    printGrid->addLayout(printButtons, 1, 0, 1, 2);
    left->addWidget(print, 0, 1);

    // ---- Paper ----
    auto* paper = new QGroupBox("Paper", central);
    auto* paperGrid = new QGridLayout(paper);
    auto* paperForm = new QFormLayout;
    fill(paperForm);
    paperForm->addRow("Direction", device(make_list(paper, "feedDirection", feed_directions(), false)));
    paperForm->addRow("Length", device(make_list(paper, "feedLength", number_list(0, 255), true)));
    paperForm->addRow("TPH mode", device(make_list(paper, "tphMode", tph_modes(), false)));
    paperForm->addRow("Detect time", device(make_list(paper, "detectTime", number_list(0, 100), false)));
    paperGrid->addLayout(paperForm, 0, 0, 1, 2);
    paperGrid->addWidget(device(addButton("Feed paper", [this] { session_->feedPaper(); })), 1, 0);
    paperGrid->addWidget(device(addButton("Out Ticket", [this] { session_->outTicket(); })), 1, 1);
    paperGrid->addWidget(device(addButton("Back Ticket", [this] { session_->backTicket(); })), 2, 0);
    paperGrid->addWidget(device(addButton("Set TPH Mode", [this] { session_->setTphMode(); })), 2, 1);
    paperGrid->addWidget(device(addButton("Set Det Time", [this] { session_->setDetectTime(); })), 3, 0);
    paperGrid->addWidget(device(addButton("Get paper position", [this] { session_->getPaperPosition(); })), 3,
                         1);
    paperGrid->addWidget(device(addButton("Obviate paper error", [this] { session_->obviatePaperError(); })),
                         4, 0, 1, 2);
    left->addWidget(paper, 1, 0);

    // ---- Stored bitmaps ----
    auto* bitmaps = new QGroupBox("Stored bitmaps", central);
    auto* bitmapGrid = new QGridLayout(bitmaps);
    auto* bitmapForm = new QFormLayout;
    fill(bitmapForm);
    auto* bitmapName = new QLineEdit("PicName", bitmaps);
    bitmapName->setObjectName("bitmapName");
    bitmapName->setMaximumWidth(kFieldWidth);
    bitmapForm->addRow("Bitmap name", device(bitmapName));
    bitmapForm->addRow("Side", device(make_list(bitmaps, "bitmapSide", bitmap_sides(), false)));
    bitmapGrid->addLayout(bitmapForm, 0, 0, 1, 2);
    bitmapGrid->addWidget(
        device(addButton(
            "Download bitmap",
            [this] { session_->downloadBitmap([this](const std::string& f) { return chooseFile(f); }); })),
        1, 0, 1, 2);
    bitmapGrid->addWidget(device(addButton("Get bmp of fixed area", [this] { session_->getFixedBitmaps(); })),
                          2, 0);
    bitmapGrid->addWidget(
        device(addButton("Get bmp of casual area", [this] { session_->getCasualBitmaps(); })), 2, 1);
    bitmapGrid->addWidget(device(addButton("Erasure fixed area", [this] { session_->eraseFixedArea(); })), 3,
                          0);
    bitmapGrid->addWidget(device(addButton("Erasure Casual area", [this] { session_->eraseCasualArea(); })),
                          3, 1);
    bitmapGrid->setRowStretch(4, 1);  // spare room below the buttons, not between them
    left->addWidget(bitmaps, 1, 1);

    // ---- Device and maintenance ----
    auto* dev = new QGroupBox("Device", central);
    auto* devGrid = new QGridLayout(dev);
    openPort_ = addButton("Open port", [this] { session_->openPort(); });
    devGrid->addWidget(openPort_, 0, 0);
    devGrid->addWidget(device(addButton("Close port", [this] { session_->closePort(); })), 0, 1);
    devGrid->addWidget(device(addButton("Get version", [this] { session_->getVersion(); })), 1, 0);
    exit_ = new QPushButton("Exit", dev);
    exit_->setObjectName("Exit");
    connect(exit_, &QPushButton::clicked, this, &QWidget::close);
    devGrid->addWidget(exit_, 1, 1);
    left->addWidget(dev, 2, 0);

    auto* maintenance = new QGroupBox("Maintenance", central);
    auto* mGrid = new QGridLayout(maintenance);
    mGrid->addWidget(device(addButton("CIS correct", [this] { session_->cisCorrect(); })), 0, 0);
    mGrid->addWidget(device(addButton("Sensor correct", [this] { session_->sensorCorrect(); })), 0, 1);
    mGrid->addWidget(device(addButton("Reset device", [this] { session_->resetDevice(); })), 0, 2);
    mGrid->addWidget(
        device(addButton(
            "Update firmware",
            [this] { session_->updateFirmware([this](const std::string& f) { return chooseFile(f); }); })),
        1, 0);
    downloadFile_ = addButton("Download file", [this] {
        session_->downloadFile([this](const std::string& f) { return chooseFile(f); });
    });
    mGrid->addWidget(downloadFile_, 1, 1);
    left->addWidget(maintenance, 2, 1);
    left->setRowStretch(3, 1);

    // ---- Panels ----
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto panelBox = [&](const QString& title, QPlainTextEdit*& edit, int stretch, QVBoxLayout* column) {
        auto* box = new QGroupBox(title, central);
        auto* l = new QVBoxLayout(box);
        edit = new QPlainTextEdit(box);
        edit->setReadOnly(true);
        edit->setFont(mono);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        l->addWidget(edit);
        column->addWidget(box, stretch);
    };
    auto* right = new QVBoxLayout;
    panelBox("The Status Of Scanner", messages_, 6, right);
    panelBox("The Result Of Decode", result_, 4, right);
    // The picture pane, an addition below the result it shows.
    auto* pictureBox = new QGroupBox("Picture", central);
    auto* pictureLayout = new QVBoxLayout(pictureBox);
    picture_ = new PicturePane(pictureBox);
    picture_->setObjectName("picturePane");
    pictureLayout->addWidget(picture_);
    right->addWidget(pictureBox, 8);
    panelBox("Scanner Status", status_, 7, right);
    auto* rightWidget = new QWidget(central);
    rightWidget->setLayout(right);
    rightWidget->setFixedWidth(kPanelWidth);
    right->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(rightWidget);
    setCentralWidget(central);

    // The About entry.
    auto* help = menuBar()->addMenu("&Help");
    help->addAction("&About Tellerdesk_Windows...", this, [this] {
        QMessageBox::about(this, "About TQ-RMX7 demo", "Tellerdesk_Windows Version 1.0\nVersion 1.01");
    });

    // Every change of a choice refreshes the session's copy of the form.
    for (auto* c : findChildren<QComboBox*>()) {
        connect(c, &QComboBox::currentIndexChanged, this, &MainWindow::syncForm);
        connect(c, &QComboBox::editTextChanged, this, &MainWindow::syncForm);
    }
    for (auto* e : findChildren<QLineEdit*>())
        if (!qobject_cast<QComboBox*>(e->parentWidget()))
            connect(e, &QLineEdit::textChanged, this, &MainWindow::syncForm);
    for (auto* c : {picture, character, autoBox}) {
        connect(c, &QCheckBox::toggled, this, &MainWindow::syncForm);
        connect(c, &QCheckBox::toggled, this, &MainWindow::updateEnabling);
    }
    connect(combo("scanType"), &QComboBox::currentIndexChanged, this, &MainWindow::onScanTypeChanged);
    connect(combo("fontType"), &QComboBox::currentIndexChanged, this, &MainWindow::onFontTypeChanged);
}

void MainWindow::fillControls() {
    applyingPresets_ = true;
    const FormState f;
    for (const FormField& field : kFormFields) {
        if (!field.preset) continue;
        if (auto text = std::get_if<std::string FormState::*>(&field.member))
            combo(field.widget)->setCurrentText(QString::fromStdString(f.*(*text)));
        else if (auto index = std::get_if<int FormState::*>(&field.member))
            combo(field.widget)->setCurrentIndex(f.*(*index));
        else
            check(field.widget)->setChecked(f.*std::get<bool FormState::*>(field.member));
    }
    applyingPresets_ = false;
    syncForm();
}

void MainWindow::syncForm() {
    if (!session_ || applyingPresets_) return;
    FormState f;
    for (const FormField& field : kFormFields) {
        if (auto text = std::get_if<std::string FormState::*>(&field.member))
            f.*(*text) = (field.kind == FormField::kEdit ? edit(field.widget)->text()
                                                         : combo(field.widget)->currentText())
                             .toStdString();
        else if (auto index = std::get_if<int FormState::*>(&field.member))
            f.*(*index) = combo(field.widget)->currentIndex();
        else
            f.*std::get<bool FormState::*>(field.member) = check(field.widget)->isChecked();
    }
    session_->setForm(f);
}

void MainWindow::onScanTypeChanged(int index) {
    if (applyingPresets_ || index < 0) return;
    FormState f;
    f.pictureType = combo("pictureType")->currentIndex();
    apply_scan_type_presets(f, index);
    applyingPresets_ = true;
    combo("pictureType")->setCurrentIndex(f.pictureType);
    combo("scanDpi")->setCurrentIndex(f.dpi);
    combo("scanHeight")->setCurrentText(QString::fromStdString(f.scanHeight));
    combo("actionAfterScan")->setCurrentIndex(f.actionAfterScan);
    applyingPresets_ = false;
    syncForm();
}

void MainWindow::onFontTypeChanged(int index) {
    if (index < 0) return;
    auto* sizes = combo("fontSize");
    const bool was = applyingPresets_;
    applyingPresets_ = true;
    sizes->clear();
    sizes->addItems(to_qt(font_sizes(index)));
    sizes->setCurrentIndex(0);
    applyingPresets_ = was;
    syncForm();
}

void MainWindow::updateEnabling() {
    for (auto* w : deviceControls_) w->setEnabled(deviceEnabled_);
    const bool picture = check("printPicture")->isChecked();
    const bool character = check("printCharacter")->isChecked();
    const bool autoOn = check("auto")->isChecked();
    for (const char* name : {"pictureName"}) combo(name)->setEnabled(deviceEnabled_ && picture);
    for (const char* name : {"picHor", "picVer"}) edit(name)->setEnabled(deviceEnabled_ && picture);
    for (const char* name : {"angle", "fontType", "fontSize"})
        combo(name)->setEnabled(deviceEnabled_ && character);
    for (const char* name : {"charHor", "charVer", "content"})
        edit(name)->setEnabled(deviceEnabled_ && character);
    check("auto")->setEnabled(deviceEnabled_ && (picture || character));
    for (const char* name : {"Print Mark", "Out Ticket", "Back Ticket"})
        button(name)->setEnabled(deviceEnabled_ && !autoOn);
}

void MainWindow::onMessage(const QString& text) {
    panel_.add(text.toStdString());
    messages_->setPlainText(QString::fromStdString(panel_.text()));
}

void MainWindow::onProgress(const QString& text) {
    panel_.replaceTop(text.toStdString());
    messages_->setPlainText(QString::fromStdString(panel_.text()));
}

void MainWindow::onResult(const QString& text) {
    result_->setPlainText(QString::fromStdString(to_display_text(text.toStdString())));
}

void MainWindow::onStatus(const QString& text) {
    status_->setPlainText(QString::fromStdString(to_display_text(text.toStdString())));
}

void MainWindow::onControls(bool device, bool openPort, bool downloadFile) {
    deviceEnabled_ = device;
    openPort_->setEnabled(openPort);
    downloadFile_->setEnabled(downloadFile);
    updateEnabling();
}

void MainWindow::onBitmapNames(const QStringList& names, int selected) {
    auto* list = combo("pictureName");
    const QString current = list->currentText();
    applyingPresets_ = true;
    list->clear();
    list->addItems(names);
    if (selected == -2)
        list->setCurrentIndex(list->findText(current));
    else
        list->setCurrentIndex(selected);
    applyingPresets_ = false;
    syncForm();
}

void MainWindow::onMessageBox(const QString& text) {
    showBox(text);
}

void MainWindow::onPicture(const QImage& image, double rowsPerDot) {
    picture_->setPicture(image, rowsPerDot);
}

QString MainWindow::resultText() const {
    return result_->toPlainText();
}
QString MainWindow::statusText() const {
    return status_->toPlainText();
}

QPushButton* MainWindow::button(const QString& label) const {
    return findChild<QPushButton*>(label);
}
QComboBox* MainWindow::combo(const QString& name) const {
    return findChild<QComboBox*>(name);
}
QCheckBox* MainWindow::check(const QString& name) const {
    return findChild<QCheckBox*>(name);
}
QLineEdit* MainWindow::edit(const QString& name) const {
    return findChild<QLineEdit*>(name);
}

void MainWindow::bringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Stop and wait for every worker before the libraries go away.
    if (session_) session_->shutdown();
    session_.reset();
    binding_.unload();
    event->accept();
}

}  // namespace tellerdesk
