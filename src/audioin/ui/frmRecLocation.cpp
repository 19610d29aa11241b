#include "audioin/ui/frmRecLocation.h"
#include "ui_frmRecLocation.h"

#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QDir>
#include <QFileSystemModel>
#include <QStorageInfo>

namespace {
// Volumes worth offering: real, mounted, ready file systems.
QList<QStorageInfo> usableVolumes()
{
    QList<QStorageInfo> out;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QByteArray fs = v.fileSystemType();
        if (!v.isValid() || fs == "proc" || fs == "sysfs" || fs == "devpts" || fs == "cgroup" || fs == "cgroup2"
            || fs == "securityfs" || fs == "pstore" || fs == "debugfs" || fs == "tracefs" || fs == "mqueue"
            || fs == "bpf" || fs == "configfs" || fs == "fusectl" || fs == "hugetlbfs" || fs == "devtmpfs"
            || fs == "autofs" || fs == "binfmt_misc" || fs == "nsfs" || fs == "efivarfs")
            continue;
        out.append(v);
    }
    return out;
}
} // namespace

frmRecLocation::frmRecLocation(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmRecLocation>())
{
    ui->setupUi(this);
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QStringLiteral("/"));
    ui->File->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        ui->File->hideColumn(c);
    for (const QStorageInfo& v : usableVolumes()) {
        const QString label = v.displayName() == v.rootPath() ? v.rootPath()
                                                              : v.rootPath() + QStringLiteral("  (") + v.displayName() + QLatin1Char(')');
        ui->Drive->addItem(label, v.rootPath());
    }
    connect(ui->Drive, &QComboBox::currentIndexChanged, this, [this] { Drive_Change(); });
    connect(ui->File, &QTreeView::clicked, this,
            [this](const QModelIndex& i) { ui->txtDirectory->setText(m_model->filePath(i)); });
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmRecLocation::cmdOK_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmRecLocation::cmdCancel_Click);
    connect(ui->cmdReset, &QPushButton::clicked, this, &frmRecLocation::cmdReset_Click);
}

frmRecLocation::~frmRecLocation() = default;

QStringList frmRecLocation::Drives() const
{
    QStringList out;
    for (int i = 0; i < ui->Drive->count(); ++i)
        out << ui->Drive->itemData(i).toString();
    return out;
}

int frmRecLocation::driveIndexFor(const QString& path) const
{
    // The volume whose mount point is the longest prefix of the path.
    int best = -1, bestLen = -1;
    const QString p = sv::AddSlash(QDir::cleanPath(path));
    for (int i = 0; i < ui->Drive->count(); ++i) {
        const QString root = sv::AddSlash(ui->Drive->itemData(i).toString());
        if (p.startsWith(root) && root.size() > bestLen) {
            best = i;
            bestLen = int(root.size());
        }
    }
    return best;
}

void frmRecLocation::showFolder(const QString& path)
{
    const QModelIndex idx = m_model->index(path);
    if (idx.isValid()) {
        ui->File->setCurrentIndex(idx);
        ui->File->scrollTo(idx);
        ui->File->expand(idx);
    }
}

void frmRecLocation::Start(const QString& dir)
{
    m_result = 0;
    m_settingDrive = true;
    const int d = driveIndexFor(dir);
    if (d >= 0)
        ui->Drive->setCurrentIndex(d);
    m_lastDrive = ui->Drive->currentIndex();
    m_settingDrive = false;
    showFolder(dir);
    ui->txtDirectory->setText(dir);
}

void frmRecLocation::SelectDrive(int index) { ui->Drive->setCurrentIndex(index); }

void frmRecLocation::SelectFolder(const QString& path)
{
    showFolder(path);
    ui->txtDirectory->setText(path);
}

void frmRecLocation::Drive_Change()
{
    if (m_settingDrive)
        return;
    const QString root = ui->Drive->currentData().toString();
    const QStorageInfo info(root);
    if (root.isEmpty() || !info.isValid() || !info.isReady() || !QDir(root).isReadable()) {
        sv::PlainMsgBox(QStringLiteral("This drive has no media or is unusable."), sv::vbExclamation,
                        QStringLiteral("Cannot use drive"));
        m_settingDrive = true;
        ui->Drive->setCurrentIndex(m_lastDrive);
        m_settingDrive = false;
        return;
    }
    m_lastDrive = ui->Drive->currentIndex();
    showFolder(root);
    ui->txtDirectory->setText(root);
}

QString frmRecLocation::Directory() const { return ui->txtDirectory->text(); }

void frmRecLocation::cmdOK_Click()
{
    const QString dir = ui->txtDirectory->text().trimmed();
    const QString nl = QStringLiteral("\r\n");
    if (dir.isEmpty()) {
        sv::PlainMsgBox(QStringLiteral("Please select a folder."), sv::vbExclamation, QStringLiteral("Recording Location"));
        return;
    }
    if (!sv::FolderExists(dir)) {
        sv::PlainMsgBox(dir + nl + QStringLiteral("This folder cannot be found. Please select a different one."),
                        sv::vbExclamation, QStringLiteral("Folder not found"));
        return;
    }
    if (!sv::IsFolderWriteable(dir)) {
        sv::PlainMsgBox(dir + nl + QStringLiteral("This folder can't be used as it is read-only. Please select a different one."),
                        sv::vbExclamation, QStringLiteral("Folder Read-Only"));
        return;
    }
    ui->txtDirectory->setText(dir);
    m_result = 1;
    accept();
}

void frmRecLocation::cmdCancel_Click()
{
    m_result = 0;
    ui->txtDirectory->clear();
    reject();
}

void frmRecLocation::cmdReset_Click()
{
    const QString tmp = sv::TempFolder();
    const int d = driveIndexFor(tmp);
    if (d >= 0) {
        m_settingDrive = true;
        ui->Drive->setCurrentIndex(d);
        m_lastDrive = d;
        m_settingDrive = false;
    }
    SelectFolder(tmp);
}
