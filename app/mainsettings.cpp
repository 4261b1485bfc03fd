#include "app/recentfiles.h"
#include "app/settingsfile.h"
#include "app/srvdiagmain.h"

#include <QCheckBox>
#include <QComboBox>

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
    FileCombo->addItems(settings->RecentFiles);
}

void TMain::SaveSettings()
{
    QStringList recent;
    for (int i = 0; i < FileCombo->count(); ++i)
        recent.append(FileCombo->itemText(i));
    // A settings file that cannot be written is given up silently; closing goes on.
    SaveSettingsFile(Paths.IniPath, FormatSettings(x(), y(), ShutdnChk->isChecked(), recent));
}

void TMain::AddRecent()
{
    QStringList items;
    for (int i = 0; i < FileCombo->count(); ++i)
        items.append(FileCombo->itemText(i));
    ::AddRecent(items, FileCombo->currentText());
    FileCombo->clear();
    FileCombo->addItems(items);
    FileCombo->setCurrentIndex(0);
}
