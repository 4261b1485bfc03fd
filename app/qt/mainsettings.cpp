#include "app/core/recentfiles.h"
#include "app/core/settingsfile.h"
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

// Names that decode are compared as the user reads them, without regard to letter case in any
// script; a name that does not decode only equals itself apart from the case of A to Z.
bool SameName(const std::string& a, const std::string& b)
{
    if (Decodes(a) && Decodes(b))
        return Shown(a).compare(Shown(b), Qt::CaseInsensitive) == 0;
    return SameNameIgnoringAsciiCase(a, b);
}

// The name behind item i: its bytes, or its text for an item added without them.
std::string ItemName(const QComboBox& box, int i)
{
    const QVariant bytes = box.itemData(i);
    if (bytes.isValid())
        return bytes.toByteArray().toStdString();
    return QFile::encodeName(box.itemText(i)).toStdString();
}

TRecentFiles ItemBytes(const QComboBox& box)
{
    TRecentFiles items;
    for (int i = 0; i < box.count(); ++i)
        items.push_back(ItemName(box, i));
    return items;
}

void SetItems(QComboBox& box, const TRecentFiles& items)
{
    for (const std::string& name : items)
        box.addItem(Shown(name), QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace

void TMain::LoadSettings()
{
    const std::optional<TSettings> settings = LoadSettingsFile(Paths.IniPath);
    if (!settings)
        return;
    // Applied as stored; KeepOnScreen then brings a window back that no screen shows.
    if (settings->Left)
        move(*settings->Left, y());
    if (settings->Top)
        move(x(), *settings->Top);
    ShutdnChk->setChecked(settings->Shutdown);
    SetItems(*FileCombo, settings->RecentFiles);
}

void TMain::SaveSettings()
{
    // A settings file that cannot be written is given up silently; closing goes on.
    SaveSettingsFile(Paths.IniPath,
                     FormatSettings(x(), y(), ShutdnChk->isChecked(), ItemBytes(*FileCombo)));
}

std::string TMain::FileNameBytes() const
{
    const int index = FileCombo->currentIndex();
    if (index >= 0 && FileCombo->currentText() == FileCombo->itemText(index))
        return ItemName(*FileCombo, index);
    return QFile::encodeName(FileCombo->currentText()).toStdString();
}

void TMain::AddRecent()
{
    TRecentFiles items = ItemBytes(*FileCombo);
    ::AddRecent(items, FileNameBytes(), SameName);
    FileCombo->clear();
    SetItems(*FileCombo, items);
    FileCombo->setCurrentIndex(0);
}
