#include "app/filepaths.h"

#include "app/installedcopy.h"
#include "worker/workerhost.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

QString IniPathFor(const QString& programPath)
{
    const QString name = QFileInfo(programPath).fileName();
    if (name.size() >= 4 && name[name.size() - 4] == QLatin1Char('.'))
        return programPath.left(programPath.size() - 3) + QStringLiteral("INI");
    return programPath + QStringLiteral(".INI");
}

QString TracePathFor(const QString& iniPath)
{
    return QString::fromStdString(TraceFileNameFor(iniPath.toStdString()));
}

TFilePaths ResolveFilePaths(const QString& programPath, bool programFolderWritable,
                            const QString& configFolder, const QString& dataFolder)
{
    const QString iniPath = IniPathFor(programPath);
    const QString tracePath = TracePathFor(iniPath);
    if (programFolderWritable)
        return {iniPath, tracePath};
    return {QDir(configFolder).filePath(QFileInfo(iniPath).fileName()),
            QDir(dataFolder).filePath(QFileInfo(tracePath).fileName())};
}

TFilePaths ProgramFilePaths(const QString& programPath)
{
    // access() rather than the file's mode bits: it also answers for read-only mounts and for
    // root, who may write anywhere the mode says otherwise. An installed copy never writes
    // beside itself, not even for root.
    const QByteArray folder = QFile::encodeName(QFileInfo(programPath).absolutePath());
    const bool writable =
        !IsInstalledCopy(folder.constData()) && ::access(folder.constData(), W_OK) == 0;
    return ResolveFilePaths(programPath, writable,
                            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}
