#include "ui/export_progress_sheet.hpp"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

constexpr int kProgressSteps = 1000;
// The file rows scroll beyond this many.
constexpr int kVisibleFileRows = 6;

void dim(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, secondaryColor(palette));
    palette.setColor(QPalette::Text, secondaryColor(palette));
    widget->setPalette(palette);
}

QString stepName(ExportStep step) {
    switch (step) {
        case ExportStep::starting:
            return QStringLiteral("Starting");
        case ExportStep::readingTelemetry:
            return QStringLiteral("Reading telemetry");
        case ExportStep::encodingFile:
            return QStringLiteral("Drawing the HUD and encoding");
        case ExportStep::readingHighlights:
            return QStringLiteral("Reading highlights");
        case ExportStep::findingLaps:
            return QStringLiteral("Finding the laps");
        case ExportStep::encodingReel:
            return QStringLiteral("Drawing the HUD and encoding the reel");
    }
    return {};
}

QString stateText(const ExportFileProgress& file, ProcessingMode mode) {
    switch (file.state) {
        case ExportFileState::waiting:
            return QStringLiteral("Waiting");
        case ExportFileState::working:
            return QString::fromStdString(fmt::format("{:.0f}%", file.fraction * 100));
        case ExportFileState::done:
            // A reel's file is read; the reel itself is the one output.
            return !isReel(mode) ? QStringLiteral("Done") : QStringLiteral("Ready");
        case ExportFileState::failed:
            return QStringLiteral("Skipped");
    }
    return {};
}

}  // namespace

// One file of the export: its name, its state or share done, a thin bar while it is worked on,
// and a note (what went into the reel, or why the file was skipped), wrapped.
class ExportFileRow : public QWidget {
  public:
    ExportFileRow() {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(0, 2, 0, 2);
        column->setSpacing(2);
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        name_ = new QLabel;
        name_->setTextFormat(Qt::PlainText);
        state_ = new QLabel;
        state_->setFont(monospacedDigitsFont(styledFont(font(), TextStyle::subheadline)));
        dim(state_);
        line->addWidget(name_, 1);
        line->addWidget(state_);
        column->addLayout(line);
        bar_ = new QProgressBar;
        bar_->setRange(0, kProgressSteps);
        bar_->setTextVisible(false);
        bar_->setFixedHeight(5);
        column->addWidget(bar_);
        note_ = new QLabel;
        note_->setTextFormat(Qt::PlainText);
        note_->setWordWrap(true);
        note_->setFont(styledFont(font(), TextStyle::footnote));
        dim(note_);
        column->addWidget(note_);
    }

    void display(const ExportFileProgress& file, ProcessingMode mode) {
        name_->setText(QString::fromStdString(file.name));
        state_->setText(stateText(file, mode));
        const bool failed = file.state == ExportFileState::failed;
        QPalette statePalette = state_->palette();
        statePalette.setColor(QPalette::WindowText,
                              failed ? systemOrange() : secondaryColor(palette()));
        state_->setPalette(statePalette);
        bar_->setVisible(file.state == ExportFileState::working);
        bar_->setValue(static_cast<int>(std::lround(file.fraction * kProgressSteps)));
        note_->setText(QString::fromStdString(file.note));
        note_->setVisible(!file.note.empty());
        setAccessibleName(name_->text() + QStringLiteral(", ") + state_->text());
    }

    QStringList texts() const { return {name_->text(), state_->text(), note_->text()}; }

  private:
    QLabel* name_;
    QLabel* state_;
    QProgressBar* bar_;
    QLabel* note_;
};

QString progressPercentText(double fraction) {
    return QString::fromStdString(fmt::format("{:.0f} percent", fraction * 100));
}

