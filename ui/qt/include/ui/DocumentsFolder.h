#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace kpx {

// Folder id of the user's documents folder.
constexpr std::int32_t CSIDL_PERSONAL = 5;
// Asks for a folder's present location.
constexpr std::int32_t SHGFP_TYPE_CURRENT = 0;

// The characters before the first NUL; the whole text when it holds none.
QString TrimAtNul(const QString &text);

// The path of an existing special folder of this platform, or an empty text when there is none.
QString GetSpecialFolder(std::int32_t folderId, std::int32_t flags);

// The user's documents folder, or an empty text when it cannot be found.
QString GetDocumentsFolder();

// The root paths of the mounted, ready volumes, sorted; "/" is always among them.
QStringList mountedDrives();

} // namespace kpx
