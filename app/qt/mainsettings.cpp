#include "app/core/recentfiles.h"
#include "app/qt/srvdiagmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>

// Each item of FileCombo shows a recent file's name as well as the locale can decode it and keeps
// the name's own bytes as its data, so that a name that is not valid in the locale's encoding
// reaches the dump file and the settings file unchanged.

namespace {

QString Shown(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Whether the name decodes and encodes back to its own bytes.
bool Decodes(const std::string& bytes)
{
    return Shown(bytes).toLocal8Bit() ==
           QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

void TMain::SetRecentFiles(const TRecentFiles& items)
{
    FileCombo->clear();
    for (const std::string& name : items)
        FileCombo->addItem(Shown(name),
                           QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    if (FileCombo->count() > 0)
        FileCombo->setCurrentIndex(0);
}

// Names that decode are compared as the user reads them, without regard to letter case in any
// script; a name that does not decode only equals itself apart from the case of A to Z.
bool TMain::SameFileName(const std::string& a, const std::string& b) const
{
    if (Decodes(a) && Decodes(b))
        return Shown(a).compare(Shown(b), Qt::CaseInsensitive) == 0;
    return SameNameIgnoringAsciiCase(a, b);
}

void TMain::SetShutdownChecked(bool checked)
{
    ShutdnChk->setChecked(checked);
}

std::string TMain::FileName() const
{
    const int index = FileCombo->currentIndex();
    if (index >= 0 && FileCombo->currentText() == FileCombo->itemText(index))
        return FileCombo->itemData(index).toByteArray().toStdString();
    return QFile::encodeName(FileCombo->currentText()).toStdString();
}
