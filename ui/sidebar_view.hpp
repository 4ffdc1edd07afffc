#pragma once

#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "app/app_view_model.hpp"
#include "ui/tri_state_checkbox.hpp"

namespace skelder::ui {

class FileRowWidget;

// The left column: the files grouped by scan progress ("Processed", "Processing",
// "Pending"; failed files in none), each with its inclusion button, thumbnail, name,
// duration, badge and statistics; the include-all header; "Add Files" and "Clear"; and the
// drop target for files and folders. It keeps no data of its own: it is rebuilt from the
// model on every change, and the list selection (`tableSelection`) belongs to the window.
class SidebarView : public QWidget {
    Q_OBJECT
  public:
    explicit SidebarView(AppViewModel& model, QWidget* parent = nullptr);

    const std::set<PathKey>& tableSelection() const { return tableSelection_; }
    void setTableSelection(std::set<PathKey> selection);

    // The titles of the context menu for a row ("Reveal In Finder" … or their plural forms).
    QStringList contextMenuTitles(const PathKey& row) const;
    // The files a row's context menu acts on: the list selection when the row is in it, else
    // the row alone; in list order.
    std::vector<PathKey> contextMenuTargets(const PathKey& row) const;

    QListWidget* list() const { return list_; }
    // The list entry and row widget of a listed file in a section; null when it has none.
    // (These first lay out the list when a change is waiting.)
    QListWidgetItem* itemFor(const PathKey& pathKey);
    FileRowWidget* rowFor(const PathKey& pathKey);
    // The section headers as shown, e.g. "Processed (2)".
    QStringList sectionTitles();
    QLabel* countText() const { return count_; }
    bool isShowingEmptyState() const;
    TriStateCheckbox* includeAll() const { return includeAll_; }

  signals:
    void tableSelectionChanged();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // One entry of the list: a section header or a file.
    struct ListEntry {
        QString header;
        PathKey pathKey;  // empty for a header
        friend bool operator==(const ListEntry&, const ListEntry&) = default;
    };
    std::vector<ListEntry> desiredEntries() const;
    void modelChanged();
    void rebuildList();
    void updateRows();
    void flushPendingRebuild();
    void rebuildHeader();
    void showContextMenu(const QPoint& position);
    void readSelectionFromList();

    AppViewModel& model_;
    std::set<PathKey> tableSelection_;
    TriStateCheckbox* includeAll_;
    QLabel* count_;
    QListWidget* list_;
    QStackedWidget* listOrEmpty_;
    bool rebuilding_ = false;
    std::vector<ListEntry> entries_;
    std::map<PathKey, FileRowWidget*> rows_;
    QTimer* rebuildTimer_ = nullptr;
};

}  // namespace skelder::ui