QString timeLeftText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 10)
        return QStringLiteral("A few seconds left");
    if (seconds < 60) {
        const int rounded = static_cast<int>(std::ceil(seconds / 5) * 5);
        return QStringLiteral("About %1 seconds left").arg(rounded);
    }
    const auto minutes = static_cast<long long>(std::ceil(seconds / 60));
    if (minutes < 60)
        return minutes == 1 ? QStringLiteral("About 1 minute left")
                            : QStringLiteral("About %1 minutes left").arg(minutes);
    return QStringLiteral("About %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

ExportProgressSheet::ExportProgressSheet(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Export"));
    setWindowModality(Qt::WindowModal);

    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    QFont titleFont = styledFont(font(), TextStyle::title3);
    titleFont.setWeight(QFont::DemiBold);
    title_->setFont(titleFont);

    completionMessage_ = new QLabel(this);
    completionMessage_->setObjectName(QStringLiteral("completionMessage"));
    completionMessage_->setWordWrap(true);

    activeFile_ = new QLabel(this);
    activeFile_->setObjectName(QStringLiteral("activeFile"));
    activeFile_->setFont(styledFont(font(), TextStyle::subheadline));
    activeFile_->setTextFormat(Qt::PlainText);
    dim(activeFile_);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("progress"));
    progressBar_->setRange(0, kProgressSteps);
    progressBar_->setTextVisible(false);
    progressBar_->setAccessibleName(tr("Export progress"));

    step_ = new QLabel(this);
    step_->setObjectName(QStringLiteral("step"));
    step_->setFont(styledFont(font(), TextStyle::subheadline));
    step_->setTextFormat(Qt::PlainText);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setFont(styledFont(font(), TextStyle::subheadline));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dim(status_);

    files_ = new QWidget;
    fileRows_ = new QVBoxLayout(files_);
    fileRows_->setContentsMargins(0, 0, 4, 0);
    fileRows_->setSpacing(4);
    fileScroll_ = new QScrollArea(this);
    fileScroll_->setObjectName(QStringLiteral("files"));
    fileScroll_->setWidget(files_);
    fileScroll_->setWidgetResizable(true);
    fileScroll_->setFrameShape(QFrame::NoFrame);
    fileScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fileScroll_->setAccessibleName(tr("Files of the export"));

    details_ = new QToolButton(this);
    details_->setText(tr("Details"));
    details_->setCheckable(true);
    details_->setAutoRaise(true);
    details_->setArrowType(Qt::RightArrow);
    details_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    details_->setAccessibleDescription(tr("Show the reel's segment lines"));

    preview_ = new QPlainTextEdit(this);
    preview_->setObjectName(QStringLiteral("highlightPreview"));
    preview_->setReadOnly(true);
    preview_->setFont(monospacedDigitsFont(styledFont(font(), TextStyle::footnote)));
    preview_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    preview_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    preview_->setFixedHeight(150);
    preview_->setAccessibleName(tr("Highlights in the reel"));
    preview_->hide();
    connect(details_, &QToolButton::toggled, this, [this](bool open) {
        details_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        preview_->setVisible(open);
        adjustSize();
    });

    showInFileManager_ = new QPushButton(tr("Show in File Manager"), this);
    showInFileManager_->setAutoDefault(false);
    connect(showInFileManager_, &QPushButton::clicked, this, [this] {
        if (completion_) {
            emit showInFileManagerRequested(completion_->outputFiles);
        }
    });

    cancelExport_ = new QPushButton(tr("Cancel Export"), this);
    cancelExport_->setAutoDefault(false);
    QPalette destructive = cancelExport_->palette();
    destructive.setColor(QPalette::ButtonText, systemRed());
    cancelExport_->setPalette(destructive);
    connect(cancelExport_, &QPushButton::clicked, this,
            &ExportProgressSheet::cancelExportRequested);

    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &ExportProgressSheet::dismiss);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(details_);
    buttons->addStretch(1);
    buttons->addWidget(showInFileManager_);
    buttons->addWidget(cancelExport_);
    buttons->addWidget(ok_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    layout->addWidget(title_);
    layout->addWidget(completionMessage_);
    layout->addWidget(activeFile_);
    auto* progressColumn = new QVBoxLayout;
    progressColumn->setSpacing(6);
    progressColumn->addWidget(progressBar_);
    progressColumn->addWidget(step_);
    layout->addLayout(progressColumn);
    layout->addWidget(status_);
    layout->addWidget(fileScroll_);
    layout->addWidget(preview_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    // The layout sets the sheet's minimum size, so the 460-point minimum width goes on the
    // content: the widest row plus the padding on both sides.
    const QMargins margins = layout->contentsMargins();
    progressBar_->setMinimumWidth(460 - margins.left() - margins.right());
    refresh();
}

void ExportProgressSheet::setProcessing(bool processing) {
    isProcessing_ = processing;
    refresh();
}

void ExportProgressSheet::setCancelling(bool cancelling) {
    isCancelling_ = cancelling;
    refresh();
}

void ExportProgressSheet::setProgress(double fraction) {
    progress_ = std::isfinite(fraction) ? fraction : 0;
    refresh();
}

void ExportProgressSheet::setStatusMessage(const QString& message) {
    status_->setText(message);
}

void ExportProgressSheet::setActiveFileName(const std::optional<QString>& name) {
    activeFileName_ = name;
    refresh();
}

void ExportProgressSheet::setFileProgress(const ExportProgressSnapshot& snapshot) {
    snapshot_ = snapshot;
    while (rows_.size() > snapshot_.files.size()) {
        delete rows_.back();
        rows_.pop_back();
    }
    while (rows_.size() < snapshot_.files.size()) {
        rows_.push_back(new ExportFileRow);
        fileRows_->addWidget(rows_.back());
    }
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i]->display(snapshot_.files[i], snapshot_.mode);
    refresh();
}

