#pragma once

#include "platform/NodeStore.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QTreeView;

namespace quillmap {

class CPrintTvw;
class DriveList;
class FolderList;
class NodeModel;
class OptionsList;
class StatusBar;
class WindowScanControls;
class frmAbout;

// The program's main window: the pickers for the start folder, the scan options, the tree of
// the last search, the menus, the toolbar and the status bar, at fixed positions that resizing
// the window doesn't change.
//
// Contract: the constructor runs the start-up (hourglass, SetUp, pointer back), so a new window
// is ready for a search. Commands run to their end inside the click that starts them. The
// window owns the node store behind TreeView1 and the last printing object.
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

    // The message after a search that met unreadable entries (one "path: reason" each).
    static QString problemsText(const QStringList& problems);

    NodeStore& store() { return m_store; }
    NodeModel& model() { return *m_model; }
    QString statusText() const;
    // What the exit command does; tests replace it so that it doesn't end the test run.
    void setExitHandler(std::function<void()> handler) { m_exit = std::move(handler); }
    frmAbout* aboutWindow() const { return m_about; }

    // The controls, by their window names.
    QToolBar* Toolbar1 = nullptr;
    QTreeView* TreeView1 = nullptr;
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
    QAction* MNU_Print = nullptr;
    QAction* MNU_PrintPreview = nullptr;
    QAction* MNU_SaveAsPdf = nullptr;
    QAction* MNU_Exit = nullptr;
    QAction* MNU_About = nullptr;

private:
    void buildControls();
    void buildMenus();
    void buildToolbar();
    void startUp();

    void searchCommand();
    void printCommand();
    void printPreviewCommand();
    void saveAsPdfCommand();
    void exitCommand();
    void aboutCommand();
    void Drive1_Change();
    void Dir1_PathChanged();

    NodeStore m_store;
    NodeModel* m_model = nullptr;
    std::unique_ptr<WindowScanControls> m_scanControls;
    std::shared_ptr<CPrintTvw> m_printObject;
    frmAbout* m_about = nullptr;
    std::function<void()> m_exit;
    int m_driveIndex = -1;                        // the drive shown before a change
    QHash<QByteArray, QByteArray> m_lastFolderOn; // mount point -> folder last opened on it
};

} // namespace quillmap
