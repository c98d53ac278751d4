#include "ui/DocumentsFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

namespace kpx {

QString TrimAtNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString GetSpecialFolder(std::int32_t folderId, std::int32_t flags)
{
    // This platform keeps one location per folder, so the flags ask nothing further.
    Q_UNUSED(flags);
    if (folderId != CSIDL_PERSONAL)
        return {};
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // The location is named even when the folder was never created; a list opened there would be empty.
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    return TrimAtNul(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

QString GetDocumentsFolder()
{
    return GetSpecialFolder(CSIDL_PERSONAL, SHGFP_TYPE_CURRENT);
}

QStringList mountedDrives()
{
    QStringList drives;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        // Single files mounted into place (containers do this) are no place to write into.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            drives << volume.rootPath();
    }
    drives << QStringLiteral("/");
    drives.removeDuplicates();
    drives.sort();
    return drives;
}

} // namespace kpx
