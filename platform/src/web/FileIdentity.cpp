#include "../posix/FileIdentity.h"

#include <emscripten.h>

namespace {

// Emscripten's fstat() looks the stream's path up again, so a file renamed over it, or removed,
// would still pass for it. The stream itself knows its file: under Node with the host's files
// (NODERAWFS) its host descriptor, in a page its in-memory node.
// clang-format off
EM_JS(int, streamIsAt, (int fd, const char *path), {
    try {
        const stream = FS.getStream(fd);
        if (!stream)
            return 0;
        const name = UTF8ToString(path);
        if (typeof stream.nfd === 'number') {
            const fs = require('fs');
            const open = fs.fstatSync(stream.nfd);
            const named = fs.statSync(name);
            return open.nlink > 0 && open.dev === named.dev && open.ino === named.ino ? 1 : 0;
        }
        return FS.lookupPath(name, { follow: true }).node === stream.node ? 1 : 0;
    } catch (e) {
        return 0;
    }
});
// clang-format on

} // namespace

namespace kpx::posix {

bool isFileAt(int fd, const std::string &path)
{
    return streamIsAt(fd, path.c_str()) != 0;
}

} // namespace kpx::posix
