#include "shell/qt/qt_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "shell/qt/result_table_model.h"
#include "shell/twips.h"

namespace tovani::shell {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QRect qrect(const PixelRect& r) { return QRect(r.left, r.top, r.width, r.height); }

PixelRect pixelRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

void installFontSubstitutions() {
    QFont::insertSubstitution(QString::fromUtf8(WindowFontName), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QString::fromUtf8(TableFontName), QStringLiteral("IPAGothic"));
}

QtWindow::QtWindow(ShellOptions options, QWidget* parent) : QWidget(parent), form_(*this, std::move(options)) {
    setObjectName(QStringLiteral("frmMain"));
    installFontSubstitutions();
    buildControls();
}

QtWindow::~QtWindow() {
    // The model leaves the table before the table (the behaviour's) goes.
    delete grdRireki;
    grdRireki = nullptr;
    delete model_;
    model_ = nullptr;
}

void QtWindow::buildControls() {
    QFont windowFont(QString::fromUtf8(WindowFontName));
    windowFont.setPointSizeF(FontPoints);
    setFont(windowFont);
    auto* fraInfo = new QFrame(this);
    fraInfo->setFrameShape(QFrame::Box);
    fraInfo->setFrameShadow(QFrame::Sunken);

    for (const ControlDesign& d : kControlDesigns) {
        QWidget* parentWidget = d.inFrame ? static_cast<QWidget*>(fraInfo) : this;
        QWidget* w = nullptr;
        switch (d.kind) {
        case ControlKind::Frame:
            w = fraInfo;
            break;
        case ControlKind::Label: {
            auto* l = new QLabel(QString::fromUtf8(d.text), parentWidget);
            // Card numbers and file texts are shown as they are, never as markup.
            l->setTextFormat(Qt::PlainText);
            w = l;
            break;
        }
        case ControlKind::DropDownList:
            w = cmbRirekiFile = new QComboBox(parentWidget);
            break;
        case ControlKind::Button: {
            auto* b = new QPushButton(QString::fromUtf8(d.text), parentWidget);
            b->setAutoDefault(false);
            connect(b, &QPushButton::clicked, this, [this, id = d.id] { form_.buttonClicked(id); });
            w = b;
            break;
        }
        case ControlKind::Table:
            w = grdRireki = new QTableView(parentWidget);
            break;
        }
        w->setObjectName(QString::fromLatin1(d.name));
        w->setGeometry(twipsToPixels(d.place.left, logicalDpiX()), twipsToPixels(d.place.top, logicalDpiY()),
                       twipsToPixels(d.place.width, logicalDpiX()), twipsToPixels(d.place.height, logicalDpiY()));
        controls_[static_cast<size_t>(d.id)] = w;
    }
    lblMess = static_cast<QLabel*>(control(Control::lblMess));

    QFont tableFont(QString::fromUtf8(TableFontName));
    tableFont.setPointSizeF(FontPoints);
    tableFont.setStyleHint(QFont::TypeWriter);
    grdRireki->setFont(tableFont);
    grdRireki->horizontalHeader()->setFont(tableFont);
    grdRireki->verticalHeader()->hide();  // no fixed columns
    grdRireki->verticalHeader()->setDefaultSectionSize(QFontMetrics(tableFont).height() + 4);
    grdRireki->horizontalHeader()->setHighlightSections(false);
    grdRireki->horizontalHeader()->setSectionsClickable(true);
    grdRireki->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRireki->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRireki->setWordWrap(false);
    model_ = new ResultTableModel(form_.Table, this);
    grdRireki->setModel(model_);
    connect(model_, &ResultTableModel::layoutRefreshed, this, &QtWindow::applyColumnWidths);
    connect(grdRireki, &QTableView::clicked, this, [this](const QModelIndex& at) { form_.grdRireki_Click(at.column()); });
    // A double click on the header ends with a release that the header
    // reports as another click; it is one click, as it is on a cell.
    QHeaderView* header = grdRireki->horizontalHeader();
    connect(header, &QHeaderView::sectionPressed, this, [this] { headerDoubleClicked_ = false; });
    connect(header, &QHeaderView::sectionDoubleClicked, this, [this] { headerDoubleClicked_ = true; });
    connect(header, &QHeaderView::sectionClicked, this, [this](int col) {
        if (std::exchange(headerDoubleClicked_, false)) return;
        form_.grdRireki_Click(col);
    });

    tmrPolling = new QTimer(this);
    tmrPolling->setObjectName(QStringLiteral("tmrPolling"));
    connect(tmrPolling, &QTimer::timeout, this, [this] { form_.tmrPolling_Timer(); });

    resize(twipsToPixels(DesignWidth, logicalDpiX()), twipsToPixels(DesignHeight, logicalDpiY()));
}

void QtWindow::applyColumnWidths() {
    const auto dpi = grdRireki->logicalDpiX();
    const ResultTable& table = form_.Table;
    for (int c = 0; c < table.cols(); ++c)
        grdRireki->setColumnWidth(c, std::max(0, twipsToPixels(table.colWidth(c), dpi)));
    grdRireki->horizontalHeader()->setVisible(table.fixedRows() > 0);
}

// --- WindowControls ------------------------------------------------------------

void QtWindow::setCaption(const std::string& text) { setWindowTitle(qs(text)); }

PixelRect QtWindow::placement() const { return {pos().x(), pos().y(), width(), height()}; }

void QtWindow::setPlacement(const PixelRect& place) {
    move(place.left, place.top);
    resize(place.width, place.height);
}

std::vector<PixelRect> QtWindow::screenAreas() const {
    std::vector<PixelRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr) areas.push_back(pixelRect(primary->availableGeometry()));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary) areas.push_back(pixelRect(screen->availableGeometry()));
    return areas;
}

