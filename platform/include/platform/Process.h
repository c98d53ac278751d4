#pragma once

namespace kpx {

// A write beyond the process's file-size limit then fails like one on a full disk, and is reported
// as such, instead of ending the process.
void reportOversizedWritesAsErrors();

} // namespace kpx
