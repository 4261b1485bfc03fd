#include "app/qt/savedialog.h"

#include "app/qt/srvdiagmain.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

TSaveDialog::TSaveDialog(QWidget* parent) : QFileDialog(parent)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters({QStringLiteral("Dump file (*.DMP)"), QStringLiteral("Binary file (*.BIN)"),
                    QStringLiteral("Any file (*.*)")});
    selectNameFilter(QStringLiteral("Dump file (*.DMP)"));
    setDefaultSuffix(QStringLiteral("DMP"));
    setOption(QFileDialog::DontConfirmOverwrite, false);
    setOption(QFileDialog::ReadOnly, false);
    setSizeGripEnabled(true);
}

void TSaveDialog::accept()
{
    const QStringList files = selectedFiles();
    if (!files.isEmpty() && !QFileInfo(files.first()).absoluteDir().exists())
        return; // the folder must exist: stay open for a better name
    QFileDialog::accept();
}

void TMain::CreateSaveDialog()
{
    SaveDlg = new TSaveDialog(this);
}

void TMain::DoBrowse()
{
    SaveDlg->selectFile(FileCombo->currentText());
    if (SaveDlg->exec() != QDialog::Accepted || SaveDlg->selectedFiles().isEmpty())
        return;
    FileCombo->setEditText(SaveDlg->selectedFiles().first());
    FileComboChange();
}
