#include "about/frmAbout.h"

#include "support/GenFunctions.h"
#include "support/LangFunctions.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

// The picture lives in a static library; its resources must be registered by hand.
static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace quillmap {

using GenFunctions::ProperCase;
using GenFunctions::ReplaceChar;
using LangFunctions::GetMessageText;

const char* const frmAbout::HomePage = "https://www.tallowmere.example/index.html";
const char* const frmAbout::ShopPage = "https://www.tallowmere.example/cart/index.php";

namespace {

const char kMsinfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char kMsinfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char kSysInfoVariable[] = "QUILLMAP_SYSINFO";
// System information tools of the usual desktops, in the order they are tried.
const char* const kSysInfoTools[] = {"gnome-system-monitor", "kinfocenter", "hardinfo2",
                                     "hardinfo"};

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QString linkText(const QString& url, const QString& caption)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(url, caption.toHtmlEscaped());
}

QLabel* linkLabel(const QString& url, const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(linkText(url, caption));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QString executableName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    initAboutResources();
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);

    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setPixmap(QPixmap(QStringLiteral(":/about/about.png")));
    m_image1->setFixedSize(60, 80);

    m_lblTitle = new QLabel(this);
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = m_lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_lblTitle->setFont(titleFont);
    m_lblTitle->setWordWrap(true);

    m_lblVersion = new QLabel(this);
    m_lblVersion->setObjectName(QStringLiteral("lblVersion"));

    m_lblDisclaimer = new QLabel(this);
    m_lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    m_lblDisclaimer->setWordWrap(true);
    m_lblDisclaimer->setFixedWidth(400);

    const QUrl home(QString::fromLatin1(HomePage));
    m_label1 = linkLabel(QString::fromLatin1(HomePage), home.host(), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label3 = linkLabel(QString::fromLatin1(ShopPage), QString(), this); // caption on showing
    m_label3->setObjectName(QStringLiteral("Label3"));
    connect(m_label1, &QLabel::linkActivated, this, &frmAbout::OpenPage);
    connect(m_label3, &QLabel::linkActivated, this, &frmAbout::OpenPage);

    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdSysInfo = new QPushButton(this);
    m_cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    // Enter must close the window even when the focus is on this button.
    m_cmdSysInfo->setAutoDefault(false);
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto* heading = new QVBoxLayout;
    heading->addWidget(m_lblTitle);
    heading->addWidget(m_lblVersion);
    heading->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(m_image1, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(heading, 1);

    auto* links = new QVBoxLayout;
    links->addWidget(m_label1);
    links->addWidget(m_label3);
    links->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdSysInfo);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(links, 1);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(separator(this));
    layout->addWidget(m_lblDisclaimer);
    layout->addWidget(separator(this));
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // Loaded afresh on every showing, then centred at its new size.
        LoadCaptions();
        m_cmdOK->setFocus();
        adjustSize();
        GenFunctions::CentreForm(this);
    }
    QDialog::setVisible(visible);
}

void frmAbout::LoadCaptions()
{
    const QString name = executableName();
    setWindowTitle(
        GetMessageText(13) + QLatin1Char(' ') +
        ProperCase(ReplaceChar(name.toUpper(), QStringLiteral("_"), QStringLiteral(" "))));
    m_lblVersion->setText(GetMessageText(45) + QLatin1Char(' ') +
                          QStringLiteral("%1.%2.%3")
                              .arg(QUILLMAP_VERSION_MAJOR)
                              .arg(QUILLMAP_VERSION_MINOR)
                              .arg(QUILLMAP_VERSION_PATCH));
    m_lblTitle->setText(ProperCase(ReplaceChar(name, QStringLiteral("_"), QStringLiteral(" "))) +
                        QLatin1Char('\n') + GetMessageText(14));
    m_lblDisclaimer->setText(GetMessageText(15));
    m_cmdOK->setText(GetMessageText(3));
    m_cmdSysInfo->setText(GetMessageText(23));
    m_label3->setText(linkText(QString::fromLatin1(ShopPage),
                               LangFunctions::MessageText(159, "Other products from %1")
                                   .arg(QStringLiteral("Tallowmere"))));
}

bool frmAbout::GetKeyValue(const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    KeyVal.clear();
    if (KeyName.compare(QLatin1String(kMsinfoKey), Qt::CaseInsensitive) == 0 &&
        SubKeyRef.compare(QLatin1String("PATH"), Qt::CaseInsensitive) == 0) {
        KeyVal = qEnvironmentVariable(kSysInfoVariable);
        return !KeyVal.isEmpty();
    }
    if (KeyName.compare(QLatin1String(kMsinfoLocationKey), Qt::CaseInsensitive) == 0 &&
        SubKeyRef.compare(QLatin1String("MSINFO"), Qt::CaseInsensitive) == 0) {
        for (const char* tool : kSysInfoTools) {
            KeyVal = QStandardPaths::findExecutable(QString::fromLatin1(tool));
            if (!KeyVal.isEmpty())
                return true;
        }
    }
    return false;
}

void frmAbout::StartSysInfo()
{
    QString path;
    bool started = false;
    if (GetKeyValue(QLatin1String(kMsinfoKey), QStringLiteral("PATH"), path)) {
        // Named by the user: started as given, without looking for it first.
        started = QProcess::startDetached(path, {});
    } else if (GetKeyValue(QLatin1String(kMsinfoLocationKey), QStringLiteral("MSINFO"), path) &&
               QFileInfo(path).isFile()) {
        started = QProcess::startDetached(path, {});
    }
    if (started)
        return;

    QMessageBox notice(QMessageBox::NoIcon, windowTitle(), GetMessageText(19), QMessageBox::Ok,
                       this);
    notice.exec();
}

void frmAbout::OpenPage(const QString& url)
{
    // Whether a browser opened or not, nothing is reported.
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace quillmap
