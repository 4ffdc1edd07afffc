#pragma once

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>
#include <set>

#include "app/app_view_model.hpp"
#include "ui/tri_state_checkbox.hpp"

namespace skelder::ui {

class FileListModel;
class FileRowDelegate;

// The left column: the files grouped by scan progress ("Processed", "Processing",
// "Pending"), each with its inclusion mark, thumbnail, name, duration, badge and statistics;
// the include-all header; a "Skipped (N)" line for the files that could not be read; "Add
// Files" and "Clear"; and the drop target for files and folders. It keeps no data of its own:
// the rows come from the model (FileListModel, drawn by FileRowDelegate), and the list
// selection (`tableSelection`) belongs to the window.
class SidebarView : public QWidget {
    Q_OBJECT
  public:
    explicit SidebarView(AppViewModel& model, QWidget* parent = nullptr);

    const std::set<PathKey>& tableSelection() const { return tableSelection_; }
    void setTableSelection(std::set<PathKey> selection);

    // The titles of the context menu for a row ("Show in File Manager" … or their plural
    // forms).
    QStringList contextMenuTitles(const PathKey& row) const;
    // The files a row's context menu acts on: the list selection when the row is in it, else
    // the row alone; in list order.
    std::vector<PathKey> contextMenuTargets(const PathKey& row) const;

    QListView* list() const { return list_; }
    FileListModel* fileList() const { return rows_; }
    // The row of a listed file in a section; invalid when it has none. (These first lay out
    // the list when a change is waiting.)
    QModelIndex indexFor(const PathKey& pathKey);
    // The section headers as shown, e.g. "Processed (2)".
    QStringList sectionTitles();
    // The statistics lines a file's row shows at its present width.
    QStringList statisticsShown(const PathKey& pathKey);
    QLabel* countText() const { return count_; }
    bool isShowingEmptyState() const;
    TriStateCheckbox* includeAll() const { return includeAll_; }
    // "Skipped (N)": reopens the list of the files that could not be read.
    QPushButton* skippedLine() const { return skipped_; }

  signals:
    void tableSelectionChanged();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refreshHeader();
    void refreshSkippedLine();
    void showContextMenu(const QPoint& position);
    void readSelectionFromList();
    void selectInList();
    bool handleInclusionClick(QEvent* event);

    AppViewModel& model_;
    std::set<PathKey> tableSelection_;
    TriStateCheckbox* includeAll_;
    QLabel* count_;
    FileListModel* rows_;
    FileRowDelegate* delegate_;
    QListView* list_;
    QStackedWidget* listOrEmpty_;
    QPushButton* skipped_;
    QTimer* fadeTimer_;
    bool selectingInList_ = false;
    int scrollBeforeLayout_ = 0;
    // The row whose inclusion mark is being pressed.
    PathKey pressedInclusion_;
};

}  // namespace skelder::ui
