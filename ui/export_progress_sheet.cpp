#include "ui/export_progress_sheet.hpp"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

constexpr int kProgressSteps = 1000;

void dim(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, secondaryColor(palette));
    palette.setColor(QPalette::Text, secondaryColor(palette));
    widget->setPalette(palette);
}

}  // namespace

QString progressPercentText(double fraction) {
    return QString::fromStdString(fmt::format("{:.0f} percent", fraction * 100));
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

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setFont(styledFont(font(), TextStyle::subheadline));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dim(status_);

    preview_ = new QPlainTextEdit(this);
    preview_->setObjectName(QStringLiteral("highlightPreview"));
    preview_->setReadOnly(true);
    preview_->setFont(monospacedDigitsFont(styledFont(font(), TextStyle::footnote)));
    preview_->setMaximumHeight(160);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setAccessibleName(tr("Highlights in the reel"));

    showInFinder_ = new QPushButton(tr("Show in Finder"), this);
    showInFinder_->setAutoDefault(false);
    connect(showInFinder_, &QPushButton::clicked, this, [this] {
        if (completion_) {
            emit showInFinderRequested(completion_->outputFiles);
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
    buttons->addStretch(1);
    buttons->addWidget(showInFinder_);
    buttons->addWidget(cancelExport_);
    buttons->addWidget(ok_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    layout->addWidget(title_);
    layout->addWidget(completionMessage_);
    layout->addWidget(activeFile_);
    layout->addWidget(progressBar_);
    layout->addWidget(status_);
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

void ExportProgressSheet::setHighlightPreviewText(const QString& text) {
    preview_->setPlainText(text);
    preview_->setVisible(!text.isEmpty());
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
    showInFinder_->setVisible(!isProcessing_ && completion_ && !completion_->outputFiles.isEmpty());
    cancelExport_->setVisible(isProcessing_);
    ok_->setEnabled(!isProcessing_);
    if (preview_->toPlainText().isEmpty()) {
        preview_->hide();
    }
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