void ExportProgressSheet::setHighlightPreviewText(const QString& text) {
    if (preview_->toPlainText() != text)
        preview_->setPlainText(text);
    refresh();
}

void ExportProgressSheet::setCompletion(const std::optional<ExportSheetCompletion>& completion) {
    completion_ = completion;
    refresh();
}

QString ExportProgressSheet::titleText() const {
    if (isProcessing_) {
        return tr("Exporting");
    }
    return completion_ ? completion_->title : tr("Export");
}

QString ExportProgressSheet::progressAccessibleValue() const {
    return progressPercentText(progress_);
}

QString ExportProgressSheet::stepText() const {
    return step_->isVisibleTo(this) ? step_->text() : QString();
}

std::vector<QStringList> ExportProgressSheet::fileRowTexts() const {
    std::vector<QStringList> texts;
    for (const ExportFileRow* row : rows_)
        texts.push_back(row->texts());
    return texts;
}

void ExportProgressSheet::refresh() {
    title_->setText(titleText());
    completionMessage_->setText(completion_ ? completion_->message : QString());
    completionMessage_->setVisible(!isProcessing_ && completion_ &&
                                   !completion_->message.isEmpty());
    activeFile_->setText(activeFileName_ ? tr("Current: ") + *activeFileName_ : QString());
    activeFile_->setVisible(activeFileName_.has_value());
    progressBar_->setValue(
        static_cast<int>(std::lround(std::clamp(progress_, 0.0, 1.0) * kProgressSteps)));
    // The bar's text is hidden; accessibility reads it as the value.
    progressBar_->setFormat(progressAccessibleValue());
    progressBar_->setAccessibleDescription(progressAccessibleValue());

    // The step and the time left, while the export runs.
    QString step;
    if (isProcessing_ && isCancelling_) {
        step = tr("Canceling\u2026 the partial file is being removed");
    } else if (isProcessing_) {
        step = stepName(snapshot_.step);
        if (!isReel(snapshot_.mode) && snapshot_.currentFile && snapshot_.files.size() > 1) {
            step +=
                tr(" (file %1 of %2)").arg(*snapshot_.currentFile + 1).arg(snapshot_.files.size());
        }
        if (snapshot_.secondsLeft)
            step += QStringLiteral(" \u00b7 ") + timeLeftText(*snapshot_.secondsLeft);
    }
    step_->setText(step);
    step_->setVisible(!step.isEmpty());

    fileScroll_->setVisible(!rows_.empty());
    if (!rows_.empty()) {
        // Room for up to kVisibleFileRows rows; more scroll.
        int height = 0;
        for (std::size_t i = 0; i < rows_.size() && i < kVisibleFileRows; ++i)
            height += rows_[i]->sizeHint().height() + fileRows_->spacing();
        fileScroll_->setFixedHeight(height);
    }

    const bool hasDetails = !preview_->toPlainText().isEmpty();
    details_->setVisible(hasDetails);
    preview_->setVisible(hasDetails && details_->isChecked());

    showInFileManager_->setVisible(!isProcessing_ && completion_ &&
                                   !completion_->outputFiles.isEmpty());
    cancelExport_->setVisible(isProcessing_);
    cancelExport_->setEnabled(!isCancelling_);
    cancelExport_->setText(isCancelling_ ? tr("Canceling\u2026") : tr("Cancel Export"));
    ok_->setEnabled(!isProcessing_);
}

void ExportProgressSheet::dismiss() {
    if (isProcessing_) {
        return;
    }
    QDialog::accept();
    emit dismissed();
}

void ExportProgressSheet::reject() {
    dismiss();
}

void ExportProgressSheet::closeEvent(QCloseEvent* event) {
    if (isProcessing_) {
        event->ignore();
        return;
    }
    event->accept();
    dismiss();
}

}  // namespace skelder::ui
