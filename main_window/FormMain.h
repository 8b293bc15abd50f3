#pragma once

#include "listing/ListingDocument.h"
#include "main_window/PrintDir.h"
#include "scan/SearchDir.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QShortcut;
class QToolBar;

namespace quillmap {

class CPrintTvw;
class DriveFolderPair;
class DriveList;
class FiltersDialog;
class FileSystem;
class FindBar;
class FolderList;
class NodeMenu;
class NodeModel;
class NodeTreeView;
class OptionsList;
class SearchSession;
class StatusBar;
class StatusMessages;
class WindowLayout;
class frmAbout;

// The program's main window: the pickers for the start folder, the scan options, the tree of
// the last search, the menus, the toolbar and the status bar. At its described size every
// control is at its described place; larger (it can be maximised, never made smaller), the tree
// view takes the room, the right-hand column keeps to the right edge and the bars to the top
// and bottom. Its title names the folder the next search will search.
//
// Contract: the constructor runs the start-up (hourglass, SetUp, pointer back) and then takes
// back what the last run left (WindowSettings), so a new window is ready for a search. A search
// runs in the search session, on a thread of its own: the window goes on answering, the status
// bar counts, Esc stops it (the tree keeps what was found), a second Search is ignored, and
// closing the window or Exit ends it at once. searchFinished() is emitted once the tree is
// shown. The print commands run to their end inside their click, with a progress dialog. The
// window owns the listing document behind TreeView1, its search session and the last printing
// object; it only shows what they hold. Closing and Exit save the settings.
class FormMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FormMain(QWidget* parent = nullptr);
    ~FormMain() override;

    // Fills the Levels box and the options list; run once by start-up.
    void SetUp();

    // The toolbar's click handler: the action of the button at `position` (1 to 5, separators
    // included); any other position, a separator's among them, does nothing.
    void Toolbar1_ButtonClick(int position);
    // The "ALL" handler of the options list, called with the 1-based index of the item whose
    // tick changed.
    void ListView1_ItemCheck(int index);

    // What File > Open Listing... and File > Compare with Listing... do once a file is chosen;
    // false (after a message, with nothing changed) when the file can't be used.
    bool openListing(const QString& path);
    bool compareWithListing(const QString& path);
    // The change of each node shown (by id) after a comparison; empty otherwise.
    const std::vector<NodeChange>& changes() const { return m_document.changes(); }
    // The options, date and report of the tree shown (a search's, or an opened listing's).
    const SearchRecord& lastSearch() const { return m_document.record(); }
    // What the printout adds after the tree (a comparison's summary).
    QStringList closingPage() const;

    ListingDocument& document() { return m_document; }
    NodeStore& store() { return m_document.tree(); }
    NodeModel& model() { return *m_model; }
    NodeMenu& nodeMenu() { return *m_nodeMenu; }
    FindBar& findBar() { return *m_findBar; }
    WindowLayout& windowLayout() { return *m_layout; }
    QString statusText() const;
    // Makes `folder` (file-system bytes) the start folder, as Go to Folder..., a folder dropped
    // on the window and Search From Here do; says why when it can't be opened.
    bool openStartFolder(const std::string& folder);
    // What the exit command does; tests replace it so that it doesn't end the test run.
    void setExitHandler(std::function<void()> handler) { m_exit = std::move(handler); }
    frmAbout* aboutWindow() const { return m_about; }
    // The file system the next searches read; the real one unless a test injects another (null:
    // the real one again).
    void setFileSystem(std::shared_ptr<FileSystem> fs);

    // From a Search click until its tree is shown.
    bool isSearching() const;
    // Whether the running search was asked to stop (Esc, or the window closing); may be read
    // on any thread.
    bool searchStopRequested() const;
    // Asks the running search to stop, as Esc does; the tree keeps what was found.
    void stopSearch();

    // The controls, by their window names.
    QToolBar* Toolbar1 = nullptr;
    NodeTreeView* TreeView1 = nullptr;
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    OptionsList* ListView1 = nullptr;
    StatusBar* StatusBar1 = nullptr;
    QList<QImage> ImageList1;
    QMenu* MNU_File = nullptr;
    QAction* MNU_Search = nullptr;
    QAction* MNU_Filters = nullptr;
    QAction* MNU_Print = nullptr;
    QAction* MNU_PrintPreview = nullptr;
    QAction* MNU_SaveAsPdf = nullptr;
    QAction* MNU_Export = nullptr;
    QAction* MNU_OpenListing = nullptr;
    QAction* MNU_CompareListing = nullptr;
    QAction* MNU_ChangedOnly = nullptr;
    QAction* MNU_GoToFolder = nullptr;
    QAction* MNU_Exit = nullptr;
    QMenu* MNU_Edit = nullptr;
    QAction* MNU_Find = nullptr;
    QMenu* MNU_View = nullptr;
    QAction* MNU_AsPrinted = nullptr;
    QAction* MNU_About = nullptr;

signals:
    // The search command has ended: its tree is shown and any report closed.
    void searchFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildToolbar();
    void startUp();

    void searchCommand();
    // The search has ended: the status, the new tree from its top, and (when `interactive`)
    // what it could not read.
    void searchEnded(const ScanReport& report, const QString& failure, bool interactive);
    void setPrintEnabled(bool enabled);
    void printCommand();
    void printPreviewCommand();
    void saveAsPdfCommand();
    void exportCommand();
    void openListingCommand();
    void compareListingCommand();
    void goToFolderCommand();
    void printBranch(NodeStore::Id branch);
    // What Print, Print Preview and Save as PDF print besides the tree.
    PrintRequest printRequest(NodeStore::Id branch) const;
    void changedOnlyCommand();
    void asPrintedCommand();
    void findCommand();
    // The caption: the start folder, then an opened listing's file or what the tree was
    // compared with.
    void showTitle();
    void exitCommand();
    void aboutCommand();

    ListingDocument m_document;
    // Goes before the document it fills.
    std::unique_ptr<SearchSession> m_session;
    NodeModel* m_model = nullptr;
    NodeMenu* m_nodeMenu = nullptr;
    FindBar* m_findBar = nullptr;
    WindowLayout* m_layout = nullptr;
    DriveFolderPair* m_pair = nullptr;
    StatusMessages* m_status = nullptr;
    QShortcut* m_stopShortcut = nullptr;
    std::shared_ptr<CPrintTvw> m_printObject;
    frmAbout* m_about = nullptr;
    FiltersDialog* m_filters = nullptr;
    std::function<void()> m_exit;
};

} // namespace quillmap