int QtWindow::textWidthPixels(const std::string& text) const {
    return QFontMetrics(font()).horizontalAdvance(qs(text));
}

void QtWindow::placeControl(Control c, const PixelRect& place) { control(c)->setGeometry(qrect(place)); }

void QtWindow::setControlText(Control c, const std::string& text) {
    if (auto* label = qobject_cast<QLabel*>(control(c)))
        label->setText(qs(text));
    else if (auto* button = qobject_cast<QPushButton*>(control(c)))
        button->setText(qs(text));
}

void QtWindow::enableControl(Control c, bool enabled) { control(c)->setEnabled(enabled); }

void QtWindow::showControl(Control c, bool visible) { control(c)->setVisible(visible); }

void QtWindow::setMessage(const std::string& text, Rgb colour) {
    QPalette p = lblMess->palette();
    p.setColor(QPalette::WindowText, QColor(colour.r, colour.g, colour.b));
    lblMess->setPalette(p);
    lblMess->setText(qs(text));
    lblMess->repaint();
}

void QtWindow::setRirekiFiles(const std::vector<std::string>& names, int selected) {
    cmbRirekiFile->clear();
    for (const auto& name : names) cmbRirekiFile->addItem(qs(name));
    cmbRirekiFile->setCurrentIndex(selected);
}

int QtWindow::rirekiFileIndex() const { return cmbRirekiFile->currentIndex(); }

void QtWindow::startTimer(int intervalMs) { tmrPolling->start(intervalMs); }

void QtWindow::stopTimer() { tmrPolling->stop(); }

void QtWindow::showMessageBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(MessageBoxTitle), qs(text), QMessageBox::Ok, this);
    // The failure text may quote a file's content or path: shown as it is.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// --- events --------------------------------------------------------------------

void QtWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    form_.Form_Resize();
}

void QtWindow::closeEvent(QCloseEvent* event) {
    form_.Form_Unload();
    event->accept();
}

}  // namespace tovani::shell
