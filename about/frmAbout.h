#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillmap {

// The About window. The main window creates it once and shows it modally with exec() on every
// About click; each showing loads its captions afresh from the message catalogue and centres the
// window. OK (also Enter and Esc) closes it. Owned by its parent.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

    // Stands in for the registry lookups of the system information tool. Returns true and sets
    // `KeyVal` when the value exists and is not empty; otherwise sets `KeyVal` empty and returns
    // false. Known values: key "SOFTWARE\Microsoft\Shared Tools\MSINFO", value "PATH" (the
    // program named by QUILLMAP_SYSINFO) and key "SOFTWARE\Microsoft\Shared Tools Location",
    // value "MSINFO" (the first system information tool found on PATH, as a full path). Names
    // match without regard to case.
    static bool GetKeyValue(const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    // The web pages that the two link labels open.
    static const char* const HomePage;
    static const char* const ShopPage;

private:
    void LoadCaptions();
    // Starts the system information tool detached, or shows the notice of message 19.
    void StartSysInfo();
    void OpenPage(const QString& url);

    QLabel* m_image1;
    QLabel* m_lblTitle;
    QLabel* m_lblVersion;
    QLabel* m_lblDisclaimer;
    QLabel* m_label1;
    QLabel* m_label3;
    QPushButton* m_cmdOK;
    QPushButton* m_cmdSysInfo;
};

} // namespace quillmap
