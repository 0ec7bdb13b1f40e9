#pragma once

#include <string>
#include <vector>

namespace ctrl {

// Where the Camera Link spec. 2000 vendor libraries are looked for when nothing else is set:
// the Windows system folder, /usr/lib/cameralink elsewhere. Empty when it cannot be told.
std::string DefaultVendorLibraryFolder();

// The vendor library files in `folder` (clser*.dll on Windows, clser*.so and libclser*.so
// elsewhere), by name and in the order the folder yields them; empty when it cannot be read.
std::vector<std::string> ListVendorLibraries(const std::string& folder);

// The path of `file` in `folder`, with the platform's separator.
std::string PathInFolder(const std::string& folder, const std::string& file);

}  // namespace ctrl
